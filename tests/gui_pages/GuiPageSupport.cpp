#include "GuiPageSupport.h"
#include "../comm/CommTestUtil.h"

#include "comm/CommPort.h"
#include "pages/ParamPage.h"

namespace GuiPageTest {

CDriveRig::CDriveRig(int language, const std::function<void(TestSupport::TempInstall&)>& prepare,
                     int baud, int replyTimeoutMs)
    : install(QStringLiteral("[sys]\nlang=%1\ncomm=2\n").arg(language))
{
    if (prepare)
        prepare(install);
    if (!drive.Load(install.path(QStringLiteral("data")), &error))
        return;
    server = std::make_unique<CSimSerialServer>(drive);
    if (!server->Start(1, baud)) {
        error = server->ErrorString();
        return;
    }
    CSysDataOptions options;
    options.baseDir = install.base();
    options.systemLcid = language == 1 ? kChineseLcid : 1033;
    sys = std::make_unique<CSysData>(options);
    mainFrame = std::make_unique<CConstantReceiver>(*sys);
    if (!sys->dictionary.WaitUntilLoaded(60000)) {
        error = QStringLiteral("dictionary not loaded");
        return;
    }
    if (sys->link.SetMode(CCommPort::ModeSerial) != 1) {
        error = QStringLiteral("serial mode refused");
        return;
    }
    sys->link.SetNodeId(1);
    if (sys->link.Open(
            CommTest::SerialSettings(server->PortName(), 115200, replyTimeoutMs).data()) != 0) {
        error = QStringLiteral("cannot open ") + server->PortName();
        return;
    }
    sys->connected = 1;
}

bool PageFilled(CParamPage& page)
{
    const CPageListModel& rows = page.list();
    for (int row = 0; row < rows.GetItemCount(); ++row) {
        if (rows.GetItemText(row, CPageListModel::ColValue).isEmpty())
            return false;
    }
    return rows.GetItemCount() > 0 && page.readCursor() == 0;
}

bool PageSettled(const CParamPage& page, CCtrlLink& link)
{
    return page.readCursor() == 0 && !link.HasPendingRequests();
}

} // namespace GuiPageTest
