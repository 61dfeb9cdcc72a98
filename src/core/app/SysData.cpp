#include "SysData.h"

#include "base/IniFile.h"
#include "base/TextNumbers.h"

#include <QDir>
#include <QLocale>

namespace {
QString ReadSysKey(const QString& iniPath, const char* key)
{
    // A buffer of four characters: at most three are read.
    return Ini::GetProfileString(iniPath, QStringLiteral("sys"), QLatin1String(key), QString(), 4);
}
} // namespace

CSysData::CSysData(const CSysDataOptions& options)
    : link(*this, options.baseDir.isEmpty() ? QDir::currentPath() + QStringLiteral("/data")
                                            : options.baseDir + QStringLiteral("/data"))
{
    // The loading thread starts first and waits until the paths below are set.
    dictionary.StartLoading(this);
    evaluator.SetRequester(
        [this](HWND hwnd, uint8_t command, uint32_t key, uint32_t value) {
            return link.Request(hwnd, command, key, value);
        },
        [this] { return mainFrameWnd.load(); });

    systemLcid = options.systemLcid >= 0 ? options.systemLcid : SystemLocaleId();
    systemLanguage = 1;

    {
        std::lock_guard<std::mutex> lock(m_pathMutex);
        baseDir =
            options.baseDir.isEmpty() ? QDir::currentPath() : QDir(options.baseDir).absolutePath();
        userDir = baseDir + QStringLiteral("/user/");
        sysDir = baseDir + QStringLiteral("/sys/");
        dataDir = baseDir + QStringLiteral("/data/");
        sysIniPath = sysDir + QStringLiteral("sys.ini");
        enTranslationPath = dataDir + QStringLiteral("EN.qm");
        pcanLibraryPath = dataDir + QStringLiteral("Pcan_usb.so");
        databasePath = dataDir + QStringLiteral("velmor.dat");
        m_pathsSet = true;
    }
    ReadLanguage();
    ReadCommMode();
}

CSysData::~CSysData()
{
    stopThreads = 1;
    // The loader calls back into this object; it must end before the members it reads go.
    dictionary.StopLoading();
}

int CSysData::SystemLocaleId()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Chinese && locale.territory() == QLocale::China)
        return kChineseLcid;
    return 1033;
}

QString CSysData::SysIniPath() const
{
    std::lock_guard<std::mutex> lock(m_pathMutex);
    return m_pathsSet ? sysIniPath : QString();
}

QString CSysData::DatabasePath() const
{
    std::lock_guard<std::mutex> lock(m_pathMutex);
    return m_pathsSet ? databasePath : QString();
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
    commMode = static_cast<uint8_t>(TextToLong(ReadSysKey(sysIniPath, "comm")) & 0xFF);
}
