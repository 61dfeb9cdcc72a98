#include "TestSupport.h"

#include "app/SysData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

// Where the programs find their files when none are named: the program's own folder when it
// holds the dictionary or settings, else PREFIX/share/drivara with the transports in
// PREFIX/lib/<multiarch>/drivara. An installation keeps the operator's files in the XDG folders
// even when whoever runs it could write there (root). The current directory plays no part
// (drivactl's test shows it from outside).
TEST(SysData, LocatesTheInstallationFromTheProgram)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString r = root.path();
    // The XDG folders of this test process (only this test locates an installation).
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(r + "/config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(r + "/home"));
    // A dictionary (and a writable sys/) in each base; settings without a dictionary beside a
    // program whose installed base is whole: the program's folder must report its own problem.
    for (const char* path :
         {"/dist/data/velmor.dat", "/dist/sys/", "/prefix/share/drivara/data/velmor.dat",
          "/prefix/share/drivara/sys/sys.ini", "/prefix/bin/", "/empty/", "/opt/bin/sys/sys.ini",
          "/opt/share/drivara/data/velmor.dat"}) {
        const QFileInfo info(r + QLatin1String(path));
        ASSERT_TRUE(QDir().mkpath(info.path()));
        QFile file(info.filePath());
        ASSERT_TRUE(info.fileName().isEmpty() || file.open(QIODevice::WriteOnly)) << path;
    }

    // program folder, the base folder found, its sys.ini, user folder and converted dictionary's
    // folder
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"/dist", "/dist", "/dist/sys/sys.ini", "/dist/user/", "/dist/data"}, // the build tree
        {"/prefix/bin", "/prefix/share/drivara", "/config/drivara/sys.ini", "/home/drivara/user/",
         "/home/drivara/data"}, // an installation
        {"/empty", "/empty", "/empty/sys/sys.ini", "/empty/user/",
         "/empty/data"}, // reported missing there
        {"/opt/bin", "/opt/bin", "/opt/bin/sys/sys.ini", "/opt/bin/user/",
         "/opt/bin/data"}}; // its own problem
    for (const auto& [program, found, ini, user, converted] : cases) {
        SCOPED_TRACE(program);
        const CInstallation where = LocateInstallation(r + QLatin1String(program));
        EXPECT_EQ(where.baseDir, QDir(r + QLatin1String(found)).absolutePath());
        EXPECT_EQ(where.sysIniPath, r + QLatin1String(ini));
        EXPECT_EQ(where.userDir, r + QLatin1String(user));
        EXPECT_EQ(where.userDataDir, r + QLatin1String(converted));
        EXPECT_TRUE(where.transportDir.contains(
            QRegularExpression("^" + QRegularExpression::escape(r) +
                               "/(prefix/lib/(.+/)?drivara|dist/data|empty/data|opt/bin/data)$")))
            << where.transportDir.toStdString();
    }
}
