#include "PageViews.h"

#include "EditListCtrl.h"
#include "ParamPageView.h"
#include "app/SysData.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

QWidget* CreateParamPageView(CSysData& sys, const CWindowInfo& page, QWidget* parent)
{
    return new CParamPageView(sys, page, parent);
}

HWND PageViewWindow(const QWidget* view)
{
    auto* page = qobject_cast<const CParamPageView*>(view);
    return page ? const_cast<CParamPageView*>(page)->page().hwnd() : kNoWindow;
}

bool SendPageControl(QWidget* view, int action)
{
    auto* page = qobject_cast<CParamPageView*>(view);
    if (!page)
        return false;
    page->SendPageControl(action);
    return true;
}

QSize PageViewSize(const QWidget* view)
{
    return view ? view->sizeHint() : QSize();
}

QSize PageViewFitSize(const QWidget* view, const QSize& room)
{
    auto* page = qobject_cast<const CParamPageView*>(view);
    if (page)
        return page->FitSize(room);
    // Any other window gets at least the room its controls need in the screen's fonts (the
    // oscilloscope's form at 144 dpi is wider than its registry size).
    return view ? room.expandedTo(view->minimumSizeHint()) : room;
}

QString PageViewTitle(const QWidget* view)
{
    auto* page = qobject_cast<const CParamPageView*>(view);
    return page ? page->title() : QString();
}

CParamPage* PageViewLogic(QWidget* view)
{
    auto* page = qobject_cast<CParamPageView*>(view);
    return page ? &page->page() : nullptr;
}

void SetListColumnsForScreen(CSysData& sys, const QWidget* widget)
{
    const QScreen* screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    // Column widths are given in pixels of the screen, as the density of its pixels says.
    const int dpi =
        screen ? qRound(screen->logicalDotsPerInchX() * screen->devicePixelRatio()) : 96;
    sys.SetListColumns(dpi);
}

bool InstallPageViewTranslator(int language)
{
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    if (language != 1)
        return false;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/drivara_pageviews_zh_CN.qm"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
