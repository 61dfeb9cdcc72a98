#pragma once

#include "comm/CtrlLink.h"
#include "comm/LinkFlags.h"
#include "dictionary/SdoDatabase.h"
#include "pages/FormulaEvaluator.h"
#include "pages/PageListModel.h"
#include "pages/UnitTable.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

// Locale identifier of a Chinese (China) system.
constexpr int kChineseLcid = 2052;

// Options of the program-wide data object; the defaults are the real program's.
struct CSysDataOptions
{
    QString baseDir;     // empty: found by LocateInstallation
    int systemLcid = -1; // -1: taken from the system locale
};

// Where the program's files are: the base folder (sys/, data/) and the operator's writable
// sys.ini and user folder, which sit in the base folder unless it is read-only (an installed
// package), in which case they live under the XDG config and data folders.
struct CInstallation
{
    QString baseDir;
    QString sysIniPath;
    QString userDir;
};

// The current directory when it holds data/velmor.dat (the traditional layout), else the
// program's own folder when it does (the build tree), else PROGRAM/../lib/drivara when that does
// (an installation), else the current directory. A read-only base gets its sys.ini copied to
// the XDG config folder on first run.
CInstallation LocateInstallation(const QString& currentDir, const QString& programDir);

// The program-wide data object: installation paths, languages, the dictionary, the unit table
// and formula evaluator, the control link and the link-wide flags (inherited, so that
// g_sysData.connected reads as the link flag it is), and the page-list operations.
class CSysData : public CLinkFlags, public IDictionaryHost
{
public:
    explicit CSysData(const CSysDataOptions& options = {});
    ~CSysData() override;
    CSysData(const CSysData&) = delete;
    CSysData& operator=(const CSysData&) = delete;

    // Language and settings.
    uint8_t ReadLanguage();
    void ReadCommMode();
    static int SystemLocaleId(); // 2052 for Chinese (China)
    void SetLanguage(uint8_t language) { programLanguage = language; }

    // IDictionaryHost
    QString SysIniPath() const override;
    QString DatabasePath() const override;
    uint8_t ProgramLanguage() const override { return programLanguage; }
    void SetProgramLanguage(uint8_t language) override { programLanguage = language; }
    bool IsChineseSystem() const override { return systemLcid == kChineseLcid; }

    // List column titles and widths for a screen of the given horizontal dots per inch, in the
    // program language: Chinese for 1, English for 2, neither for any other value.
    void SetListColumns(int screenDotsPerInch);

    // Page-list operations on a page's list model.
    void InitParamList(CPageListModel& list);
    void LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd);
    void AddPageItem(CPageListModel& list, uint32_t key, int row, HWND hwnd, bool includeStrings);
    bool ItemExists(const CPageListModel& list, uint32_t key) const;
    QString FindItemRow(const CPageListModel& list, uint32_t key, QString& dataType,
                        int& row) const;
    void RenumberRows(CPageListModel& list, int first);
    void RenumberRowsFrom(CPageListModel& list, int base);
    void DeleteSelectedRows(CPageListModel& list);
    static bool RawToValue(const QString& dataType, uint32_t raw, double& value);
    static QString FormatValue(const QString& format, const QString& dataType,
                               const QString& formula, double value);
    static uint8_t WriteCommandForType(const QString& dataType);
    void WriteItem(HWND hwnd, const CPageListModel& list, int row);
    QString ObjectHelpText(uint32_t key) const; // empty when the key is unknown
    void ShowObjectHelp(uint32_t key) const;    // reports ObjectHelpText as an information message

    // Raw to shown value through the unit formula.
    bool ConvertForDisplay(HWND window, uint32_t key, const QString& unit, double* value,
                           QString& formula, bool& done);
    // The last branch of WriteItem: a unit that converts through its formula.
    void WriteThroughFormula(HWND window, uint32_t key, const QString& unit,
                             const QString& dataType, const QString& text);

    // List column titles and widths (name, data, unit, and two more), screen dots per inch.
    QString titleName, titleData, titleUnit;
    int columnWidths[5] = {0, 0, 0, 0, 0};
    int dotsPerInch = 96;
    int captionHeight = 0;

    CSdoDatabase dictionary;
    CFormulaEvaluator evaluator;
    CCtrlLink link;
    CUnitTable unitTable;

    QString databasePath;
    QString projectOpenStamp;
    QString statusText;

    std::atomic<uint8_t> programLanguage{0};
    uint8_t systemLanguage = 1;
    int systemLcid = kChineseLcid;

    // Connection data of the settings views.
    int openedFromView = 0;
    QString serialPortName;
    uint32_t baudOrBitrate = 0;
    uint8_t driverId = 0;

    QString sysIniPath;
    QString enTranslationPath;
    QString pcanLibraryPath;
    QString baseDir;
    QString userDir;
    QString sysDir;
    QString dataDir;

    uint8_t commMode = 0;

    HWND currentPageWnd = kNoWindow;
    HWND browserRequesterWnd = kNoWindow;
    QString busPanelName;

private:
    CSysData(const CSysDataOptions& options, const CInstallation& where);

    mutable std::mutex m_pathMutex; // the loading thread reads the paths while they are set
    bool m_pathsSet = false;
};
