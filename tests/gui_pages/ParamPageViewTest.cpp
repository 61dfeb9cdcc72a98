// The page views as the operator uses them, against the virtual drive over a pseudo-terminal:
// values with their units, in-place edits, unit changes, the right-click menu with the object
// picker, refusals shown as "????" with the reason, values no longer current once the drive
// falls silent, clicks on a row in part out of sight, and the repaints of a burst of values.

#include "ParamPageView.h"
#include "EditListCtrl.h"
#include "GuiPageSupport.h"
#include "MessageRecorder.h"
#include "PageViews.h"
#include "app/MainFrameLogic.h"
#include "base/Report.h"
#include "comm/AbortCodes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <vector>

using namespace GuiPageTest;

namespace {

constexpr int kWaitMs = 20000;
using Col = CPageListModel::Column;
using View = CParamPageView;

constexpr uint32_t kVelocityKp = 0x222001;   // U16 RWS, DEC, 120
constexpr uint32_t kVelocityTi = 0x222002;   // U16 RWS, "ms" (N/10) or DEC, 200
constexpr uint32_t kRatedCurrent = 0x220002; // U16 RWS, mA / A / DEC
constexpr uint32_t kStatusword = 0x604100;
constexpr uint32_t kRestart = 0x2FFF00; // U16 W: never read

// Counts the paint events of a widget while it lives.
class CPaintCounter : public QObject
{
public:
    CPaintCounter(QWidget* widget, int& count) : m_count(count)
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_count;
        return false;
    }

private:
    int& m_count;
};

} // namespace

class ParamPageViewTest : public QObject
{
    Q_OBJECT

private:
    static CPageListModel& Rows(View* v) { return v->page().list(); }
    static QString Cell(View* v, int row, int col) { return Rows(v).GetItemText(row, col); }
    static int RowOf(View* v, uint32_t key) { return Rows(v).RowOfKey(key); }
    static QLineEdit* TextEditor(View* v) { return OpenEditor<QLineEdit>(v, "inPlaceEdit"); }
    static bool EditorGone(View* view)
    {
        return TestSupport::WaitFor([view] { return TextEditor(view) == nullptr; }, kWaitMs);
    }
    static void Click(View* view, int row, int column)
    {
        CEditListCtrl* list = view->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, column)).center());
    }
    // The open editor; a closed one may linger hidden until it is deleted.
    template <typename Editor> static Editor* OpenEditor(View* view, const char* name)
    {
        for (Editor* editor : view->list()->findChildren<Editor*>(QLatin1String(name))) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }
    // Opens the value editor of a row with a click and types the text over the old one.
    static QLineEdit* Type(View* view, int row, const QString& text)
    {
        Click(view, row, Col::ColValue);
        QLineEdit* editor = TextEditor(view);
        if (editor) {
            editor->selectAll();
            QTest::keyClicks(editor, text);
        }
        return editor;
    }

    std::unique_ptr<CDriveRig> rig;
    std::vector<std::unique_ptr<QWidget>> views;
    TestSupport::MessageRecorder messages; // operator messages, taken by the running test

    // Opened, shown and every row read.
    View* OpenFilled(const char* className)
    {
        const CWindowInfo* spec = FindWindow(QLatin1String(className));
        if (!spec)
            return nullptr;
        views.emplace_back(CreateParamPageView(*rig->sys, *spec, nullptr));
        auto* view = static_cast<View*>(views.back().get());
        view->resize(PageViewSize(view));
        view->show();
        view->activateWindow();
        return QTest::qWaitForWindowActive(view) &&
                       TestSupport::WaitFor([view] { return PageFilled(view->page()); }, kWaitMs)
                   ? view
                   : nullptr;
    }

    // A fresh read pass, awaited until the link has answered every request: whatever the page
    // sent before has then reached the drive, and every row shows what the drive holds.
    bool ReadAgain(View* view)
    {
        view->SendPageControl(CParamPage::ActionActivate);
        return TestSupport::WaitFor(
            [this, view] { return PageSettled(view->page(), rig->sys->link); }, kWaitMs);
    }

