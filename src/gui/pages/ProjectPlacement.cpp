#include "ProjectPlacement.h"

#include "app/SysData.h"
#include "pages/ParamPage.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {
const QMdiSubWindow* PageWindowOf(const QWidget* view)
{
    for (const QWidget* w = view; w; w = w->parentWidget()) {
        if (const auto* sub = qobject_cast<const QMdiSubWindow*>(w))
            return sub;
    }
    return nullptr;
}

// The main window's rectangle on the screen, frame included, as the placements count from it.
QPoint MainWindowCorner(const QWidget* inside)
{
    return inside->window()->frameGeometry().topLeft();
}
} // namespace

bool SaveProjectPlacement(CSysData& sys, int projectPage, const QWidget* view, bool active)
{
    const QMdiSubWindow* window = PageWindowOf(view);
    if (!window || projectPage <= 0)
        return false;
    return sys.project.SavePlacement(projectPage, window->mapToGlobal(QPoint(0, 0)),
                                     MainWindowCorner(window), sys.captionHeight, active);
}

QPoint ProjectPlacementInArea(const QMdiArea* area, int left, int top, int captionHeight)
{
    // Saved: window - main - (0, caption); read back: less the offsets and the caption again.
    const QPoint screen =
        MainWindowCorner(area) + QPoint(left + CProjectStore::kLeftOffset,
                                        top + CProjectStore::kTopOffset + 2 * captionHeight);
    return area->viewport()->mapFromGlobal(screen);
}

void SetProjectHooks(CSysData& sys, CParamPage& page, const QWidget* view)
{
    const int number = page.spec().projectPage;
    if (number <= 0)
        return;
    page.saveHook = [&sys, number, view](CParamPage& saved) {
        if (saved.projectSave() == ProjectSave::ListAndPlacement)
            sys.project.SavePageList(saved.list(), number);
        SaveProjectPlacement(sys, number, view, saved.active());
    };
    page.restoreHook = [&sys, &page, number](CPageListModel& list) {
        return sys.project.RestorePageList(list, number, page.hwnd()) > 0;
    };
}
