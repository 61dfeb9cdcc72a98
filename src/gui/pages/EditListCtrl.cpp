#include "EditListCtrl.h"

#include "comm/MessageLayer.h"
#include "pages/PageListModel.h"

#include <algorithm>

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace {
using Col = CPageListModel::Column;

// Editor properties: the editor was filled once (later values must not replace the operator's
// text), and the edit was ended with the Enter key.
const char* const kPrimed = "drivaraPrimed";
const char* const kEndedByEnter = "drivaraEnter";

bool IsDigitKey(const QKeyEvent* event)
{
    return event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9;
}

bool IsEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
} // namespace

CInPlaceDelegate::CInPlaceDelegate(CEditListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

QWidget* CInPlaceDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const
{
    if (m_list->IsComboColumn(index.column())) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("inPlaceCombo"));
        combo->setFont(m_list->font());
        combo->addItems(index.data(CPageListModel::UnitChoicesRole).toStringList());
        // Picking an entry ends the edit, as the closing of a dropped list does.
        connect(combo, QOverload<int>::of(&QComboBox::activated), this, [this, combo](int) {
            auto* self = const_cast<CInPlaceDelegate*>(this);
            emit self->commitData(combo);
            emit self->closeEditor(combo);
        });
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("inPlaceEdit"));
    edit->setFont(m_list->font());
    edit->setFrame(false);
    return edit;
}

void CInPlaceDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (editor->property(kPrimed).toBool())
        return;
    editor->setProperty(kPrimed, true);
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(combo->findText(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    }
}

void CInPlaceDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                    const QModelIndex& index) const
{
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        text = combo->currentText();
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        text = edit->text();
    m_list->OnEndLabelEdit(index.row(), index.column(), text,
                           editor->property(kEndedByEnter).toBool());
}

void CInPlaceDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

bool CInPlaceDelegate::eventFilter(QObject* object, QEvent* event)
{
    // The commit that Enter starts runs later; the editor carries how it was ended.
    if (event->type() == QEvent::KeyPress && IsEnterKey(static_cast<QKeyEvent*>(event)->key()))
        object->setProperty(kEndedByEnter, true);
    return QStyledItemDelegate::eventFilter(object, event);
}

CEditListCtrl::CEditListCtrl(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new CInPlaceDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    UpdateRowMetrics();

    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setInterval(kRepaintIntervalMs);
    connect(&m_repaintTimer, &QTimer::timeout, this, &CEditListCtrl::FlushRepaint);
}

CEditListCtrl::~CEditListCtrl() = default;

void CEditListCtrl::setModel(QAbstractItemModel* newModel)
{
    if (model())
        disconnect(model(), &QAbstractItemModel::headerDataChanged, this, nullptr);
    QTableView::setModel(newModel);
    if (newModel) {
        connect(newModel, &QAbstractItemModel::headerDataChanged, this,
                &CEditListCtrl::ApplyColumns);
        connect(newModel, &QAbstractItemModel::rowsInserted, this, &CEditListCtrl::ApplyColumns);
    }
    ApplyColumns();
}

void CEditListCtrl::SetReadOnlyColumn(int column, bool flag)
{
    if (flag)
        m_readOnlyColumns.insert(column);
    else
        m_readOnlyColumns.remove(column);
}

void CEditListCtrl::SetComboColumn(int column, bool flag)
{
    if (flag)
        m_comboColumns.insert(column);
    else
        m_comboColumns.remove(column);
}

void CEditListCtrl::UpdateRowMetrics()
{
    // The page model gives column widths as header size hints, without a height: the header's
    // height comes from the font, as the rows' does.
    verticalHeader()->setDefaultSectionSize(RowHeight());
    horizontalHeader()->setFixedHeight(HeaderHeight());
}

void CEditListCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        UpdateRowMetrics();
    QTableView::changeEvent(event);
}

void CEditListCtrl::ApplyColumns()
{
    if (!model())
        return;
    if (auto* list = qobject_cast<CPageListModel*>(model())) {
        const auto& columns = list->Columns();
        for (int c = 0; c < columns.size(); ++c) {
            SetReadOnlyColumn(c, columns.at(c).readOnly);
            SetComboColumn(c, columns.at(c).dropDown);
        }
    }
    // The widths are screen pixels of the list's screen; Qt lays out in device-independent ones.
    const qreal ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    for (int c = 0; c < model()->columnCount(); ++c) {
        const int width = model()->headerData(c, Qt::Horizontal, Qt::SizeHintRole).toSize().width();
        setColumnHidden(c, width <= 0);
        if (width > 0)
            setColumnWidth(c, qMax(qRound(width / ratio), c == Col::ColName ? TextWidth(c) : 0));
    }
}

int CEditListCtrl::TextWidth(int column) const
{
    // A name is never cut: the column is at least as wide as its longest text.
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (int row = 0; model() && row < model()->rowCount(); ++row)
        widest =
            qMax(widest, metrics.horizontalAdvance(model()->index(row, column).data().toString()));
    return widest > 0 ? widest + 2 * metrics.averageCharWidth() : 0;
}

int CEditListCtrl::HeaderHeight() const
{
    return fontMetrics().height() + 8;
}

int CEditListCtrl::RowHeight() const
{
    return fontMetrics().height() + 6;
}

int CEditListCtrl::VisibleColumnsWidth() const
{
    int width = 0;
    for (int c = 0; model() && c < model()->columnCount(); ++c) {
        if (!isColumnHidden(c))
            width += columnWidth(c);
    }
    return width;
}

