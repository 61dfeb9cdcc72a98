#include "PdoTabs.h"

#include "PageFactory.h"
#include "PageViews.h"
#include "PdoMappingEditor.h"
#include "app/SysData.h"

#include <QHBoxLayout>
#include <QTabBar>
#include <QVBoxLayout>

CPdoTabsDialog::CPdoTabsDialog(CSysData& sys, Pdo::Direction direction, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_direction(direction), m_tabs(new QTabBar(this)),
      m_area(new QWidget(this))
{
    const bool receive = direction == Pdo::Direction::Receive;
    setObjectName(receive ? QStringLiteral("CRPDO_Dlg") : QStringLiteral("CTPDO_Dlg"));
    m_tabs->setObjectName(receive ? QStringLiteral("tab1247") : QStringLiteral("tab1248"));
    m_tabs->setExpanding(false);
    for (int n = 1; n <= Pdo::kPdosPerDirection; ++n)
        m_tabs->addTab(Pdo::Address{direction, n}.Name());
    auto* areaLayout = new QHBoxLayout(m_area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_tabs);
    layout->addWidget(m_area, 1);
    ShowPanel(1);
    m_tabs->setCurrentIndex(0);
    connect(m_tabs, &QTabBar::currentChanged, this, &CPdoTabsDialog::TabChanged);
}

// The panels and editors are children of the dialog and go with it.
CPdoTabsDialog::~CPdoTabsDialog() = default;

QWidget* CPdoTabsDialog::panel(int n) const
{
    return n >= 1 && n <= Pdo::kPdosPerDirection ? m_slots[size_t(n - 1)].panel : nullptr;
}

CPdoMappingEditor* CPdoTabsDialog::editor(int n) const
{
    return n >= 1 && n <= Pdo::kPdosPerDirection ? m_slots[size_t(n - 1)].editor : nullptr;
}

int CPdoTabsDialog::panelsCreated() const
{
    int count = 0;
    for (const Slot& slot : m_slots)
        count += slot.panel ? 1 : 0;
    return count;
}

void CPdoTabsDialog::ShowPanel(int n)
{
    if (n < 1 || n > Pdo::kPdosPerDirection)
        return;
    Slot& slot = m_slots[size_t(n - 1)];
    if (!slot.page) {
        const Pdo::Address pdo{m_direction, n};
        const CWindowInfo* window = FindWindow(pdo.Name());
        slot.page = new QWidget(m_area);
        slot.page->setObjectName(QStringLiteral("page_%1").arg(pdo.Name()));
        auto* layout = new QHBoxLayout(slot.page);
        layout->setContentsMargins(0, 0, 0, 0);
        // Names and units come from the dictionary, which may still be loading at start-up.
        m_sys.dictionary.WaitUntilLoaded(10000);
        if (window)
            slot.panel = CreatePageWidget(m_sys, *window, slot.page);
        if (slot.panel) {
            slot.panel->setObjectName(QStringLiteral("panel_%1").arg(pdo.Name()));
            layout->addWidget(slot.panel, 3);
        }
        slot.editor = new CPdoMappingEditor(m_sys, pdo, slot.page);
        layout->addWidget(slot.editor, 2);
        m_area->layout()->addWidget(slot.page);
    }
    slot.page->show();
}

void CPdoTabsDialog::ForwardPageControl(unsigned action)
{
    for (const Slot& slot : m_slots) {
        if (slot.panel)
            SendPageControl(slot.panel, int(action));
        if (slot.editor && action == 2)
            slot.editor->ReadFromDrive();
    }
}

void CPdoTabsDialog::TabChanged(int index)
{
    if (index < 0 || index >= Pdo::kPdosPerDirection)
        return;
    for (int n = 1; n <= Pdo::kPdosPerDirection; ++n) {
        if (n != index + 1 && m_slots[size_t(n - 1)].page)
            m_slots[size_t(n - 1)].page->hide();
    }
    ShowPanel(index + 1);
}

CRPDO_Dlg::CRPDO_Dlg(CSysData& sys, QWidget* parent)
    : CPdoTabsDialog(sys, Pdo::Direction::Receive, parent)
{
}

CTPDO_Dlg::CTPDO_Dlg(CSysData& sys, QWidget* parent)
    : CPdoTabsDialog(sys, Pdo::Direction::Transmit, parent)
{
}

CPdoTabsView::CPdoTabsView(CPdoTabsDialog* dialog, int projectPage, QWidget* parent)
    : QWidget(parent), m_dialog(dialog), m_projectPage(projectPage), m_handle(this)
{
    m_dialog->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_dialog);
    m_dialog->show();
}

CPdoTabsView::~CPdoTabsView() = default;

void CPdoTabsView::OnMessage(unsigned message, uint32_t wParam, uint32_t)
{
    if (message != WM_PAGE_CONTROL)
        return;
    switch (wParam) {
    case 0:
        m_active = true;
        return;
    case 1:
        m_active = false;
        return;
    case 2:
    case 6:
        m_dialog->ForwardPageControl(wParam);
        return;
    case 3:
        if (saveHook)
            saveHook(*this);
        return;
    default:
        return;
    }
}

CTagFormViewRPD::CTagFormViewRPD(CSysData& sys, QWidget* parent)
    : CPdoTabsView(new CRPDO_Dlg(sys), 49, parent)
{
    setObjectName(QStringLiteral("CTagFormViewRPD"));
}

CTagFormView::CTagFormView(CSysData& sys, QWidget* parent)
    : CPdoTabsView(new CTPDO_Dlg(sys), 48, parent)
{
    setObjectName(QStringLiteral("CTagFormView"));
}
