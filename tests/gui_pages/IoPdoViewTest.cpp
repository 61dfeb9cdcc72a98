// The I/O page and the PDO windows against the virtual drive over a pseudo-terminal, through the
// real link and serial library: switches and function choices as written on the wire, panels made
// on first use, and the mapping editor's writes, refusals and read-back.

#include "GuiPageSupport.h"
#include "MessageRecorder.h"
#include "dio/DataInOut.h"
#include "dio/FunctionDialog.h"
#include "pdo/PdoMappingEditor.h"
#include "pdo/PdoTabs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace GuiPageTest;

namespace {
constexpr int kWaitMs = 20000;

// The request frame of a command to an object, as the drive counts it.
int Frames(CVirtualDrive& drive, uint8_t command, uint32_t key, uint32_t value = 0)
{
    const uint8_t frame[8] = {
        command,        uint8_t(key >> 8),   uint8_t(key >> 16),   uint8_t(key),
        uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return drive.FrameCount(frame);
}
} // namespace

class IoPdoViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<CDriveRig> rig;
    TestSupport::MessageRecorder messages;

    bool Settled() const
    {
        return TestSupport::WaitFor([this] { return !rig->sys->link.HasPendingRequests(); },
                                    kWaitMs);
    }

private slots:
    void init()
    {
        messages.Take();
        rig = std::make_unique<CDriveRig>();
        QVERIFY2(rig->ok(), qPrintable(rig->error));
    }
    void cleanup() { rig.reset(); }

