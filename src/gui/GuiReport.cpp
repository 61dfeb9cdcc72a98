#include "GuiReport.h"

#include "base/Report.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QWidget>

#include <cstdio>

namespace {
QMessageBox::Icon IconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

QWidget* MainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("CMainFrame") && widget->isVisible())
            return widget;
    }
    return nullptr;
}

void ShowBox(const QString& text, MessageKind kind)
{
    QWidget* parent = MainWindow();
    auto* box =
        new QMessageBox(IconOf(kind), QStringLiteral("Drivara"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->button(QMessageBox::Ok)->setText(QCoreApplication::translate("CMessageBox", "确定"));
    if (parent)
        box->open();
    else
        box->exec();
}
} // namespace

void InstallMessageBoxSink()
{
    SetMessageSink([](const QString& text, MessageKind kind) {
        // Also on stderr: a run without anyone at the screen (a screenshot) still tells why.
        std::fprintf(stderr, "drivara: %s\n", text.trimmed().toLocal8Bit().constData());
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        if (QThread::currentThread() == app->thread())
            ShowBox(text, kind);
        else
            QMetaObject::invokeMethod(
                app, [text, kind] { ShowBox(text, kind); }, Qt::QueuedConnection);
    });
}
