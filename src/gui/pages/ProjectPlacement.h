#pragma once

// The windows' part of the project file: where a page window stands, and the hooks with which a
// parameter page saves and restores itself.

#include <QPoint>

class CParamPage;
class CSysData;
class QMdiArea;
class QWidget;

// Writes the placement of the page window that holds view into the project being saved, under
// the window's project page number. The windows that keep only their placement in the project
// (the I/O page, the oscilloscope, the real-time errors, the PDO windows) call it on
// WM_PAGE_CONTROL (3). False when no save runs or view sits in no page window.
bool SaveProjectPlacement(CSysData& sys, int projectPage, const QWidget* view, bool active);

// Where a window whose placement reads back as left and top (CProjectStore::ReadPlacement)
// stands in the area: the inverse of SaveProjectPlacement, so a page opens where it was saved.
QPoint ProjectPlacementInArea(const QMdiArea* area, int left, int top, int captionHeight);

// Gives a parameter page its project save (list and placement, or the placement alone) and
// restore; to be set before the page is created, which restores from an opened project.
void SetProjectHooks(CSysData& sys, CParamPage& page, const QWidget* view);
