// errors and mask: the real-time error page's logic run against the drive, printed.

#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/DriveObjects.h"
#include "rterror/RealtimeErrorPage.h"

#include <QDir>

#include <memory>

namespace {

QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("0x%1")
        .arg(value, digits, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

// The page, its first read of the four error objects done. An exit code.
int ReadPage(CCliSession& session, CRealtimeErrorPage& page)
{
    page.onChanged = [&session](uint32_t) { session.Wake(); };
    page.Start();
    if (!session.WaitUntil([&page] { return page.initStep() == 0; },
                           qint64(session.exchangeTimeoutMs()) * 8)) {
        return ReportNoAnswer(session, DriveObject::kErrorStatusLow, CCliSession::Answer());
    }
    if (!page.allKnown()) {
        Err() << "the drive did not give its error objects (2600:01, 2600:02, 2601:00, "
                 "2602:00)\n";
        return ExitAbort;
    }
    return ExitOk;
}

std::unique_ptr<CRealtimeErrorPage> MakePage(CCliSession& session)
{
    CSysData& sys = session.sys();
    const QString names = QDir(sys.sysDir).filePath(QStringLiteral("RealTimeError.ini"));
    return std::make_unique<CRealtimeErrorPage>(
        sys.link, RealtimeError::LoadNames(names, sys.programLanguage));
}

} // namespace

int RunErrors(CCliSession& session, const CliOptions& options)
{
    if (!options.args.isEmpty()) {
        Err() << "errors takes no arguments\n";
        return ExitBadArguments;
    }
    const std::unique_ptr<CRealtimeErrorPage> made = MakePage(session);
    CRealtimeErrorPage& page = *made;
    const int read = ReadPage(session, page);
    if (read != ExitOk)
        return read;
    if (RecordOutput()) {
        // Every bit, so that a script sees the whole status and mask.
        for (int bit = 0; bit < 32; ++bit)
            CRecord()
                .Add("bit", bit)
                .Add("name", page.names().at(bit))
                .Add("raised", ((page.status() >> bit) & 1u) != 0)
                .Add("reported", ((page.mask() >> bit) & 1u) != 0)
                .Print();
        return ExitOk;
    }
    Out() << "status " << Hex(page.status(), 8) << ", mask " << Hex(page.mask(), 8) << '\n';
    const QVector<int> raised = RealtimeError::SetBits(page.status());
    if (raised.isEmpty())
        Out() << "no error raised\n";
    for (int bit : raised) {
        const bool reported = (page.mask() >> bit) & 1u;
        Out() << "bit " << bit << '\t' << page.names().at(bit)
              << (reported ? QString() : QStringLiteral("\t(masked)")) << '\n';
    }
    return ExitOk;
}

int RunMask(CCliSession& session, const CliOptions& options)
{
    bool bitOk = false;
    const int bit = options.args.value(0).toInt(&bitOk);
    const QString state = options.args.value(1);
    if (options.args.size() != 2 || !bitOk || bit < 0 || bit > 31 ||
        (state != QLatin1String("on") && state != QLatin1String("off"))) {
        Err() << "mask takes BIT (0 to 31) and on or off\n";
        return ExitBadArguments;
    }
    const std::unique_ptr<CRealtimeErrorPage> made = MakePage(session);
    CRealtimeErrorPage& page = *made;
    const int read = ReadPage(session, page);
    if (read != ExitOk)
        return read;
    page.SetMaskBit(bit, state == QLatin1String("on"));
    // The page's window takes the confirmation: the mask it holds then is what the drive holds.
    const uint32_t written = page.lastWritten();
    const bool idle = session.WaitUntilLinkIdle();
    if (!idle || ((page.mask() >> (bit / 16 * 16)) & 0xFFFF) != written) {
        Err() << "the drive did not take " << Hex(written, 4) << " for the mask\n";
        return session.commFailed() ? ExitCommFailure : ExitAbort;
    }
    if (RecordOutput())
        CRecord()
            .Add("bit", bit)
            .Add("name", page.names().at(bit))
            .Add("reported", state == QLatin1String("on"))
            .Add("mask", Hex(page.mask(), 8))
            .Print();
    else
        Out() << "mask " << Hex(page.mask(), 8) << " (" << page.names().at(bit) << ' '
              << (state == QLatin1String("on") ? "reported" : "ignored") << ")\n";
    return ExitOk;
}
