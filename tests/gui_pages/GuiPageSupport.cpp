#include "GuiPageSupport.h"

#include "DatabaseRecord.h"
#include "comm/CommPort.h"
#include "pages/ParamPage.h"

#include <QFile>

#include <ctime>

namespace GuiPageTest {

CDriveRig::CDriveRig(int language, const std::function<void(TestSupport::TempInstall&)>& prepare,
                     int baud)
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
    // Words 0-3: the port name in UTF-16; then node id, baud rate and reply timeout.
    uint32_t settings[7] = {0, 0, 0, 0, 1, 115200, 100};
    const QString port = server->PortName();
    for (int i = 0; i < port.size() && i < 7; ++i)
        settings[i / 2] |= uint32_t(port.at(i).unicode()) << (16 * (i % 2));
    sys->link.SetNodeId(1);
    if (sys->link.Open(settings) != 0) {
        error = QStringLiteral("cannot open ") + port;
        return;
    }
    sys->connected = 1;
}

bool WritePolledObjects(TestSupport::TempInstall& install, int count, const QString& pageName)
{
    using TestSupport::HexField;
    QByteArray database;
    QByteArray defaults;
    QByteArray page = "[" + pageName.toUtf8() + "]\nnum=" + QByteArray::number(count) + "\n";
    for (int n = 1; n <= count; ++n) {
        const uint32_t key = PolledKey(n);
        TestSupport::DatabaseRecordFields fields;
        fields.index = HexField(key >> 8, 4);
        fields.subindex = HexField(key & 0xFF, 2);
        fields.nameChinese = fields.nameEnglish = "Polled " + QByteArray::number(n);
        fields.dataType = "I16";
        fields.attribute = "RL";
        database.append(TestSupport::BuildDatabaseRecord(fields));
        defaults.append(HexField(key, 6) + "\tI16\tRL\t" + QByteArray::number(n) + '\n');
        page.append(QByteArray::number(n) + '=' + HexField(key, 6) + '\n');
    }
    // The shipped files are links into the build tree: drop the link, never write through it.
    const auto replace = [&](const QString& relative, const QByteArray& bytes) {
        QFile::remove(install.path(relative));
        return install.writeFile(relative, bytes);
    };
    return replace(QStringLiteral("data/velmor.dat"), database) &&
           replace(QStringLiteral("data/velmor-defaults.tsv"), defaults) &&
           replace(QStringLiteral("sys/") + pageName + QStringLiteral(".ini"), page);
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

double ThreadCpuSeconds()
{
    timespec spent{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

} // namespace GuiPageTest
