#include "AboutDialog.h"

#include "Icons.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CAboutDialog"));
    setWindowTitle(tr("关于 Drivara"));
    auto* icon = new QLabel(this);
    icon->setPixmap(Icons::AppIcon().pixmap(QSize(48, 48)));
    auto* line = new QLabel(tr("Drivara 1.6 版"), this);
    line->setObjectName(QStringLiteral("versionLine"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("确定"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(line, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
