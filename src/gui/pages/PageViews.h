#pragma once

// What the main window needs from the parameter page views.

#include "comm/Messages.h"
#include "windows/WindowRegistry.h"

#include <QSize>
#include <QString>

class CParamPage;
class CSysData;
class QWidget;

// Creates the view of a parameter page or bus panel of the window registry, builds its rows and
// starts its first read pass.
QWidget* CreateParamPageView(CSysData& sys, const CWindowInfo& page, QWidget* parent);

// The following take a widget made by CreateParamPageView; other widgets give the empty answer.
// The page's message window (for WM_PAGE_CONTROL, WM_ADD_OBJECT and the link's answers).
HWND PageViewWindow(const QWidget* view);
// Sends WM_PAGE_CONTROL with the action (0 called up, 1 closing, 2 connection back, 3 save,
// 4 restore, 6 link state) and returns whether the widget was a page view.
bool SendPageControl(QWidget* view, int action);
// The size that shows the page's columns and up to 18 rows without clipping.
QSize PageViewSize(const QWidget* view);
// The size within room that shows whole rows and every column of a page; for any other widget
// room, grown to what its controls need.
QSize PageViewFitSize(const QWidget* view, const QSize& room);
// The window title in the program language.
QString PageViewTitle(const QWidget* view);
// The page logic, for the project hooks (saveHook, restoreHook) and what it saves.
CParamPage* PageViewLogic(QWidget* view);

// Sets the list column titles and widths for the screen the widget is on (or the primary one).
void SetListColumnsForScreen(CSysData& sys, const QWidget* widget = nullptr);

// Installs the page views' translation for the program language (1 Chinese); English needs
// none. Returns whether a translation is in use.
bool InstallPageViewTranslator(int language);
