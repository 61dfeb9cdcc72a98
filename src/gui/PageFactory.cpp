#include "PageFactory.h"

#include "DriverOscillo.h"
#include "PageViews.h"

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

QWidget* CreateScopeWidget(CSysData& sys, QWidget* parent)
{
    auto* view = new CDriverOscillo(sys, parent);
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
