#include "ProjectCommands.h"

#include "ChildFrame.h"
#include "MainFrame.h"
#include "MdiArea.h"
#include "ProjectPlacement.h"
#include "app/SysData.h"
#include "base/Report.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>

namespace {
const QString kFilter = QStringLiteral("dvp (*.dvp)");

// The highest project page number a page may have.
constexpr int kLastProjectPage = 49;
} // namespace

QString CProjectCommands::StartFile() const
{
    return m_sys.userDir + QStringLiteral("name");
}

void CProjectCommands::Save()
{
    const QString chosen = QFileDialog::getSaveFileName(
        &m_frame, QCoreApplication::translate("CMainFrame", "保存工程"), StartFile(), kFilter);
    if (!chosen.isEmpty())
        SaveTo(chosen);
}

void CProjectCommands::Open()
{
    const QString chosen = QFileDialog::getOpenFileName(
        &m_frame, QCoreApplication::translate("CMainFrame", "打开工程"), StartFile(), kFilter);
    if (!chosen.isEmpty())
        OpenFrom(chosen);
}

bool CProjectCommands::SaveTo(const QString& chosen)
{
    CProjectStore& store = m_sys.project;
    store.SetProjectWritePath(CProjectStore::ProjectPath(chosen));
    store.BeginSave();
    // Every open page writes its own sections, in the order of the window table so that the
    // same pages give the same file; the window the operator had in front stays there.
    QMdiSubWindow* front = m_frame.mdiArea()->activeSubWindow();
    for (const CWindowInfo& window : Windows()) {
        if (CChildFrame* child = m_frame.page(window.command)) {
            m_frame.mdiArea()->setActiveSubWindow(child);
            child->SendPageControl(3);
        }
    }
    if (front)
        m_frame.mdiArea()->setActiveSubWindow(front);
    QString error;
    if (!store.CommitSave(error)) {
        ReportMessage(error, MessageKind::Warning);
        return false;
    }
    return true;
}

bool CProjectCommands::OpenFrom(const QString& path)
{
    CProjectStore& store = m_sys.project;
    QString error;
    if (!store.OpenProject(path, error)) {
        ReportMessage(error, MessageKind::Warning);
        return false;
    }
    m_sys.projectOpenStamp = CProjectStore::OpenStamp(QDateTime::currentDateTime());
    m_frame.CloseAllPages();
    for (int number = 2; number <= kLastProjectPage; ++number) {
        const CProjectPlacement placement = store.ReadPlacement(number, m_sys.captionHeight);
        const CWindowInfo* window = FindWindowByProjectPage(number);
        if (placement.found && window) {
            m_frame.SetRestorePlacement(ProjectPlacementInArea(m_frame.mdiArea(), placement.left,
                                                               placement.top, m_sys.captionHeight));
            m_frame.OpenPage(window->command);
        }
        m_frame.ClearRestorePlacement();
    }
    return true;
}
