#include "DesktopHabits.h"

#include "base/Report.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

namespace {
const char kGeometryKey[] = "MainWindow/geometry";
const char kHiddenShortcuts[] = "drivaraHiddenShortcuts";

QString Text(const char* source)
{
    return QCoreApplication::translate("DesktopHabits", source);
}

// The build tree keeps the manual in its base folder; an installation's base is
// PREFIX/share/drivara, with the manual in PREFIX/share/doc/drivara.
QStringList ManualCandidates(const QString& baseDir)
{
    return {QDir::cleanPath(baseDir + QStringLiteral("/README.md")),
            QDir::cleanPath(baseDir + QStringLiteral("/../doc/drivara/README.md"))};
}

// F1 that no page took opens the manual.
class CManualKey : public QObject
{
public:
    CManualKey(QObject* parent, const QString& baseDir) : QObject(parent), m_baseDir(baseDir) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
                DesktopHabits::OpenManual(m_baseDir);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_baseDir;
};
} // namespace

namespace DesktopHabits {

QString PlaceFile(const QString& baseDir, const QString& programDir, const QString& sysIniPath)
{
    const QString base = QFileInfo(baseDir).canonicalFilePath();
    if (!base.isEmpty() && base == QFileInfo(programDir).canonicalFilePath())
        return QFileInfo(sysIniPath).absolutePath() + QStringLiteral("/window.conf");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/drivara/window.conf");
}

QString ManualPath(const QString& baseDir)
{
    for (const QString& candidate : ManualCandidates(baseDir)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

void OpenManual(const QString& baseDir)
{
    const QString path = ManualPath(baseDir);
    if (path.isEmpty()) {
        ReportMessage(Text("找不到使用说明：%1").arg(ManualCandidates(baseDir).join(Text("、"))));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ReportMessage(Text("桌面没有能打开 %1 的程序").arg(path));
}

void AddManual(QWidget& window, QMenu& help, const QString& baseDir)
{
    // The key is only shown here: a real F1 shortcut would collide with the pages' own.
    auto* manual = new QAction(Text("使用说明") + QStringLiteral("\tF1"), &help);
    manual->setObjectName(QStringLiteral("helpManual"));
    QObject::connect(manual, &QAction::triggered, &help, [baseDir] { OpenManual(baseDir); });
    help.insertAction(help.actions().value(0), manual);
    window.installEventFilter(new CManualKey(&window, baseDir));
}

void HideShortcutsWhileDisabled(QWidget& window)
{
    const auto follow = [](QAction* action, bool enabled) {
        if (!enabled) {
            action->setProperty(kHiddenShortcuts, QVariant::fromValue(action->shortcuts()));
            action->setShortcuts({});
        } else if (action->shortcuts().isEmpty()) {
            action->setShortcuts(action->property(kHiddenShortcuts).value<QList<QKeySequence>>());
        }
    };
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->shortcuts().isEmpty())
            continue;
        QObject::connect(action, &QAction::enabledChanged, action,
                         [action, follow](bool enabled) { follow(action, enabled); });
        if (!action->isEnabled())
            follow(action, false);
    }
}

} // namespace DesktopHabits

CWindowPlace::CWindowPlace(QWidget& window, const QString& file)
    : QObject(&window), m_window(window), m_file(file)
{
    // Qt keeps a restored window on a screen that is there now.
    const QSettings settings(m_file, QSettings::IniFormat);
    m_window.restoreGeometry(settings.value(QLatin1String(kGeometryKey)).toByteArray());
    m_window.installEventFilter(this);
}

bool CWindowPlace::eventFilter(QObject* watched, QEvent* event)
{
    // Saved when a close is asked for, even if a question then keeps the window open: the next
    // close saves again.
    if (watched == &m_window && event->type() == QEvent::Close) {
        QSettings settings(m_file, QSettings::IniFormat);
        settings.setValue(QLatin1String(kGeometryKey), m_window.saveGeometry());
    }
    return QObject::eventFilter(watched, event);
}
