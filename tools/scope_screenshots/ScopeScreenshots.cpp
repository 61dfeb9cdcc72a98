// Renders the oscilloscope page for the documentation against the virtual drive: a velocity step
// captured with two velocity loop gains (the first capture shown faintly behind the second), two
// cursors on the actual velocity.
//   drivara_scope_screenshots <output file> <language 1|2> <dots per inch>
// The density is the screen's (QT_FONT_DPI).
#include "CurveGraph.h"
#include "DriverOscillo.h"
#include "GuiPageSupport.h"
#include "PageViews.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"
#include "scope/ScopeItems.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kWaitMs = 30000;

bool Wait(const std::function<bool()>& done)
{
    return TestSupport::WaitFor(done, kWaitMs);
}

template <typename W> W* Child(QWidget* view, const char* name)
{
    return view->findChild<W*>(QLatin1String(name));
}

// Channel n on the object, as the operator sets it: the selector, then the checkbox.
bool ShowObject(CDriverOscillo* view, int n, uint32_t key)
{
    const int entry = view->items().FindChannelEntryByKey(n, key);
    if (entry < 0)
        return false;
    Child<QComboBox>(view, qPrintable(QStringLiteral("object%1").arg(n)))->setCurrentIndex(entry);
    Child<QCheckBox>(view, qPrintable(QStringLiteral("channel%1").arg(n)))->click();
    return Wait([view, n] { return view->capture().channelKey(n) != 0; }) &&
           Wait([view] { return view->capture().pendingRequests() == 0; });
}

bool Capture(CDriverOscillo* view)
{
    Child<QPushButton>(view, "start")->click();
    return Wait([view] { return view->capture().idle(); });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <output file> <language 1|2> <dpi>\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int language = std::atoi(argv[2]);
    const int dpi = std::atoi(argv[3]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_FONT_DPI", QByteArray::number(dpi));
    QApplication app(argc, argv);
    if (language == 1)
        QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));

    GuiPageTest::CDriveRig rig(language);
    if (!rig.ok()) {
        std::fprintf(stderr, "virtual drive: %s\n", qPrintable(rig.error));
        return 1;
    }
    rig.sys->programLanguage = uint8_t(language);
    QTranslator english;
    if (language == 2 && english.load(rig.install.path(QStringLiteral("data/EN.qm"))))
        QApplication::installTranslator(&english);

    auto* view = new CDriverOscillo(*rig.sys);
    view->setWindowTitle(view->title());
    view->capture().SetTickInterval(100);
    view->show();
    QLineEdit* count = Child<QLineEdit>(view, "sampleCount");
    using namespace DriveObject;
    CCtrlLink& link = rig.sys->link;
    // The drive steps its target velocity to 1500 once the recorder has its samples before the
    // trigger point; the velocity loop's gain is raised between the two captures.
    rig.drive.SetStimulus(kTargetVelocity, 1500);
    constexpr uint32_t kVelocityKp = 0x222001;
    const auto prepare = [&](uint32_t gain) {
        link.Request(view->hwnd(), SdoFrame::kWrite1, kModeOfOperation, 3); // velocity mode
        link.Request(view->hwnd(), SdoFrame::kWrite4, kTargetVelocity, 0);
        link.Request(view->hwnd(), SdoFrame::kWrite2, kVelocityKp, gain);
        TestSupport::Pump(300);
        return true;
    };
    const bool ready = Wait([count] { return !count->text().isEmpty(); }) &&
                       ShowObject(view, 1, kTargetVelocity) && ShowObject(view, 3, 0x606C00) &&
                       prepare(60) && Capture(view) && prepare(240) && Capture(view);
    if (!ready) {
        std::fprintf(stderr, "the captures did not end\n");
        return 1;
    }
    Child<QCheckBox>(view, "showPrevious")->click();
    Child<QRadioButton>(view, "cursorMode2")->click();
    Child<QComboBox>(view, "readChannel")->setCurrentIndex(2);
    const int width = view->graph()->geometry().width;
    Child<QSlider>(view, "cursor1Slider")->setValue(width * 6 / 25);
    Child<QSlider>(view, "cursor2Slider")->setValue(width * 3 / 5);
    // As small as its controls allow, as the page window shows it where its size is tight.
    view->resize(view->minimumSizeHint());
    TestSupport::Pump(100);
    if (!view->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s\n", qPrintable(path));
    delete view;
    return 0;
}
