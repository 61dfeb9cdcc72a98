// The oscilloscope page against the virtual drive over a pseudo-terminal, through the real link
// and serial library: a capture ends in curves on the plot; cancelling during the upload and a
// drive that falls silent during it give the link, its polling and the buttons back. Then the
// plot's mouse zoom and cursor read-out over a captured ramp, and the page picture files.

#include "DriverOscillo.h"
#include "CurveGraph.h"
#include "GuiPageSupport.h"
#include "ScopePicture.h"
#include "comm/DriveObjects.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace GuiPageTest;

namespace {

constexpr int kWaitMs = 20000;
constexpr uint32_t kStatusword = 0x604100;
constexpr uint32_t kVelocityKp = 0x222001;

// Another window of the program: what it asked for and what polling brought it.
class CProbe : public CMessageReceiver
{
public:
    CProbe() : m_handle(this) {}
    HWND hwnd() const { return m_handle.hwnd(); }
    void OnMessage(unsigned message, uint32_t, uint32_t lParam) override
    {
        if (message == WM_SDO_VALUE)
            (lParam == kStatusword ? polled : answered) += 1;
    }
    int polled = 0;
    int answered = 0;

private:
    CWindowHandle m_handle;
};

} // namespace

class DriverOscilloTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CDriveRig> rig;
    std::unique_ptr<CDriverOscillo> view;

    template <typename W> W* Child(const char* name)
    {
        return view->findChild<W*>(QLatin1String(name));
    }
    // The upload hands every segment to the page with a blocking send: the wait keeps the event
    // loop turning (QTRY's pauses would slow each segment down).
    static bool Wait(const std::function<bool()>& done)
    {
        return TestSupport::WaitFor(done, kWaitMs);
    }
    bool LinkGivenBack() const
    {
        const CSysData& sys = *rig->sys;
        return sys.pollingEnabled == 1 && sys.othersReleased == 1 && sys.scopeTransferBusy == 0;
    }

    // The page with channel 1 on the drive's first shared object (32 bits) and as many samples
    // as the largest record holds (8 KiB), on a link whose reply timeout is the given one.
    void OpenWithChannel(int baud, int replyTimeoutMs = 100)
    {
        rig = std::make_unique<CDriveRig>(2, nullptr, baud, replyTimeoutMs);
        QVERIFY2(rig->ok(), qPrintable(rig->error));
        view = std::make_unique<CDriverOscillo>(*rig->sys);
        view->capture().SetTickInterval(50);
        view->show();
        QTRY_VERIFY_WITH_TIMEOUT(!Child<QLineEdit>("sampleCount")->text().isEmpty(), kWaitMs);
        auto* object = Child<QComboBox>("object1");
        QVERIFY(object->count() > 0);
        object->setCurrentIndex(0);
        Child<QCheckBox>("channel1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(view->capture().channelKey(1) != 0, kWaitMs);
        QLineEdit* count = Child<QLineEdit>("sampleCount");
        count->setText(QStringLiteral("2048"));
        QTest::keyClick(count, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("2048"), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(view->capture().pendingRequests() == 0, kWaitMs);
    }
    void StartAndWaitForUpload()
    {
        Child<QPushButton>("start")->click();
        QVERIFY(
            Wait([this] { return view->capture().state() == CScopeCapture::State::Uploading; }));
        QVERIFY(rig->sys->othersReleased == 0 && rig->sys->pollingEnabled == 0);
    }

private slots:
    void cleanup()
    {
        view.reset();
        rig.reset();
    }

    void captureShowsCurves()
    {
        // 1173 exchanges: a timeout of the shipped length, so that a loaded machine's pause is
        // not taken for a silent drive.
        OpenWithChannel(0, 500);
        auto* start = Child<QPushButton>("start");
        CScopeCapture::Outcome outcome = CScopeCapture::Outcome::Cancelled;
        connect(&view->capture(), &CScopeCapture::captureEnded, view.get(),
                [&outcome](CScopeCapture::Outcome ended, uint32_t) { outcome = ended; });
        start->click();
        QCOMPARE(start->text(), QStringLiteral("取消采集"));
        QVERIFY(Wait([this] { return view->capture().idle(); }));
        QCOMPARE(outcome, CScopeCapture::Outcome::Done);
        const CCurveData& curves = view->graph()->data();
        QCOMPARE(int(curves.channel(0).values.size()), 2048);
        QVERIFY(LinkGivenBack());
        QVERIFY(start->isEnabled() && Child<QPushButton>("reread")->isEnabled());
        // The curve is on the plot in channel 1's colour.
        const QImage picture = view->graph()->grab().toImage();
        const QRgb colour = CCurveGraph::ChannelColour(0).rgb();
        int pixels = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x)
                pixels += picture.pixel(x, y) == colour;
        }
        QVERIFY2(pixels > 100, qPrintable(QString::number(pixels)));

        // Saved with a scale of its own and loaded again into an empty plot: the same samples,
        // object, scale and flags; the CSV holds one line per sample.
        Child<QCheckBox>("auto1")->click();
        Child<QToolButton>("scaleUp1")->click();
        const QString scale = Child<QLineEdit>("scale1")->text();
        QTemporaryDir dir;
        view->ExportTo(dir.filePath(QStringLiteral("capture.txt")));
        view->ExportTo(dir.filePath(QStringLiteral("capture.csv")));
        QFile csv(dir.filePath(QStringLiteral("capture.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 2048);
        const std::vector<double> samples = curves.channel(0).values;
        Child<QCheckBox>("auto1")->click();
        view->graph()->SetRecord({});
        QVERIFY(view->Import(dir.filePath(QStringLiteral("capture.txt"))));
        QVERIFY(curves.channel(0).values == samples);
        QCOMPARE(Child<QLineEdit>("scale1")->text(), scale);
        QVERIFY(!Child<QCheckBox>("auto1")->isChecked());
        QVERIFY(Child<QCheckBox>("channel1")->isChecked());
        QCOMPARE(Child<QComboBox>("object1")->currentIndex(), 0);
    }

    // The ways out of an upload other than a silent drive: the operator's cancel, the page
    // window closing, the drive refusing a segment.
    void uploadEndedGivesTheLinkBack_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("cancel") << 0;
        QTest::newRow("close") << 1;
        QTest::newRow("refused") << 2;
    }
    void uploadEndedGivesTheLinkBack()
    {
        QFETCH(int, way);
        OpenWithChannel(115200);
        CProbe probe;
        CCtrlLink& link = rig->sys->link;
        QVERIFY(link.AddLoop(probe.hwnd(), kStatusword, 1));
        QVERIFY(link.EnableLoop(probe.hwnd()));
        if (way == 2)
            rig->drive.faults().AbortUploadAfter(20, 0x08000020);
        StartAndWaitForUpload();
        if (way == 0)
            Child<QPushButton>("start")->click(); // Cancel
        else if (way == 1)
            view->SendPageControl(1);
        QVERIFY(Wait([this] { return view->capture().idle(); }));
        QVERIFY(LinkGivenBack());
        QCOMPARE(Child<QPushButton>("start")->text(), QStringLiteral("开始采集"));
        QVERIFY(Child<QPushButton>("start")->isEnabled() &&
                Child<QPushButton>("reread")->isEnabled());
        QCOMPARE(view->findChild<QMessageBox*>(QStringLiteral("scopeMessage")) != nullptr,
                 way == 2);
        // Polling goes on and another page's read is answered.
        const int polledBefore = probe.polled;
        link.Request(probe.hwnd(), 0x40, kVelocityKp, 0);
        QVERIFY(Wait([&] { return probe.answered > 0 && probe.polled > polledBefore; }));
        QVERIFY(view->graph()->data().channel(0).values.empty());
        link.RemoveLoop(probe.hwnd());
    }

    void silentDriveDuringUploadEndsTheCapture()
    {
        OpenWithChannel(115200);
        StartAndWaitForUpload();
        rig->drive.faults().SetSilent(true);
        QVERIFY(
            Wait([this] { return view->findChild<QMessageBox*>(QStringLiteral("scopeMessage")); }));
        QVERIFY(view->capture().idle());
        QVERIFY(LinkGivenBack());
        QVERIFY(Child<QPushButton>("start")->isEnabled());
        QVERIFY(Child<QPushButton>("reread")->isEnabled());
        QCOMPARE(Child<QPushButton>("start")->text(), QStringLiteral("开始采集"));
    }

    void zoomAndCursorReadout()
    {
        OpenWithChannel(0, 500);
        Child<QPushButton>("start")->click();
        QVERIFY(Wait([this] { return view->capture().idle(); }));
        // After a record the page reads the slots again; the read-out shows a channel once its
        // object is known once more.
        QVERIFY(Wait([this] { return view->capture().pendingRequests() == 0; }));
        CCurveGraph* graph = view->graph();
        // A known ramp in place of the drive's samples: sample k holds 10 k.
        std::array<std::vector<double>, CCurveData::kChannels> ramp;
        for (int k = 1; k <= 1000; ++k)
            ramp[0].push_back(10.0 * k);
        graph->SetRecord(ramp);
        const Plot::Geometry& g = graph->geometry();
        const int y = g.CentreRow();
        struct Drag
        {
            int from, to; // columns, relative to the plot's left edge
            bool zoomed;
        };
        const Drag drags[] = {{100, 400, true}, {400, 100, false}, {300, 300, false}};
        for (const Drag& d : drags) {
            graph->data().ShowWhole();
            graph->ComputeExtents();
            QTest::mousePress(graph, Qt::LeftButton, {}, QPoint(g.x0 + d.from, y));
            QTest::mouseMove(graph, QPoint(g.x0 + d.to, y + 30));
            QTest::mouseRelease(graph, Qt::LeftButton, {}, QPoint(g.x0 + d.to, y + 30));
            QTest::mouseClick(graph, Qt::RightButton, {}, QPoint(g.x0 + 50, y));
            QCOMPARE(graph->data().visibleCount() < 1000, d.zoomed);
            QVERIFY(graph->zoomRect().isNull());
        }
        graph->data().ShowWhole();
        graph->ComputeExtents();
        // Two cursors, read out on channel 1 at 1 ms a sample (the drive's period of 16 steps).
        Child<QRadioButton>("cursorMode2")->click();
        const int p1 = Plot::PositionOf(99, Plot::PositionStep(g.width, 1000));
        const int p2 = Plot::PositionOf(599, Plot::PositionStep(g.width, 1000));
        Child<QSlider>("cursor1Slider")->setValue(p1);
        Child<QSlider>("cursor2Slider")->setValue(p2);
        const double t1 = 100 * graph->data().samplePeriod() * 62.5 / 1000;
        QCOMPARE(Child<QLineEdit>("time1")->text(), QString::asprintf("%.2f", t1));
        QCOMPARE(Child<QLineEdit>("value1")->text(), QStringLiteral("1000"));
        QCOMPARE(Child<QLineEdit>("value2")->text(), QStringLiteral("6000"));
        QCOMPARE(Child<QLineEdit>("valueDiff")->text(), QStringLiteral("5000"));
        QCOMPARE(Child<QLineEdit>("timeHead")->text(), QStringLiteral("时间(ms)"));
        const double dt = 500 * graph->data().samplePeriod() * 62.5;
        QCOMPARE(Child<QLineEdit>("frequency")->text(), QString::asprintf("%.2f Hz", 1e6 / dt));
        // Cursor 2 left of cursor 1: the difference is still later minus earlier.
        Child<QSlider>("cursor2Slider")->setValue(p1);
        Child<QSlider>("cursor1Slider")->setValue(p2);
        QCOMPARE(Child<QLineEdit>("valueDiff")->text(), QStringLiteral("5000"));
    }

    void pictureFiles()
    {
        // 3 x 2 pixels, 24 bits: 9 bytes a row padded to 12, the bottom row first, blue first.
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(qRgb(1, 2, 3));
        image.setPixel(0, 1, qRgb(10, 20, 30));
        const QByteArray bmp = BitmapFile(image, 24);
        QCOMPARE(bmp.size(), 54 + 24);
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        QCOMPARE(quint8(bmp[2]), quint8(78));  // file size
        QCOMPARE(quint8(bmp[10]), quint8(54)); // pixel offset
        QCOMPARE(quint8(bmp[28]), quint8(24)); // bits per pixel
        QCOMPARE(bmp.mid(54, 12), QByteArray::fromHex("1e140a030201030201000000"));
        QCOMPARE(bmp.mid(66, 12), QByteArray::fromHex("030201030201030201000000"));
        QCOMPARE(BitmapFile(image, 32).size(), 54 + 24); // 32 bits: 12 bytes a row, no padding

        QTemporaryDir dir;
        struct Case
        {
            const char* name;
            bool written;
        };
        const Case cases[] = {{"page.bmp", true},
                              {"page.png", true},
                              {"page.BMP", false},
                              {"missing/page.png", false}};
        for (const Case& c : cases) {
            const QString path = dir.filePath(QLatin1String(c.name));
            QCOMPARE(WritePagePicture(image, path), c.written);
            QCOMPARE(QFile::exists(path), c.written);
        }
        QCOMPARE(QImage(dir.filePath(QStringLiteral("page.bmp"))).pixel(0, 1), qRgb(10, 20, 30));
        // Only the picture is left in the folder: nothing half written beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }
};

DRIVARA_GUI_TEST_MAIN(DriverOscilloTest)
#include "DriverOscilloTest.moc"
