#pragma once

#include "base/Language.h"
#include "comm/ConnectionSettings.h"
#include "comm/CtrlLink.h"
#include "comm/LinkFlags.h"
#include "dictionary/SdoDatabase.h"
#include "pages/PageHost.h"
#include "pages/ValueFormat.h"
#include "project/ProjectStore.h"
#include "units/FormulaEvaluator.h"
#include "units/UnitTable.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

// Locale identifier of a Chinese (China) system.
constexpr int kChineseLcid = 2052;

// A page file as read: the object keys of items 1 to num in order, or, when the file cannot
// make a page, the reason naming the file: it is missing, "num" is not a whole number from 1
// up, an item up to num is missing or empty, or an item names an object the dictionary lacks.
struct CPageDefinition
{
    bool fileFound = false;
    QVector<uint32_t> keys; // empty when refused
    QString problem;        // empty when the page can be built
};

// Options of the program-wide data object; the defaults are the real program's.
struct CSysDataOptions
{
    QString baseDir;     // empty: found by LocateInstallation
    int systemLcid = -1; // -1: taken from the system locale
};

// Where the program's files are: the base folder (sys/, data/), the transport libraries and the
// operator's sys.ini and user folder, which sit in the base folder of a build tree (or a --base
// folder) and under the XDG config and data folders for an installation.
struct CInstallation
{
    QString baseDir;
    QString sysIniPath;
    QString userDir;
    QString transportDir;
    // Where a dictionary converted from a device description goes: the XDG data folder of an
    // installation, else the base folder's own data/ (empty: the same).
    QString userDataDir;
};

// The installation when --base names none: the folders FindBaseFolder finds from the program's
// own folder (never the current directory). An installation gets its sys.ini copied to the XDG
// config folder on first run and is never written to.
CInstallation LocateInstallation(const QString& programDir);

// The program-wide data object: installation paths, languages, the dictionary, the unit table
// and formula evaluator, the control link and the link-wide flags (inherited through the page
// host, so that g_sysData.connected reads as the link flag it is), and the page-list operations.
class CSysData : public CPageHost
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

    QString SysIniPath() const { return sysIniPath; }
    QString DatabasePath() const { return databasePath; }
    bool IsChineseSystem() const { return systemLcid == kChineseLcid; }

    // The start-up language rule (DecideLanguage) applied to this object: the program language
    // follows the system language and "lang", and the dictionary starts loading in it. The
    // constructor settles it when nobody needs to be asked; otherwise start-up calls this with
    // the language dialog. An empty showDialog asks nobody: a Chinese system without a language
    // then ends in ConfigError and the dictionary is not loaded.
    LanguageDecision SettleLanguage(const std::function<void()>& showDialog);
    // The decision once settled, by the constructor or by start-up.
    std::optional<LanguageDecision> languageDecision;

    // List column titles and widths for a screen of the given horizontal dots per inch, in the
    // program language: Chinese for 1, English for 2, neither for any other value.
    void SetListColumns(int screenDotsPerInch);

    // Page-list operations on a page's list model.
    void InitParamList(CPageListModel& list) override;
    // Adds the rows of the page file; a file that ReadPageDefinition refuses adds none, sends
    // nothing and is reported.
    bool LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd) override;
    CPageDefinition ReadPageDefinition(const QString& pageName) const;
    void AddPageItem(CPageListModel& list, uint32_t key, int row, HWND hwnd,
                     bool includeStrings) override;
    bool ItemExists(const CPageListModel& list, uint32_t key) const;
    QString FindItemRow(const CPageListModel& list, uint32_t key, QString& dataType,
                        int& row) const override;
    void RenumberRows(CPageListModel& list, int first);
    void RenumberRowsFrom(CPageListModel& list, int base) override;
    // Deletes the rows the view has selected and renumbers the rows below.
    void DeleteSelectedRows(CPageListModel& list, QVector<int> selectedRows) override;
    static bool RawToValue(const QString& dataType, uint32_t raw, double& value)
    {
        return ::RawToValue(dataType, raw, value);
    }
    static QString FormatValue(const QString& format, const QString& dataType,
                               const QString& formula, double value)
    {
        return ::FormatValue(format, dataType, formula, value);
    }
    static uint8_t WriteCommandForType(const QString& dataType)
    {
        return ::WriteCommandForType(dataType);
    }
    void WriteItem(HWND hwnd, const CPageListModel& list, int row) override;
    QString ObjectHelpText(uint32_t key) const override; // empty when the key is unknown
    void
    ShowObjectHelp(uint32_t key) const override; // reports ObjectHelpText as an information message

    // Raw to shown value through the unit formula.
    bool ConvertForDisplay(HWND window, uint32_t key, const QString& unit, double* value,
                           QString& formula, bool& done) override;
    // The text an operator typed for an object, in a unit (a unit name or DEC, HEX, ASCII), as
    // the raw value to write: checked against the object's type after the unit's conversion,
    // rounded to the nearest raw step. A conversion that waits for a formula constant parks the
    // write (the constant's arrival completes it, with the same check) unless park is false,
    // when the caller only wants the verdict.
    CRawWrite PrepareWrite(HWND window, uint32_t key, const QString& unit, const QString& dataType,
                           const QString& text, bool park = true) override;

    CCtrlLink& Link() override { return link; }
    CUnitTable& Units() override { return unitTable; }
    CFormulaEvaluator& Evaluator() override { return evaluator; }

    int captionHeight = 0;

    CSdoDatabase dictionary;
    CFormulaEvaluator evaluator;
    CCtrlLink link;
    CUnitTable unitTable;
    // The project file's store (section prefix and paths are the dictionary's).
    CProjectStore project{dictionary, unitTable, link};

    QString databasePath;
    QString statusText;

    std::atomic<uint8_t> programLanguage{0};
    uint8_t systemLanguage = 1;
    int systemLcid = kChineseLcid;

    // The settings of the last successful open; the connect button reopens with them while
    // the settings window that opened is still there.
    int openedFromView = 0;
    CConnectionSettings openedSettings;

    QString sysIniPath;
    QString enTranslationPath;
    QString pcanLibraryPath;
    QString baseDir;
    QString userDir;
    QString sysDir;
    QString dataDir;
    // The folder of the dictionary that loads (with a trailing "/"): userDataDir when a converted
    // dictionary stands there, else dataDir. A device.eds in it marks a standard drive.
    QString dictionaryDir;
    QString userDataDir;

    CommMode commMode = CommMode::Offline;

private:
    CSysData(const CSysDataOptions& options, const CInstallation& where);
};