private slots:
    void init()
    {
        messages.Take();
        rig = std::make_unique<CDriveRig>();
        QVERIFY2(rig->ok(), qPrintable(rig->error));
        SetListColumnsForScreen(*rig->sys);
    }

    void cleanup()
    {
        views.clear();
        rig.reset();
    }

    void everyValueIsShownWithItsUnit_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("firstLabel");
        QTest::newRow("velocity loop") << QStringLiteral("CSpeedCircle") << QStringLiteral("1");
        QTest::newRow("drive properties")
            << QStringLiteral("CDriverProterty") << QStringLiteral("1*");
        QTest::newRow("receive PDO 1") << QStringLiteral("RPDO1") << QStringLiteral("0*");
    }
    void everyValueIsShownWithItsUnit()
    {
        QFETCH(QString, page);
        QFETCH(QString, firstLabel);
        View* view = OpenFilled(qPrintable(page));
        QVERIFY(view && Rows(view).GetItemCount() > 5);
        QCOMPARE(Cell(view, 0, Col::ColLabel), firstLabel);
        // Only the label, name, value and unit are shown, at their widths; read-only rows green.
        // The name column has the width of the screen's density (fixed on the drive properties),
        // wider only where a name would otherwise be cut.
        CEditListCtrl* list = view->list();
        for (int column : {1, 3, 5})
            QVERIFY(list->isColumnHidden(column));
        QCOMPARE(list->horizontalHeader()->sectionResizeMode(Col::ColName), QHeaderView::Fixed);
        const int nameWidth = page == "CDriverProterty" ? 150 : 257;
        QVERIFY(list->columnWidth(Col::ColName) >= nameWidth);
        if (page == "CSpeedCircle")
            QCOMPARE(list->columnWidth(Col::ColName), nameWidth);
        for (int row = 0; row < Rows(view).GetItemCount(); ++row) {
            const QString name = Cell(view, row, Col::ColName);
            QVERIFY2(!Cell(view, row, Col::ColUnit).isEmpty(), qPrintable(name));
            QVERIFY2(Cell(view, row, Col::ColValue) != "????", qPrintable(name));
            QVERIFY(list->fontMetrics().horizontalAdvance(name) < list->columnWidth(Col::ColName));
            const QVariant colour = Rows(view).index(row, Col::ColName).data(Qt::ForegroundRole);
            QCOMPARE(colour.isValid(), Cell(view, row, Col::ColLabel).endsWith(QLatin1Char('*')));
            if (colour.isValid())
                QCOMPARE(colour.value<QColor>(), QColor(0x22, 0x8B, 0x22));
        }
    }

    void enterWritesTheValueAndTheDriveHoldsIt()
    {
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        const int row = RowOf(view, kVelocityKp);
        QCOMPARE(Cell(view, row, Col::ColValue), QStringLiteral("120"));
        QLineEdit* editor = Type(view, row, QStringLiteral("150"));
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(rig->drive.Value(kVelocityKp), 150u, kWaitMs);
        QVERIFY(EditorGone(view));

        // Right after the commit digits do not move the selection and the first Enter is taken
        // once; the arrows move the row the next Enter edits (key, current row, editor open).
        // clang-format off
        const std::tuple<Qt::Key, int, bool> keys[] = {{Qt::Key_9, row, false}, {Qt::Key_Return, row, false},
            {Qt::Key_Down, row + 1, false}, {Qt::Key_1, row + 1, false}, {Qt::Key_Return, row + 1, true}};
        // clang-format on
        for (const auto& [key, current, editing] : keys) {
            QTest::keyClick(view->list(), key);
            QCOMPARE(view->list()->currentIndex().row(), current);
            QCOMPARE(view->list()->currentEditRow(), current);
            QCOMPARE(TextEditor(view) != nullptr, editing);
        }
        QCOMPARE(TextEditor(view)->text(), Cell(view, row + 1, Col::ColValue));
        QTest::keyClick(TextEditor(view), Qt::Key_Escape);
        QVERIFY(EditorGone(view));
    }

    void clickingElsewhereOrEscapeWritesNothing_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("click on another row") << false;
        QTest::newRow("escape") << true;
    }
    // Left by a click on another row: the typed text stays in the cell, the drive keeps 120.
    // Escape puts the old text back.
    void clickingElsewhereOrEscapeWritesNothing()
    {
        QFETCH(bool, escape);
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        const int row = RowOf(view, kVelocityKp);
        QLineEdit* editor = Type(view, row, QStringLiteral("777"));
        QVERIFY(editor);
        if (escape)
            QTest::keyClick(editor, Qt::Key_Escape);
        else
            Click(view, row + 2, Col::ColName);
        QVERIFY(EditorGone(view));
        QCOMPARE(Cell(view, row, Col::ColValue), QLatin1String(escape ? "120" : "777"));
        QVERIFY(ReadAgain(view));
        QCOMPARE(rig->drive.Value(kVelocityKp), 120u);
    }

    void valuesOutOfRangeOrWithBlanksAreRefusedAndNotWritten_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<uint>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        const QString u16 =
            "\"%1\" is not a whole number from 0 to 65535 (decimal, or hexadecimal with 0x)";
        const QString mA = "\"%1\" is not a number from 0 to 65535 mA";
        const uint kp = kVelocityKp, current = kRatedCurrent;
        // The whole text is the number, as in drivactl: a blank before or after it is refused.
        // clang-format off
        QTest::newRow("U16 decimal") << "CSpeedCircle" << kp << "70000" << u16.arg("70000");
        QTest::newRow("through the unit") << "CMotorParam" << current << "65536" << mA.arg("65536");
        QTest::newRow("blank before") << "CSpeedCircle" << kp << " 12" << u16.arg(" 12");
        QTest::newRow("blank after, unit") << "CMotorParam" << current << "12 " << mA.arg("12 ");
        // clang-format on
    }
    void valuesOutOfRangeOrWithBlanksAreRefusedAndNotWritten()
    {
        QFETCH(QString, page);
        QFETCH(uint, key);
        QFETCH(QString, text);
        QFETCH(QString, message);
        View* view = OpenFilled(qPrintable(page));
        QVERIFY(view);
        const int row = RowOf(view, key);
        const uint32_t before = rig->drive.Value(key);
        const QString shown = Cell(view, row, Col::ColValue);
        QLineEdit* editor = Type(view, row, text);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(EditorGone(view));
        QCOMPARE(messages.Take(), QStringList{message});
        QCOMPARE(Cell(view, row, Col::ColValue), shown);
        QVERIFY(ReadAgain(view));
        QCOMPARE(rig->drive.Value(key), before);
    }

    void anotherUnitRereadsTheValueInIt()
    {
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        const int row = RowOf(view, kVelocityTi);
        QCOMPARE(Cell(view, row, Col::ColUnit), QStringLiteral("ms"));
        QCOMPARE(Cell(view, row, Col::ColValue), QStringLiteral("20.000"));
        Click(view, row, Col::ColUnit);
        auto* combo = OpenEditor<QComboBox>(view, "inPlaceCombo");
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), QStringLiteral("ms"));
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(Cell(view, row, Col::ColUnit), QStringLiteral("DEC"));
        QTRY_COMPARE_WITH_TIMEOUT(Cell(view, row, Col::ColValue), QStringLiteral("200"), kWaitMs);

        // A read-only row opens no value editor, but its unit may be chosen.
        const int statusRow = Rows(view).GetItemCount() - 1;
        QVERIFY(Cell(view, statusRow, Col::ColLabel).endsWith(QLatin1Char('*')));
        Click(view, statusRow, Col::ColValue);
        QVERIFY(!TextEditor(view));
        Click(view, statusRow, Col::ColUnit);
        QVERIFY(OpenEditor<QComboBox>(view, "inPlaceCombo"));
    }

    void addFromTheBrowserAndDelete()
    {
        View* view = OpenFilled("CMotorParam");
        QVERIFY(view);
        const int rows = Rows(view).GetItemCount();
        std::unique_ptr<QMenu> menu;
        const auto action = [&](const char* name) {
            return menu->findChild<QAction*>(QLatin1String(name));
        };
        const auto offered = [&] {
            menu.reset(view->CreateContextMenu());
            return QList<bool>{action("add")->isEnabled(), action("del")->isEnabled(),
                               action("help")->isEnabled()};
        };
        // The object goes above the focused selected row and is read at once.
        Click(view, 2, Col::ColName);
        QCOMPARE(offered(), QList<bool>({true, true, true}));
        action("add")->trigger();
        // The page named itself the requester; the browser answers it (gui_test goes the whole
        // way through the main frame and the browser).
        QCOMPARE(rig->sys->browserRequesterWnd, view->page().hwnd());
        SendMessage(rig->sys->browserRequesterWnd, WM_ADD_OBJECT, 0, kStatusword);
        QCOMPARE(Rows(view).GetItemCount(), rows + 1);
        QCOMPARE(RowOf(view, kStatusword), 2);
        QTRY_COMPARE_WITH_TIMEOUT(Cell(view, 2, Col::ColValue).isEmpty(), false, kWaitMs);

        // Its help comes in a message of its own, which leaves the list its room; then it is
        // deleted.
        const QSize listSize = view->list()->size();
        Click(view, 2, Col::ColName);
        view->CommandHelp();
        const QStringList help = messages.Take();
        QCOMPARE(help.size(), 1);
        QVERIFY(help.first().startsWith(QStringLiteral("Index: 0x604100\r\nName: ")));
        QVERIFY(view->list()->SelectedRows().isEmpty());
        QCOMPARE(view->list()->size(), listSize);
        Click(view, 2, Col::ColName);
        offered();
        action("del")->trigger();
        QCOMPARE(Rows(view).GetItemCount(), rows);
        QCOMPARE(RowOf(view, kStatusword), -1);
    }

    void aRefusedReadShowsMarksAndTheReason()
    {
        View* view = OpenFilled("CMotorParam");
        QVERIFY(view);
        // The restart object can only be written: the drive refuses to read it.
        SendMessage(PageViewWindow(view), WM_ADD_OBJECT, 0, kRestart);
        const int row = RowOf(view, kRestart);
        QCOMPARE(row, Rows(view).GetItemCount() - 1);
        QTRY_COMPARE_WITH_TIMEOUT(Cell(view, row, Col::ColValue), QStringLiteral("????"), kWaitMs);
        QCOMPARE(Rows(view).index(row, Col::ColValue).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Attempt to read a write only object"));
        QVERIFY(!Rows(view).index(0, Col::ColValue).data(Qt::ToolTipRole).isValid());
    }

    void valuesGoStaleWhenTheDriveFallsSilentAndCurrentAfterAReconnect()
    {
        // The main frame's logic in place of the rig's stand-in: it closes the connection when
        // the drive stops answering and tells the pages, as the main window does.
        rig->mainFrame.reset();
        CMainFrameLogic frame(*rig->sys);
        frame.onPagesControl = [this](unsigned code) {
            for (const auto& open : views)
                SendPageControl(open.get(), int(code));
        };
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        // The first statusword makes the frame take the connection as open and read again.
        QTRY_COMPARE_WITH_TIMEOUT(frame.lastDriveState(), 0, kWaitMs);
        QVERIFY(ReadAgain(view));
        CPageListModel& rows = Rows(view);
        QStringList before;
        for (int row = 0; row < rows.GetItemCount(); ++row)
            before.append(Cell(view, row, Col::ColValue));
        // The operator is typing a new gain when the line goes quiet.
        const int kp = RowOf(view, kVelocityKp);
        QLineEdit* editor = Type(view, kp, QStringLiteral("13"));
        QVERIFY(editor);

        rig->drive.faults().SetSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(rig->sys->connected.load(), 2, kWaitMs);
        // Every value stays on show, greyed, with the time of its last answer; live rows, which
        // cannot follow the drive any more, show "????" and why.
        const QStringList lineLost = {SdoFailureText(kSdoClosed), SdoFailureText(kSdoNoAnswer)};
        int live = 0;
        for (int row = 0; row < rows.GetItemCount(); ++row) {
            const QString name = Cell(view, row, Col::ColName);
            const QModelIndex value = rows.index(row, Col::ColValue);
            QVERIFY2(!value.data(CPageListModel::CurrentRole).toBool(), qPrintable(name));
            QCOMPARE(value.data(Qt::ForegroundRole).value<QColor>(), QColor(0x80, 0x80, 0x80));
            const QString tip = value.data(Qt::ToolTipRole).toString();
            if (Cell(view, row, Col::ColAttribute).contains(QLatin1Char('L'))) {
                ++live;
                QCOMPARE(Cell(view, row, Col::ColValue), QStringLiteral("????"));
                QVERIFY2(lineLost.contains(tip), qPrintable(name + ": " + tip));
            } else {
                QCOMPARE(Cell(view, row, Col::ColValue), before.at(row));
                const QDateTime answered = value.data(CPageListModel::LastAnswerRole).toDateTime();
                QVERIFY(answered.isValid());
                QCOMPARE(tip, "Not current: the drive last answered at " +
                                  answered.toString(QStringLiteral("HH:mm:ss")));
            }
        }
        QCOMPARE(live, 3);
        QCOMPARE(editor->text(), QStringLiteral("13"));

        // A reconnect reads the page again; each row is current as its answer comes in.
        rig->drive.faults().SetSilent(false);
        QString error;
        QVERIFY2(frame.OpenSerial(rig->server->PortName(), 115200, 1, 100, error),
                 qPrintable(error));
        const auto allCurrent = [&] {
            for (int row = 0; row < rows.GetItemCount(); ++row) {
                if (!rows.IsCurrent(row) || Cell(view, row, Col::ColValue) == "????")
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allCurrent(), kWaitMs);
        // The gain's value reached the row while its editor stayed open with the typing.
        QCOMPARE(Cell(view, kp, Col::ColValue), before.at(kp));
        QVERIFY(!rows.index(kp, Col::ColValue).data(Qt::ToolTipRole).isValid());
        QVERIFY(!rows.index(kp, Col::ColValue).data(Qt::ForegroundRole).isValid());
        QCOMPARE(editor->text(), QStringLiteral("13"));
        QTest::keyClick(editor, Qt::Key_Escape);
    }

    void chineseTextsAreBuiltIn()
    {
        const auto text = [] {
            return QCoreApplication::translate("CParamPageView", "%1 is out of range: %2 to %3.");
        };
        QVERIFY(InstallPageViewTranslator(1));
        QCOMPARE(text(), QString::fromUtf8("%1 超出范围：%2 至 %3。"));
        QVERIFY(!InstallPageViewTranslator(2));
        QCOMPARE(text(), QStringLiteral("%1 is out of range: %2 to %3."));
    }

    void aClickOnAPartlyVisibleRowEditsThatRow_data()
    {
        QTest::addColumn<int>("column");
        QTest::newRow("value") << int(Col::ColValue);
        QTest::newRow("unit") << int(Col::ColUnit);
    }

    void aClickOnAPartlyVisibleRowEditsThatRow()
    {
        QFETCH(int, column);
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        CEditListCtrl* list = view->list();
        // Three and a half rows in sight: the fourth shows its upper half.
        const int rowHeight = list->RowHeight();
        view->setFixedHeight(list->HeaderHeight() + 2 * list->frameWidth() + rowHeight * 7 / 2);
        QTRY_VERIFY(list->viewport()->height() < 4 * rowHeight);
        const int row = list->rowAt(list->viewport()->height() - 1);
        QCOMPARE(row, 3);
        const QPoint at(list->columnViewportPosition(column) + list->columnWidth(column) / 2,
                        list->rowViewportPosition(row) + 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        // The row stays under the pointer, so the next click lands on it too, and its editor is
        // open with its text.
        QCOMPARE(list->rowAt(at.y()), row);
        QCOMPARE(list->currentIndex().row(), row);
        if (column == Col::ColValue) {
            QVERIFY(TextEditor(view));
            QCOMPARE(TextEditor(view)->text(), Cell(view, row, Col::ColValue));
            QTest::keyClick(TextEditor(view), Qt::Key_Escape);
        } else {
            auto* combo = OpenEditor<QComboBox>(view, "inPlaceCombo");
            QVERIFY(combo);
            QCOMPARE(combo->currentText(), Cell(view, row, Col::ColUnit));
        }
    }

    // Values for every row of the page in turn, so that the band to paint is the whole list.
    void aBurstOfValuesRepaintsAtMostTwice()
    {
        View* view = OpenFilled("CSpeedCircle");
        QVERIFY(view);
        // Polling off, the link idle and the view painted: only the burst changes the rows.
        view->SendPageControl(CParamPage::ActionClose);
        QVERIFY(TestSupport::WaitFor(
            [this, view] { return PageSettled(view->page(), rig->sys->link); }, kWaitMs));
        CEditListCtrl* list = view->list();
        QTRY_VERIFY(!list->repaintPending());
        int paints = 0;
        CPaintCounter counter(list->viewport(), paints);
        const int before = list->coalescedRepaints();

        // 200 values, each delivered as an event of its own as the link delivers them.
        const int rows = Rows(view).GetItemCount();
        for (int i = 0; i < 200; ++i) {
            const int row = i % rows;
            QMetaObject::invokeMethod(
                &Rows(view),
                [view, row, i] { Rows(view).SetItemText(row, Col::ColValue, QString::number(i)); },
                Qt::QueuedConnection);
        }
        QTRY_VERIFY(list->coalescedRepaints() > before && !list->repaintPending() && paints > 0);
        QCOMPARE(Cell(view, 199 % rows, Col::ColValue), QStringLiteral("199"));
        QVERIFY2(list->coalescedRepaints() - before <= 2,
                 qPrintable(QString::number(list->coalescedRepaints() - before)));
        QVERIFY2(paints <= 2, qPrintable(QString::number(paints)));
    }
};

DRIVARA_GUI_TEST_MAIN(ParamPageViewTest)
#include "ParamPageViewTest.moc"