    void switchesAndFunctionsReachTheDrive()
    {
        CDataInOut view(*rig->sys);
        QVERIFY(TestSupport::WaitFor([&] { return view.page().readStep() == 0; }, kWaitMs));
        QCOMPARE(view.findChild<QLineEdit*>("din1_function")->text(), QStringLiteral("Enable"));

        // Each switch writes its whole word once, and the drive's lamps follow: DIN3 (low)
        // inverted is on for the functions, DOUT1 (Ready) inverted is off, DIN1 (high) simulated
        // takes the simulated level 0.
        const struct
        {
            const char* button;
            uint32_t key;
            uint32_t word;
            const char* lamp;
            bool lampOn;
        } switches[] = {
            {"din3_polarity", 0x201001, 0x0004, "din3_virtual", true},
            {"dout1_polarity", 0x20100E, 0x0001, "dout1_actual", false},
            {"din1_simulation", 0x201002, 0x0001, "din1_virtual", false},
        };
        for (const auto& toggle : switches) {
            QLabel* lamp = view.findChild<QLabel*>(toggle.lamp);
            QTRY_COMPARE(lamp->property("on").toBool(), !toggle.lampOn);
            view.findChild<QToolButton*>(toggle.button)->click();
            QVERIFY(Settled());
            QCOMPARE(Frames(rig->drive, 0x2B, toggle.key, toggle.word), 1);
            QCOMPARE(rig->drive.Value(toggle.key), toggle.word);
            QTRY_COMPARE(lamp->property("on").toBool(), toggle.lampOn);
        }

        // Rows 2 and 15 mix both kinds of function: refused, nothing written, the dialog stays.
        const struct
        {
            int rows[2];
            uint32_t mask;
        } choices[] = {{{2, 15}, 0}, {{15, 16}, 0x18000}};
        for (const auto& choice : choices) {
            view.OpenFunctionDialog(0);
            CFunctionDialog* dialog = view.functionDialog(false);
            auto* list = dialog->findChild<QTreeWidget*>("functionList");
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                const bool on = row == choice.rows[0] || row == choice.rows[1];
                list->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
            }
            dialog->findChild<QPushButton*>("ok")->click();
            QVERIFY(Settled());
            QCOMPARE(dialog->isVisible(), choice.mask == 0);
            if (choice.mask == 0) {
                QCOMPARE(messages.Take(), QStringList{QStringLiteral("Your setting is wrong!!")});
                QCOMPARE(Frames(rig->drive, 0x23, 0x201003, 0x8004), 0);
                QCOMPARE(rig->drive.Value(0x201003), 0x1u);
                dialog->hide();
            } else {
                QCOMPARE(rig->drive.Value(0x201003), choice.mask);
                QTRY_COMPARE(view.findChild<QLineEdit*>("din1_function")->text(),
                             QStringLiteral("Segment select bit 0+Segment select bit 1"));
            }
        }
    }

    void pdoPanelsAreMadeOnFirstUse()
    {
        CTagFormViewRPD view(*rig->sys);
        CPdoTabsDialog* tabs = view.dialog();
        QVERIFY(Settled());
        QCOMPARE(tabs->panelsCreated(), 1);
        QVERIFY(Frames(rig->drive, 0x40, 0x140001) > 0);
        for (uint32_t other : {0x140101u, 0x160100u, 0x140701u})
            QCOMPARE(Frames(rig->drive, 0x40, other), 0);

        tabs->tabs()->setCurrentIndex(1);
        QWidget* second = tabs->panel(2);
        QVERIFY(second && Settled());
        QVERIFY(Frames(rig->drive, 0x40, 0x140101) > 0);
        tabs->tabs()->setCurrentIndex(0);
        tabs->tabs()->setCurrentIndex(1);
        QCOMPARE(tabs->panelsCreated(), 2);
        QCOMPARE(tabs->panel(2), second);
        QVERIFY(!tabs->panel(1)->isVisibleTo(tabs) && second->isVisibleTo(tabs));
    }

    void mappingEditorAppliesOrRefuses_data()
    {
        QTest::addColumn<QString>("pdo");
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("refusal"); // empty: applied and read back the same
        QTest::newRow("a full 64 bits") << "RPDO1"
                                        << "60400010 60FF0020 60710010" << QString();
        QTest::newRow("over 64 bits") << "RPDO1"
                                      << "60400010 60FF0020 607A0020"
                                      << "80 bits";
        QTest::newRow("not mappable") << "RPDO1"
                                      << "22200110"
                                      << "cannot be mapped";
        QTest::newRow("receive maps writable") << "RPDO1"
                                               << "60410010"
                                               << "cannot be written";
    }
    void mappingEditorAppliesOrRefuses()
    {
        QFETCH(QString, pdo);
        QFETCH(QString, entries);
        QFETCH(QString, refusal);
        Pdo::Address address;
        QVERIFY(Pdo::ParseAddress(pdo, address));
        auto view = std::make_unique<CTagFormViewRPD>(*rig->sys);
        view->dialog()->tabs()->setCurrentIndex(address.number - 1);
        CPdoMappingEditor* editor = view->dialog()->editor(address.number);
        QVERIFY(editor && Settled());
        std::vector<uint32_t> wanted;
        for (const QString& entry : entries.split(QLatin1Char(' ')))
            wanted.push_back(entry.toUInt(nullptr, 16));
        const uint32_t cobId = rig->drive.Value(address.CobIdKey());
        const int requestsBefore = rig->drive.RequestCount();
        editor->SetEntries(wanted);
        editor->findChild<QPushButton*>("apply")->click();
        QVERIFY(TestSupport::WaitFor([&] { return !editor->apply().busy(); }, kWaitMs));
        if (refusal.isEmpty()) {
            QCOMPARE(editor->apply().state(), CPdoApply::State::Done);
            QCOMPARE(editor->apply().readEntries(), wanted);
            QCOMPARE(rig->drive.Value(address.CountKey()), uint32_t(wanted.size()));
            QCOMPARE(rig->drive.Value(address.CobIdKey()), cobId);
            QVERIFY(editor->findChild<QPushButton*>("store")->isEnabled());
            QVERIFY(editor->logText().contains(QStringLiteral("ok")));
            return;
        }
        QCOMPARE(editor->apply().state(), CPdoApply::State::Failed);
        QVERIFY2(editor->findChild<QLabel*>("status")->text().contains(refusal),
                 qPrintable(editor->apply().reason()));
        QVERIFY(!editor->findChild<QPushButton*>("store")->isEnabled());
        QCOMPARE(rig->drive.RequestCount(), requestsBefore); // not even a read
    }
};

DRIVARA_GUI_TEST_MAIN(IoPdoViewTest)
#include "IoPdoViewTest.moc"
