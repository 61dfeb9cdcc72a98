#include "TransferView.h"

#include "app/SysData.h"
#include "base/Report.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

CTransferView::CTransferView(CSysData& sys, const QVector<Column>& columns,
                             CTransferRowModel::Rows rows, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_list(new QTableView(this)), m_columns(columns),
      m_buttons(new QHBoxLayout), m_statusLines(new QVBoxLayout)
{
    QVector<CTransferRowModel::Column> fields;
    for (const Column& column : columns)
        fields.append({column.field, column.heading});
    m_model = new CTransferRowModel(fields, std::move(rows), this);

    m_list->setObjectName(QStringLiteral("transferList"));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Columns follow their text once after a burst of rows, not once per row.
    m_fit.setSingleShot(true);
    m_fit.setInterval(100);
    connect(&m_fit, &QTimer::timeout, this, &CTransferView::FitColumns);
    connect(m_model, &QAbstractItemModel::modelReset, &m_fit, qOverload<>(&QTimer::start));
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] {
        if (!m_fit.isActive())
            m_fit.start();
    });

    m_statusLines->setSpacing(2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_buttons);
    layout->addLayout(m_statusLines);
    layout->addWidget(m_list, 1);
}

CTransferView::~CTransferView()
{
    // A derived view has left already; this only covers one that never got that far.
    m_hold.reset();
}

QPushButton* CTransferView::AddButton(const QString& text, const char* name)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    m_buttons->addWidget(button);
    return button;
}

QLabel* CTransferView::AddStatusLine(const char* name)
{
    auto* line = new QLabel(QStringLiteral("no process..."), this);
    line->setObjectName(QLatin1String(name));
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusLines->addWidget(line);
    return line;
}

void CTransferView::ShowRows()
{
    m_list->setModel(m_model);
    SetColumnWidths();
}

void CTransferView::SetColumnWidths()
{
    // The widths are pixels of the screen; where Qt scales the screen, the list is laid out in
    // device-independent pixels.
    const bool at96 = m_sys.dotsPerInch == 96;
    const qreal ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    for (int column = 0; column < m_columns.size(); ++column) {
        const int pixels = at96 ? m_columns[column].width96 : m_columns[column].widthOther;
        m_list->setColumnWidth(column, qRound(pixels / ratio));
    }
}

void CTransferView::FitColumns()
{
    // A column is widened beyond its width only where its text would otherwise be cut (a font
    // larger than the widths were made for); it never shrinks below it.
    SetColumnWidths();
    for (int column = 0; column < m_columns.size(); ++column) {
        const int needed = static_cast<QAbstractItemView*>(m_list)->sizeHintForColumn(column);
        if (needed > m_list->columnWidth(column))
            m_list->setColumnWidth(column, needed);
    }
}

bool CTransferView::Claim()
{
    if (!m_hold)
        m_hold.emplace(m_sys, hwnd());
    if (!m_hold->held())
        m_hold.reset();
    return m_hold.has_value();
}

void CTransferView::GiveBack()
{
    m_wantsLink = false;
    const bool pagesWaited = m_hold.has_value() || m_lent;
    m_hold.reset();
    m_lent = false;
    if (pagesWaited)
        SendMessage(m_sys.mainFrameWnd, WM_ALL_PAGES, 0, 0);
}

bool CTransferView::StartJob(const std::function<bool(QString& refusal)>& start)
{
    // The job holds the link under its own handle; the view's hold steps aside meanwhile. All of
    // this happens on the GUI thread, so no other window's request comes in between.
    const bool held = m_hold.has_value();
    m_hold.reset();
    QString refusal;
    if (!start(refusal)) {
        if (held)
            Claim();
        ReportMessage(refusal);
        return false;
    }
    m_lent = true;
    return true;
}

void CTransferView::JobEnded(bool givesLinkBack)
{
    m_fit.stop();
    FitColumns();
    if (givesLinkBack)
        GiveBack();
    else if (m_wantsLink)
        Claim();
    emit jobEnded();
}

void CTransferView::Leave(bool tellPages)
{
    if (m_left)
        return;
    m_left = true;
    StopForClose();
    if (tellPages) {
        GiveBack();
    } else {
        m_hold.reset();
        m_lent = false;
    }
}

void CTransferView::CloseWindow()
{
    if (m_watchedFrame)
        m_watchedFrame->close();
    else
        close();
}

void CTransferView::OnMessage(unsigned message, uint32_t wParam, uint32_t)
{
    if (message != WM_PAGE_CONTROL || m_left)
        return;
    if (wParam == 0) {
        m_wantsLink = true;
        Claim();
    } else if (wParam == 1) {
        Leave(true);
    } else if (wParam == 6 && m_sys.connected != 1) {
        // The line is gone: nothing to hold it for; the pages read when it comes back.
        m_wantsLink = false;
        m_hold.reset();
    }
}

QString CTransferView::DefaultListPath() const
{
    return QDir(m_sys.sysDir).filePath(QStringLiteral("default.cdo"));
}

bool CTransferView::event(QEvent* event)
{
    // The page window that hosts the view asks it before it closes.
    if (event->type() == QEvent::ParentChange) {
        if (m_watchedFrame)
            m_watchedFrame->removeEventFilter(this);
        m_watchedFrame = qobject_cast<QMdiSubWindow*>(parentWidget());
        if (m_watchedFrame)
            m_watchedFrame->installEventFilter(this);
    }
    return QWidget::event(event);
}

bool CTransferView::eventFilter(QObject* watched, QEvent* event)
{
    // The type first: while the frame is being destroyed it is no longer a QMdiSubWindow, and
    // the guarded pointer must not be read then.
    if (event->type() == QEvent::Close && watched == m_watchedFrame && !MayClose()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
