// Renders the export and import windows after a run with some alarms and failures, against the
// virtual drive through the real serial link, each in its page window of the main frame:
//   drivara_transfer_screenshots <output folder> <language 1|2>
// The density is the screen's (QT_FONT_DPI); the files are
// transfer-export-<zh|en>-<dpi>.png and transfer-import-<zh|en>-<dpi>.png.
#include "ChildFrame.h"
#include "ExportDrvData.h"
#include "GuiPageSupport.h"
#include "ImportDrvData.h"
#include "MainFrame.h"
#include "PageViews.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

// Known objects, two the drive lacks (failed reads).
const char kObjectList[] = "20000510\n20000610\n20000710\n20100110\n20100320\n20100420\n"
                           "20100D10\n20200110\n20200210\n20200310\n20200410\n20200608\n"
                           "12340010\n5FFF0020\n";
// Values the drive takes, two it holds otherwise (a signed object given 65534 reads back -2; a
// 16-bit object given 70000 keeps its low word) and two it refuses (read-only objects).
const char kConfiguration[] = "20100110,0,True\n20100320,1,True\n20100420,2,True\n"
                              "20100D10,70000,True\n20200110,65534,True\n20200210,1000,True\n"
                              "20200310,20,True\n20200410,10,True\n20200510,3,True\n"
                              "20200608,1,True\n20000610,3000,True\n";

// Opens the window, runs it to the end and saves its page window.
template <typename View, typename Load>
bool Shoot(CMainFrame& frame, CommandId command, const QString& file, Load load)
{
    CChildFrame* child = frame.OpenPage(command);
    auto* view = child ? qobject_cast<View*>(child->view()) : nullptr;
    if (!view || !load(*view))
        return false;
    view->StartRun();
    if (!TestSupport::WaitFor([view] { return !view->running(); }, 60000))
        return false;
    TestSupport::Pump(50);
    const bool saved = child->grab().save(file);
    child->close();
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::atoi(argv[2]) != 1 && std::atoi(argv[2]) != 2)) {
        std::fprintf(stderr, "usage: %s <output folder> <language 1|2>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int language = std::atoi(argv[2]);
    QApplication app(argc, argv);
    QTranslator english;
    if (language == 2 && english.load(TestSupport::DistDir() + QStringLiteral("/data/EN.qm")))
        QCoreApplication::installTranslator(&english);

    GuiPageTest::CDriveRig rig(language);
    if (!rig.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.error));
        return 1;
    }
    SetListColumnsForScreen(*rig.sys);
    const QString suffix = QStringLiteral("-%1-%2.png")
                               .arg(language == 1 ? QStringLiteral("zh") : QStringLiteral("en"))
                               .arg(rig.sys->dotsPerInch);
    const QString list = rig.install.path(QStringLiteral("user/list.cdo"));
    const QString cfg = rig.install.path(QStringLiteral("user/cfg.cdi"));
    if (!rig.install.writeFile(QStringLiteral("user/list.cdo"), kObjectList) ||
        !rig.install.writeFile(QStringLiteral("user/cfg.cdi"), kConfiguration))
        return 1;

    CMainFrame frame(*rig.sys);
    frame.resize(1200, 900);
    frame.show();
    const bool ok =
        Shoot<CExportDrvData>(frame, CommandId::ReadDriveConfig,
                              QDir(folder).filePath(QStringLiteral("transfer-export") + suffix),
                              [&](CExportDrvData& v) { return v.LoadObjectList(list); }) &&
        Shoot<CImportDrvData>(frame, CommandId::WriteDriveConfig,
                              QDir(folder).filePath(QStringLiteral("transfer-import") + suffix),
                              [&](CImportDrvData& v) { return v.LoadConfiguration(cfg); });
    if (!ok) {
        std::fprintf(stderr, "a window did not run to its end\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(QDir(folder).filePath(QStringLiteral("transfer-*") + suffix)));
    return 0;
}
