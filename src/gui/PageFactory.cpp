#include "PageFactory.h"

#include "DriverOscillo.h"
#include "ExportDrvData.h"
#include "ImportDrvData.h"
#include "PageViews.h"
#include "ProjectPlacement.h"
#include "app/SysData.h"
#include "browser/SdoList.h"
#include "bus/EmergencyList.h"
#include "dio/DataInOut.h"
#include "pdo/PdoTabs.h"
#include "rterror/RealtimeError.h"

#include <QVariant>
#include <QWidget>

void CWindowFactory::Register(WindowKind kind, Creator creator)
{
    m_creators[kind] = std::move(creator);
}

bool CWindowFactory::CanCreate(const CWindowInfo& window) const
{
    return m_creators.count(window.kind) != 0;
}

QWidget* CWindowFactory::Create(const CWindowInfo& window) const
{
    const auto creator = m_creators.find(window.kind);
    return creator == m_creators.end() ? nullptr : creator->second(window);
}

QWidget* CreatePageWidget(CSysData& sys, const CWindowInfo& page, QWidget* parent)
{
    QWidget* view = CreateParamPageView(sys, page, parent);
    SetPageViewHandle(view, PageViewWindow(view));
    return view;
}

QWidget* CreateDictionaryBrowser(CSysData& sys)
{
    return new CSdoList(sys);
}

QWidget* CreateEmergencyList(CBusEventList& events)
{
    return new CEmergencyList(events);
}

QWidget* CreateRealtimeErrorPage(CSysData& sys)
{
    auto* view = new CRealtimeError(sys);
    SetPageViewHandle(view, view->page().hwnd());
    return view;
}

QWidget* CreateDigitalIoWidget(CSysData& sys, const CWindowInfo& window, QWidget* parent)
{
    // Names and units come from the dictionary, which may still be loading at start-up.
    sys.dictionary.WaitUntilLoaded(10000);
    auto* view = new CDataInOut(sys, parent);
    SetPageViewHandle(view, view->page().hwnd());
    view->page().saveHook = [&sys, number = window.projectPage, view](const CDataInOutPage& page) {
        SaveProjectPlacement(sys, number, view, page.active());
    };
    return view;
}

QWidget* CreatePdoTabsWidget(CSysData& sys, const CWindowInfo& window, QWidget* parent)
{
    CPdoTabsView* view = window.command == CommandId::TpdoTabs
                             ? static_cast<CPdoTabsView*>(new CTagFormView(sys, parent))
                             : new CTagFormViewRPD(sys, parent);
    SetPageViewHandle(view, view->hwnd());
    view->saveHook = [&sys](const CPdoTabsView& saved) {
        SaveProjectPlacement(sys, saved.projectPage(), &saved, saved.active());
    };
    return view;
}

QWidget* CreateScopeWidget(CSysData& sys, QWidget* parent)
{
    auto* view = new CDriverOscillo(sys, parent);
    SetPageViewHandle(view, view->hwnd());
    view->saveHook = [&sys](const CDriverOscillo& saved) {
        if (const CWindowInfo* window = FindWindow(CommandId::Oscilloscope))
            SaveProjectPlacement(sys, window->projectPage, &saved, saved.refreshOnActivate());
    };
    return view;
}

QWidget* CreateTransferView(CSysData& sys, const CWindowInfo& window, QWidget* parent)
{
    CTransferView* view = nullptr;
    if (window.kind == WindowKind::ConfigExport)
        view = new CExportDrvData(sys, parent);
    else if (window.kind == WindowKind::ConfigImport)
        view = new CImportDrvData(sys, parent);
    if (view)
        SetPageViewHandle(view, view->hwnd());
    return view;
}

void SetPageViewHandle(QWidget* view, HWND hwnd)
{
    view->setProperty("drivaraHwnd", QVariant::fromValue<uint>(hwnd));
}

HWND PageViewHandle(const QWidget* view)
{
    const QVariant value = view ? view->property("drivaraHwnd") : QVariant();
    return value.isValid() ? HWND(value.toUInt()) : kNoWindow;
}
