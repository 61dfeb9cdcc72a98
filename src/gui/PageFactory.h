#pragma once

#include "comm/Messages.h"

class CSysData;
class QWidget;
struct CPageSpec;

// Builds the view of a parameter page (or of a bus configuration panel, whose name is
// g_sysData's busPanelName at creation). The main frame opens pages only through this function.
QWidget* CreatePageWidget(CSysData& sys, const CPageSpec& spec, QWidget* parent);

// A page view tells the main frame where it receives WM_PAGE_CONTROL: the handle is kept as the
// view's "drivaraHwnd" property. kNoWindow for a view without one.
void SetPageViewHandle(QWidget* view, HWND hwnd);
HWND PageViewHandle(const QWidget* view);
