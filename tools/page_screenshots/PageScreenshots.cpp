// Renders the page views shown in the documentation against the virtual drive:
//   drivara_page_screenshots <output folder> <language 1|2> <dots per inch 96|144>
// The density is the screen's (QT_FONT_DPI): at 144 Qt lays out at a device pixel ratio of 1.5,
// and the list takes the column widths of a 144-dpi screen.
#include "GuiPageSupport.h"
#include "PageViews.h"
#include "ParamPageView.h"
#include "app/MainFrameLogic.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

// The main frame's logic takes over from the rig's stand-in, the drive stops answering, the
// logic closes the connection and the page marks its values as no longer current.
bool FallSilent(GuiPageTest::CDriveRig& rig, QWidget* view)
{
    rig.mainFrame.reset();
    CMainFrameLogic frame(*rig.sys);
    frame.onPagesControl = [view](unsigned code) { SendPageControl(view, int(code)); };
    auto* page = static_cast<CParamPageView*>(view);
    if (!TestSupport::WaitFor([&] { return frame.lastDriveState() == 0; }, 30000) ||
        !TestSupport::WaitFor([&] { return GuiPageTest::PageFilled(page->page()); }, 30000))
        return false;
    rig.drive.faults().SetSilent(true);
    return TestSupport::WaitFor([&] { return rig.sys->connected.load() == 2; }, 30000);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <output folder> <language 1|2> <dpi 96|144>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int language = std::atoi(argv[2]);
    const int dpi = std::atoi(argv[3]);
    if ((language != 1 && language != 2) || dpi < 48 || dpi > 480) {
        std::fprintf(stderr, "language must be 1 or 2, dpi between 48 and 480\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", QByteArray::number(dpi));
    QApplication app(argc, argv);
    if (language == 1)
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    InstallPageViewTranslator(language);

    GuiPageTest::CDriveRig rig(language);
    if (!rig.ok()) {
        std::fprintf(stderr, "virtual drive: %s\n", qPrintable(rig.error));
        return 1;
    }
    SetListColumnsForScreen(*rig.sys);
    QDir().mkpath(folder);

    // Page class (or a bus panel's page name), file name, and whether the drive falls silent
    // before the picture (last: the connection stays closed).
    struct Shot
    {
        const char* className;
        const char* file;
        bool silent;
    };
    const Shot shots[] = {{"CSpeedCircle", "VelocityLoop", false},
                          {"CMotorParam", "MotorConfig", false},
                          {"CDriverProterty", "DriverProperty", false},
                          {"RPDO1", "RPDO1", false},
                          {"CSpeedCircle", "VelocityLoop-stale", true}};
    int failures = 0;
    for (const auto& [className, file, silent] : shots) {
        // A caption above the page stands in for the child window's title bar.
        QWidget frame;
        auto* layout = new QVBoxLayout(&frame);
        layout->setContentsMargins(6, 6, 6, 6);
        auto* view = static_cast<CParamPageView*>(
            CreateParamPageView(*rig.sys, *FindWindow(QLatin1String(className)), &frame));
        auto* caption = new QLabel(PageViewTitle(view), &frame);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        layout->addWidget(caption);
        layout->addWidget(view);
        view->setMinimumSize(PageViewSize(view));
        frame.show();
        if (!TestSupport::WaitFor([view] { return GuiPageTest::PageFilled(view->page()); },
                                  30000)) {
            std::fprintf(stderr, "%s: values did not arrive\n", file);
            ++failures;
            continue;
        }
        if (silent && !FallSilent(rig, view)) {
            std::fprintf(stderr, "%s: the connection did not close\n", file);
            ++failures;
            continue;
        }
        // Sized once the page is laid out in its final fonts, as the main window sizes it.
        view->setMinimumSize(PageViewSize(view));
        frame.adjustSize();
        TestSupport::Pump(100); // the coalesced repaint
        const QString path = QStringLiteral("%1/%2-%3-%4.png")
                                 .arg(folder, QLatin1String(file),
                                      language == 1 ? QStringLiteral("zh") : QStringLiteral("en"))
                                 .arg(dpi);
        if (!frame.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return failures == 0 ? 0 : 1;
}
