#include "ObjectPickerDialog.h"

#include "dictionary/SdoDatabase.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kKeyRole = Qt::UserRole + 1;
}

CObjectPickerDialog::CObjectPickerDialog(const CSdoDatabase& dictionary, QWidget* parent)
    : QDialog(parent), m_filter(new QLineEdit(this)), m_objects(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("objectPicker"));
    setWindowTitle(tr("Add object"));
    m_filter->setObjectName(QStringLiteral("objectFilter"));
    m_filter->setPlaceholderText(tr("Index or name"));
    m_filter->setClearButtonEnabled(true);
    m_objects->setObjectName(QStringLiteral("objectList"));
    m_objects->setRootIsDecorated(false);
    m_objects->setUniformRowHeights(true);
    m_objects->setHeaderLabels({tr("Index"), tr("Name"), tr("Type"), tr("Access")});
    m_objects->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Add"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_objects);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, &CObjectPickerDialog::ApplyFilter);
    connect(m_objects, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_objects, &QTreeWidget::currentItemChanged, this, [buttons](QTreeWidgetItem* current) {
        buttons->button(QDialogButtonBox::Ok)->setEnabled(current != nullptr);
    });
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);

    Fill(dictionary);
    const QFontMetrics metrics = fontMetrics();
    resize(metrics.horizontalAdvance(QLatin1Char('M')) * 48, metrics.height() * 28);
}

void CObjectPickerDialog::Fill(const CSdoDatabase& dictionary)
{
    QList<QTreeWidgetItem*> items;
    CSdoRecord record;
    for (int i = 0; i < dictionary.GetCount(); ++i) {
        if (!dictionary.GetAt(i, record))
            continue;
        const QString index = QStringLiteral("%1:%2")
                                  .arg(record.index, 4, 16, QLatin1Char('0'))
                                  .arg(unsigned(record.subindex), 2, 16, QLatin1Char('0'))
                                  .toUpper();
        auto* item =
            new QTreeWidgetItem(QStringList{index, record.name, record.dataType, record.attribute});
        item->setData(0, kKeyRole, MakeObjectKey(record.index, record.subindex));
        items.append(item);
    }
    m_objects->addTopLevelItems(items);
}

void CObjectPickerDialog::SetFilter(const QString& text)
{
    m_filter->setText(text);
}

void CObjectPickerDialog::ApplyFilter(const QString& text)
{
    const QString needle = text.trimmed();
    QString compactNeedle = needle;
    compactNeedle.remove(QLatin1Char(':'));
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < m_objects->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_objects->topLevelItem(i);
        QString index = item->text(0);
        index.remove(QLatin1Char(':'));
        const bool match = needle.isEmpty() || index.contains(compactNeedle, Qt::CaseInsensitive) ||
                           item->text(1).contains(needle, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !first)
            first = item;
    }
    m_objects->setCurrentItem(first);
}

int CObjectPickerDialog::VisibleCount() const
{
    int count = 0;
    for (int i = 0; i < m_objects->topLevelItemCount(); ++i)
        count += m_objects->topLevelItem(i)->isHidden() ? 0 : 1;
    return count;
}

uint32_t CObjectPickerDialog::SelectedKey() const
{
    const QTreeWidgetItem* item = m_objects->currentItem();
    return item && !item->isHidden() ? item->data(0, kKeyRole).toUInt() : 0;
}