QVector<int> CEditListCtrl::SelectedRows() const
{
    QVector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CEditListCtrl::FocusedSelectedRow() const
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel() ||
        !selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return -1;
    return current.row();
}

bool CEditListCtrl::RowWritable(int row) const
{
    return model() &&
           model()->index(row, Col::ColAttribute).data().toString().contains(QLatin1Char('W'));
}

bool CEditListCtrl::ShowInPlaceEdit(int row, int column)
{
    if (!model() || row < 0 || row >= model()->rowCount() || column < 0 ||
        column >= model()->columnCount())
        return false;
    const QModelIndex index = model()->index(row, column);
    // A row that shows in part is edited where it stands: scrolling it into full view would
    // move another row under the pointer before the button is even released.
    if (!viewport()->rect().intersects(visualRect(index)))
        scrollTo(index);
    return edit(index, QAbstractItemView::AllEditTriggers, nullptr);
}

bool CEditListCtrl::ShowInPlaceCombo(int row, int column)
{
    // A column beyond the header opens nothing; a row out of sight is scrolled in first.
    if (!model() || column < 0 || column >= horizontalHeader()->count())
        return false;
    return ShowInPlaceEdit(row, column);
}

void CEditListCtrl::StartEdit(int row, int column)
{
    if (IsComboColumn(column))
        ShowInPlaceCombo(row, column);
    else if (!IsReadOnlyColumn(column) && RowWritable(row))
        ShowInPlaceEdit(row, column);
}

void CEditListCtrl::OnEndLabelEdit(int row, int column, const QString& text, bool byEnter)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const QModelIndex index = model()->index(row, column);
    const QString old = index.data(Qt::EditRole).toString();
    if (column != Col::ColValue) {
        if (text != old) {
            model()->setData(index, text);
            SendMessage(m_owner, WM_CELL_EDITED, uint32_t(row), uint32_t(column));
        }
        return;
    }
    if (byEnter) {
        // A refused value is not taken: the cell keeps what the drive last said.
        if (valueValidator && !valueValidator(row, text))
            return;
        model()->setData(index, text);
        m_currentRow = row;
        m_committed = 1;
        m_enterState = 2;
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        SendMessage(m_owner, WM_CELL_EDITED, uint32_t(row), uint32_t(Col::ColValue));
        return;
    }
    // Left by clicking elsewhere: the text stays in the cell and nothing is written.
    if (text != old)
        model()->setData(index, text);
}

void CEditListCtrl::mousePressEvent(QMouseEvent* event)
{
    m_committed = 0;
    m_keyGuard = 0;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        // Clicks beside the rows change nothing.
        event->accept();
        return;
    }
    // The click makes the row current without scrolling it: the row stays under the pointer.
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    QTableView::mousePressEvent(event);
    setAutoScroll(scrolls);
    m_currentRow = index.row();
    if (event->button() == Qt::LeftButton && currentIndex().row() == index.row())
        StartEdit(index.row(), index.column());
}

void CEditListCtrl::keyPressEvent(QKeyEvent* event)
{
    // Right after a commit (or a move with the arrows) digits would start the type-ahead search
    // on the row labels and move the selection away.
    if ((m_committed || m_keyGuard) && IsDigitKey(event)) {
        event->accept();
        return;
    }
    if (IsEnterKey(event->key())) {
        // The Enter that ends an edit comes on here from the editor; the commit handles it.
        if (state() == QAbstractItemView::EditingState) {
            event->accept();
            return;
        }
        if (m_committed && m_enterState == 2) {
            // The Enter that follows a commit is taken once without opening the editor again.
            m_enterState = 3;
        } else if (m_currentRow >= 0 && currentIndex().row() == m_currentRow) {
            m_keyGuard = 0;
            m_committed = 0;
            StartEdit(m_currentRow, Col::ColValue);
        }
        event->accept();
        return;
    }
    if (model() && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const int from = currentIndex().isValid() ? currentIndex().row() : m_currentRow;
        const int step = event->key() == Qt::Key_Up ? -1 : 1;
        m_currentRow = qBound(0, from + step, qMax(0, model()->rowCount() - 1));
        m_keyGuard = 1;
        m_committed = 0;
    }
    QTableView::keyPressEvent(event);
}

void CEditListCtrl::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QVector<int>&)
{
    // Not passed on: the base class repaints each changed cell at once and refills open editors.
    if (!topLeft.isValid() || !bottomRight.isValid())
        return;
    m_dirtyFirst = m_dirtyFirst < 0 ? topLeft.row() : std::min(m_dirtyFirst, topLeft.row());
    m_dirtyLast = std::max(m_dirtyLast, bottomRight.row());
    if (!m_repaintTimer.isActive())
        m_repaintTimer.start();
}

void CEditListCtrl::FlushRepaint()
{
    ++m_coalescedRepaints;
    // The band of rows that changed, where it stands now: laying out text is what a repaint
    // costs, and a live page changes a few rows of many.
    const int rows = model() ? model()->rowCount() : 0;
    const int first = std::min(m_dirtyFirst, rows - 1);
    const int last = std::min(m_dirtyLast, rows - 1);
    m_dirtyFirst = m_dirtyLast = -1;
    if (first < 0) {
        viewport()->update();
        return;
    }
    const int top = rowViewportPosition(first);
    const int bottom = rowViewportPosition(last) + rowHeight(last);
    const QRect band = QRect(0, top, viewport()->width(), bottom - top) & viewport()->rect();
    if (!band.isEmpty())
        viewport()->update(band);
}
