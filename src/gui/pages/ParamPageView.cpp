#include "ParamPageView.h"

#include "EditListCtrl.h"
#include "PageViews.h"
#include "ProjectPlacement.h"
#include "app/SysData.h"
#include "base/Report.h"

#include <QColor>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
using Col = CPageListModel::Column;

// Read-only objects are drawn in forest green on every column.
const QColor kReadOnlyColour(0x22, 0x8B, 0x22);
// Values from before the line was lost: grey, still readable on the white rows.
const QColor kStaleColour(0x80, 0x80, 0x80);
constexpr int kMaxRowsShown = 18;
constexpr int kMinRowsShown = 4;
} // namespace

CParamPageView::CParamPageView(CSysData& sys, const CWindowInfo& page, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_spec(page), m_page(std::make_unique<CParamPage>(sys, page)),
      m_list(new CEditListCtrl(this))
{
    setObjectName(page.className);
    m_list->setObjectName(QStringLiteral("pageList"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list, 1);

    CPageListModel& model = m_page->list();
    model.SetReadOnlyForeground(kReadOnlyColour);
    SetStaleText();
    model.SetFont(font());
    m_list->setModel(&model);
    m_list->SetOwnerWindow(m_page->hwnd());
    m_list->valueValidator = [this](int row, const QString& text) {
        return AcceptValue(row, text);
    };
    m_page->focusedSelectionHook = [this] { return TakeFocusedSelection(); };

    if (m_spec.rightClickMenu) {
        m_list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_list, &QWidget::customContextMenuRequested, this,
                &CParamPageView::ShowContextMenu);
    }
    // Help of the current row from the keyboard, on every page.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] {
        if (m_list->currentIndex().isValid())
            m_list->selectRow(m_list->currentIndex().row());
        CommandHelp();
    });

    SetProjectHooks(sys, *m_page, this);
    m_page->Create();
    setWindowTitle(title());
}

CParamPageView::~CParamPageView()
{
    // The page stops its polling; the table goes before the rows it shows.
    if (m_page->active())
        m_page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionClose, 0);
    delete m_list;
    m_list = nullptr;
}

QString CParamPageView::title() const
{
    return m_spec.Title(m_sys.programLanguage);
}

void CParamPageView::SendPageControl(int action)
{
    SendMessage(m_page->hwnd(), WM_PAGE_CONTROL, uint32_t(action), 0);
}

QSize CParamPageView::SizeForRows(int rows, bool scrollBar) const
{
    const int frame = 2 * m_list->frameWidth();
    const int bar = scrollBar ? m_list->verticalScrollBar()->sizeHint().width() : 0;
    // Two pixels for the grid line that closes the last column.
    const int width = m_list->VisibleColumnsWidth() + frame + bar + 2;
    const int height = m_list->HeaderHeight() + rows * m_list->RowHeight() + frame;
    return {width, height};
}

QSize CParamPageView::sizeHint() const
{
    const int count = m_page->list().GetItemCount();
    // Room for the scroll bar only when the rows do not all fit.
    return SizeForRows(qBound(kMinRowsShown, count, kMaxRowsShown), count > kMaxRowsShown);
}

QSize CParamPageView::FitSize(const QSize& room) const
{
    // Whole rows only, so that no row shows in part, and no more rows than the page has; the
    // width takes every column and the scroll bar that rows added later bring.
    const QSize bare = SizeForRows(0, true);
    const int fitting = (room.height() - bare.height()) / qMax(1, m_list->RowHeight());
    const int count = qMax(m_page->list().GetItemCount(), kMinRowsShown);
    const int rows = qBound(kMinRowsShown, fitting, count);
    return {qMax(room.width(), bare.width()), SizeForRows(rows, true).height()};
}

void CParamPageView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        m_page->list().SetFont(font());
    else if (event->type() == QEvent::LanguageChange)
        SetStaleText();

    QWidget::changeEvent(event);
}

void CParamPageView::SetStaleText()
{
    m_page->list().SetStalePresentation(kStaleColour,
                                        tr("Not current: the drive last answered at %1"));
}

bool CParamPageView::AcceptValue(int row, const QString& text)
{
    // Refused text is never committed: the cell keeps the drive's value and nothing is written.
    const QString refusal = m_page->WriteRefusal(row, text);
    if (refusal.isEmpty())
        return true;
    ReportMessage(refusal, MessageKind::Warning);
    return false;
}

int CParamPageView::TakeFocusedSelection()
{
    const int row = m_list->FocusedSelectedRow();
    m_list->clearSelection();
    return row;
}

QMenu* CParamPageView::CreateContextMenu()
{
    const CPageMenuState state = PageMenuState(m_spec, !m_list->SelectedRows().isEmpty());
    if (!state.shown)
        return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pageMenu"));
    QAction* add = menu->addAction(tr("add"), this, &CParamPageView::CommandAdd);
    QAction* del = menu->addAction(tr("del"), this, &CParamPageView::CommandDelete);
    QAction* help = menu->addAction(tr("help"), this, &CParamPageView::CommandHelp);
    add->setObjectName(QStringLiteral("add"));
    del->setObjectName(QStringLiteral("del"));
    help->setObjectName(QStringLiteral("help"));
    add->setEnabled(state.addEnabled);
    del->setEnabled(state.deleteEnabled);
    help->setEnabled(state.helpEnabled);
    return menu;
}

void CParamPageView::ShowContextMenu(const QPoint& position)
{
    QMenu* menu = CreateContextMenu();
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_list->viewport()->mapToGlobal(position));
}

void CParamPageView::CommandAdd()
{
    // The main frame opens the dictionary browser, whose double-click answers this page.
    m_page->CommandAdd();
}

void CParamPageView::CommandDelete()
{
    const QVector<int> rows = m_list->SelectedRows();
    m_list->clearSelection();
    m_page->CommandDelete(rows);
}

void CParamPageView::CommandHelp()
{
    // A message box of its own: the help belongs to the row asked about and goes with its OK,
    // so it never outlives the row nor takes room from the list.
    const QString text = m_page->CommandHelp(TakeFocusedSelection());
    if (!text.isEmpty())
        ReportMessage(text, MessageKind::Information);
}
