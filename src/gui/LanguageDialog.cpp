#include "LanguageDialog.h"

#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "base/TextNumbers.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const QString kSys = QStringLiteral("sys");
const QString kLang = QStringLiteral("lang");
} // namespace

CLanguageDialog::CLanguageDialog(CSysData& sys, QWidget* parent) : QDialog(parent), m_sys(sys)
{
    setObjectName(QStringLiteral("CLanguageDialog"));
    setWindowTitle(tr("语言切换"));
    m_chinese = new QRadioButton(QStringLiteral("简体中文"), this);
    m_chinese->setObjectName(QStringLiteral("chinese"));
    m_english = new QRadioButton(QStringLiteral("English"), this);
    m_english->setObjectName(QStringLiteral("english"));
    auto* note = new QLabel(QStringLiteral("应用程序重启, 设置才有效\nReboot application"), this);
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("ok"));
    auto* cancel = new QPushButton(tr("取消"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chinese);
    layout->addWidget(m_english);
    layout->addWidget(note);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(ok, &QPushButton::clicked, this, &CLanguageDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &CLanguageDialog::reject);

    if (m_sys.systemLanguage != 1)
        Ini::WriteProfileString(m_sys.sysIniPath, kSys, kLang, QStringLiteral("2"));
    const long language =
        TextToLong(Ini::GetProfileString(m_sys.sysIniPath, kSys, kLang, QString(), 4));
    m_chinese->setChecked(language == 1);
    m_english->setChecked(language == 2);
}

void CLanguageDialog::Ok()
{
    if (m_chinese->isChecked() && m_sys.systemLanguage != 1) {
        ReportMessage(QStringLiteral("Your computer OS doesn't support the Chinese version. \r\n "
                                     "Seting is non-effective!!"));
        m_english->setChecked(true);
        return;
    }
    if (m_chinese->isChecked())
        Ini::WriteProfileString(m_sys.sysIniPath, kSys, kLang, QStringLiteral("1"));
    else if (m_english->isChecked())
        Ini::WriteProfileString(m_sys.sysIniPath, kSys, kLang, QStringLiteral("2"));
    accept();
}
