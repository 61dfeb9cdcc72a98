#pragma once

#include "app/Language.h"
#include "comm/CtrlLink.h"
#include "comm/LinkFlags.h"
#include "dictionary/SdoDatabase.h"
#include "pages/FormulaEvaluator.h"
#include "pages/PageListModel.h"
#include "pages/UnitTable.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

// Locale identifier of a Chinese (China) system.
constexpr int kChineseLcid = 2052;

// Options of the program-wide data object; the defaults are the real program's.
struct CSysDataOptions
{
    QString baseDir;     // empty: the current directory at start-up
    int systemLcid = -1; // -1: taken from the system locale
};

// The program-wide data object: installation paths, languages, the dictionary, the unit table
// and formula evaluator, the control link and the link-wide flags (inherited, so that
// g_sysData.connected reads as the link flag it is), and the page-list operations.
class CSysData : public CLinkFlags
{
public:
    explicit CSysData(const CSysDataOptions& options = {});
    virtual ~CSysData();
    CSysData(const CSysData&) = delete;
    CSysData& operator=(const CSysData&) = delete;

    // Language and settings.
    uint8_t ReadLanguage();
    void ReadCommMode();
    static int SystemLocaleId(); // 2052 for Chinese (China)
    void SetLanguage(uint8_t language) { programLanguage = language; }

    QString SysIniPath() const { return sysIniPath; }
    QString DatabasePath() const { return databasePath; }
    bool IsChineseSystem() const { return systemLcid == kChineseLcid; }

    // The start-up language rule (DecideLanguage) applied to this object: the program language
    // follows the system language and "lang", and the dictionary starts loading in it. The
    // constructor settles it when nobody needs to be asked; otherwise start-up calls this with
    // the language dialog. An empty showDialog asks nobody: a Chinese system without a language
    // then ends in ConfigError and the dictionary is not loaded.
    LanguageDecision SettleLanguage(const std::function<void()>& showDialog);

    // List column titles and widths for a screen of the given horizontal dots per inch, in the
    // program language: Chinese for 1, English for 2, neither for any other value.
    void SetListColumns(int screenDotsPerInch);

    // Page-list operations on a page's list model.
    void InitParamList(CPageListModel& list);
    void LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd);
    // The object keys that a page file lists, in item order; empty when there is no file.
    QVector<uint32_t> PageDefinitionKeys(const QString& pageName, bool* fileFound = nullptr) const;
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
    // The text an operator typed for an object, in a unit (a unit name or DEC, HEX, ASCII), as
    // the raw value to write: checked against the object's type after the unit's conversion,
    // rounded to the nearest raw step. A conversion that waits for a formula constant parks the
    // write (the constant's arrival completes it, with the same check).
    CRawWrite PrepareWrite(HWND window, uint32_t key, const QString& unit, const QString& dataType,
                           const QString& text);

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
};
