#include "PageFactory.h"

#include "PageViews.h"

#include <QVariant>
#include <QWidget>

QWidget* CreatePageWidget(CSysData& sys, const CPageSpec& spec, QWidget* parent)
{
    QWidget* view = CreateParamPageView(sys, spec, parent);
    SetPageViewHandle(view, PageViewWindow(view));
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
