#include "TestSupport.h"

#include "app/SysData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

// The installation paths, and the language and communication mode read from sys.ini (three
// characters each). The dictionary each language loads is the start-up language test's.
TEST(SysData, ReadsItsInstallation)
{
    // sys.ini, system language, language, communication mode (any number but 2 and 5: offline)
    const std::tuple<const char*, int, uint8_t, CommMode> cases[] = {
        {"[sys]\nlang=1\ncomm=258\n", kChineseLcid, 1, CommMode::Rs232}, // the low byte
        {"[sys]\nlang=2\ncomm=2611\n", kChineseLcid, 2, CommMode::Can},  // three characters
        {"[SYS]\nLANG=12345\nCOMM=x\n", kChineseLcid, 123, CommMode::Offline}};
    for (const auto& [ini, lcid, language, commMode] : cases) {
        SCOPED_TRACE(ini);
        TestSupport::TempInstall install(QString::fromUtf8(ini));
        CSysData sys({install.base(), lcid});
        const QString base = QDir(install.base()).absolutePath();
        EXPECT_EQ(
            QStringList({sys.baseDir, sys.SysIniPath(), sys.DatabasePath(), sys.userDir}),
            QStringList({base, base + "/sys/sys.ini", base + "/data/velmor.dat", base + "/user/"}));
        EXPECT_EQ(sys.commMode, commMode);
        EXPECT_EQ(sys.ReadLanguage(), language);
        // The loader stores the language too; once it is done the byte is settled.
        ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
        EXPECT_EQ(sys.programLanguage, language);
    }
}

// Where the programs find their base folder when none is named: the program's own folder when it
// holds the dictionary or settings, else ../lib/drivara beside the program. The current directory
// plays no part (drivactl's test shows it from outside).
TEST(SysData, LocatesTheInstallationFromTheProgram)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString r = root.path();
    // A dictionary (and a writable sys/) in each base; settings without a dictionary beside a
    // program whose installed base is whole: the program's folder must report its own problem.
    for (const char* path :
         {"/dist/data/velmor.dat", "/dist/sys/", "/prefix/lib/drivara/data/velmor.dat",
          "/prefix/lib/drivara/sys/", "/prefix/bin/", "/empty/", "/opt/bin/sys/sys.ini",
          "/opt/lib/drivara/data/velmor.dat"}) {
        const QFileInfo info(r + QLatin1String(path));
        ASSERT_TRUE(QDir().mkpath(info.path()));
        QFile file(info.filePath());
        ASSERT_TRUE(info.fileName().isEmpty() || file.open(QIODevice::WriteOnly)) << path;
    }

    // program folder, the base folder found
    const std::pair<const char*, const char*> cases[] = {
        {"/dist", "/dist"},                     // the build tree
        {"/prefix/bin", "/prefix/lib/drivara"}, // an installation
        {"/empty", "/empty"},                   // nothing found: reported as missing there
        {"/opt/bin", "/opt/bin"}};              // its own settings, its own problem
    for (const auto& [program, found] : cases) {
        SCOPED_TRACE(program);
        const CInstallation where = LocateInstallation(r + QLatin1String(program));
        const QString base = QDir(r + QLatin1String(found)).absolutePath();
        EXPECT_EQ(where.baseDir, base);
        EXPECT_EQ(where.sysIniPath, base + QStringLiteral("/sys/sys.ini"));
    }
}
