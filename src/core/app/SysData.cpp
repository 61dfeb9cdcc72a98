#include "SysData.h"

#include "base/BaseFolder.h"
#include "base/IniFile.h"
#include "base/TextNumbers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

namespace {
QString ReadSysKey(const QString& iniPath, const char* key)
{
    // A buffer of four characters: at most three are read.
    return Ini::GetProfileString(iniPath, QStringLiteral("sys"), QLatin1String(key), QString(), 4);
}

CInstallation Locate(const CSysDataOptions& options)
{
    if (!options.baseDir.isEmpty()) {
        const QString base = QDir(options.baseDir).absolutePath();
        return {base, base + QStringLiteral("/sys/sys.ini"), base + QStringLiteral("/user/"),
                base + QStringLiteral("/data"), base + QStringLiteral("/data")};
    }
    const QString programDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return LocateInstallation(programDir);
}
} // namespace

CInstallation LocateInstallation(const QString& programDir)
{
    const CBaseFolder found = FindBaseFolder(programDir);
    const QString& base = found.base;
    CInstallation where{base, base + QStringLiteral("/sys/sys.ini"),
                        base + QStringLiteral("/user/"), found.transportDir,
                        base + QStringLiteral("/data")};
    if (!found.installed)
        return where;

    // An installation is never written to, whoever runs it (root included, who could): the
    // operator's settings and files go to the XDG folders, the settings starting as a copy of
    // the installed defaults.
    const QString configDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/drivara");
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/drivara");
    QDir().mkpath(configDir);
    QDir().mkpath(dataDir + QStringLiteral("/user"));
    const QString userIni = configDir + QStringLiteral("/sys.ini");
    if (!QFileInfo::exists(userIni)) {
        QFile::copy(where.sysIniPath, userIni);
        QFile(userIni).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    where.sysIniPath = userIni;
    where.userDir = dataDir + QStringLiteral("/user/");
    where.userDataDir = dataDir + QStringLiteral("/data");
    return where;
}

CSysData::CSysData(const CSysDataOptions& options) : CSysData(options, Locate(options)) {}

CSysData::CSysData(const CSysDataOptions& options, const CInstallation& where)
    : link(*this, where.transportDir)
{
    // Links to ports (the virtual drive's dev/ttySIM0) are looked up in the base folder.
    link.SetDeviceFolder(where.baseDir);
    // A CANopen device's reply that states no size is as wide as the object's type.
    link.SetObjectWidths([this](uint32_t key) {
        CSdoRecord record;
        return dictionary.Lookup(key, record) ? TypeWidthOf(record.dataType).bytes() : 0;
    });
    evaluator.SetRequester(
        [this](HWND hwnd, uint8_t command, uint32_t key, uint32_t value) {
            return link.Request(hwnd, command, key, value);
        },
        [this] { return mainFrameWnd.load(); });

    systemLcid = options.systemLcid >= 0 ? options.systemLcid : SystemLocaleId();
    systemLanguage = 1;

    {
        baseDir = where.baseDir;
        userDir = where.userDir;
        sysDir = baseDir + QStringLiteral("/sys/");
        dataDir = baseDir + QStringLiteral("/data/");
        sysIniPath = where.sysIniPath;
        enTranslationPath = dataDir + QStringLiteral("EN.qm");
        pcanLibraryPath = dataDir + QStringLiteral("Pcan_usb.so");
        // A dictionary the operator converted from a device description loads in place of
        // the shipped one.
        userDataDir = where.userDataDir.isEmpty() ? dataDir : where.userDataDir + QLatin1Char('/');
        dictionaryDir =
            QFileInfo::exists(userDataDir + QStringLiteral("velmor.dat")) ? userDataDir : dataDir;
        databasePath = dictionaryDir + QStringLiteral("velmor.dat");
    }
    ReadCommMode();
    // Only a Chinese system without a language needs the operator (the language dialog).
    if (!IsChineseSystem() || ReadLanguage() != 0)
        SettleLanguage({});
}

CSysData::~CSysData()
{
    stopThreads = 1;
}

int CSysData::SystemLocaleId()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese && locale.territory() == QLocale::China)
        return kChineseLcid;
    return 1033;
}

LanguageDecision CSysData::SettleLanguage(const std::function<void()>& showDialog)
{
    const std::function<void()> noDialog = [] {};
    const LanguageDecision decision = DecideLanguage(
        IsChineseSystem(), [this] { return ReadLanguage(); }, showDialog ? showDialog : noDialog);
    programLanguage = decision.outcome == LanguageDecision::ConfigError ? 0 : decision.language;
    // The dictionary keeps the Chinese texts for language 1 and the English ones otherwise, so
    // every settled language (3 included) can load it at once.
    if (decision.outcome != LanguageDecision::ConfigError)
        dictionary.StartLoading(databasePath, programLanguage);
    languageDecision = decision;
    return decision;
}

void CSysData::SetListColumns(int screenDotsPerInch)
{
    dotsPerInch = screenDotsPerInch;
    const uint8_t language = programLanguage;
    if (language == 1) {
        titleName = QStringLiteral("名称");
        titleData = QStringLiteral("数据");
        titleUnit = QStringLiteral("单位");
    } else if (language == 2) {
        titleName = QStringLiteral("name");
        titleData = QStringLiteral("data");
        titleUnit = QStringLiteral("unit");
    } else {
        return;
    }
    // Name, value, unit and two more columns, in inches of the screen.
    static constexpr double kInches[5] = {2.68, 1.2, 1.1, 2.55, 0.5};
    for (int i = 0; i < 5; ++i)
        columnWidths[i] = static_cast<int>(screenDotsPerInch * kInches[i]);
}

uint8_t CSysData::ReadLanguage()
{
    const uint8_t language = static_cast<uint8_t>(TextToLong(ReadSysKey(sysIniPath, "lang")));
    programLanguage = IsChineseSystem() ? language : uint8_t(2);
    return programLanguage;
}

void CSysData::ReadCommMode()
{
    commMode = CConnectionSettings::LoadMode(sysIniPath);
}
