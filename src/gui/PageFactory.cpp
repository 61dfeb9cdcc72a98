#include "PageFactory.h"

#include "PageViews.h"
#include "app/SysData.h"
#include "browser/SdoList.h"
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

QWidget* CreateRealtimeErrorPage(CSysData& sys)
{
    auto* view = new CRealtimeError(sys);
    SetPageViewHandle(view, view->page().hwnd());
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
