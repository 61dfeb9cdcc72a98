#include "PageFactory.h"

#include "PlaceholderPage.h"

#include <QVariant>
#include <QWidget>

QWidget* CreatePageWidget(CSysData& sys, const CPageSpec& spec, QWidget* parent)
{
    return new CPlaceholderPage(sys, spec, parent);
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
