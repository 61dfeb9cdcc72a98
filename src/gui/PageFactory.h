#pragma once

#include "comm/Messages.h"
#include "windows/WindowRegistry.h"

#include <functional>
#include <map>

class CSysData;
class QWidget;

// The window layer's creators, one per window kind of the registry. The main frame opens every
// window through it; a kind without a creator is a window this version does not have yet, which
// the menus and the toolbar show disabled.
class CWindowFactory
{
public:
    using Creator = std::function<QWidget*(const CWindowInfo& window)>;

    void Register(WindowKind kind, Creator creator);
    bool CanCreate(const CWindowInfo& window) const;
    // The window's view; null when its kind has no creator or the creator made none.
    QWidget* Create(const CWindowInfo& window) const;

private:
    std::map<WindowKind, Creator> m_creators;
};

// Builds the view of a parameter page or bus panel.
QWidget* CreatePageWidget(CSysData& sys, const CWindowInfo& page, QWidget* parent);

// Builds the object dictionary browser (the dictionary must have loaded).
QWidget* CreateDictionaryBrowser(CSysData& sys);
class CBusEventList;
// Builds the Emergencies window over the main frame's list of bus events.
QWidget* CreateEmergencyList(CBusEventList& events);
// Builds the real-time error page, which starts reading the drive's error objects at once.
QWidget* CreateRealtimeErrorPage(CSysData& sys);
// Builds the I/O page (CDataInOut) and starts its first reads.
QWidget* CreateDigitalIoWidget(CSysData& sys, const CWindowInfo& window, QWidget* parent);
// Builds the receive (CTagFormViewRPD) or transmit (CTagFormView) PDO window.
QWidget* CreatePdoTabsWidget(CSysData& sys, const CWindowInfo& window, QWidget* parent);
// Builds the view that reads a drive configuration into a file (ConfigExport) or writes one back
// (ConfigImport).
QWidget* CreateTransferView(CSysData& sys, const CWindowInfo& window, QWidget* parent);
// Builds the oscilloscope page; it reads the recorder's settings at once.
QWidget* CreateScopeWidget(CSysData& sys, QWidget* parent);

// A page view tells the main frame where it receives WM_PAGE_CONTROL: the handle is kept as the
// view's "drivaraHwnd" property. kNoWindow for a view without one.
void SetPageViewHandle(QWidget* view, HWND hwnd);
HWND PageViewHandle(const QWidget* view);
