#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "app/SysData.h"
#include "pdo/PdoApply.h"

namespace {

// The PDO and, for map, its entries from the arguments: "show NAME" or "map NAME KEY...", each
// key's width taken from the dictionary. False with the reason in error.
bool ParsePdoArguments(CCliSession& session, const CliOptions& options, Pdo::Address& pdo,
                       std::vector<uint32_t>& entries, QString& error)
{
    const QStringList& args = options.args;
    const bool show = !args.isEmpty() && args.at(0) == QLatin1String("show");
    const bool map = !args.isEmpty() && args.at(0) == QLatin1String("map");
    if (!(show && args.size() == 2) && !(map && args.size() >= 2)) {
        error = QStringLiteral("pdo takes show NAME or map NAME KEY...");
        return false;
    }
    if (!Pdo::ParseAddress(args.at(1), pdo)) {
        error = QStringLiteral("%1 is no PDO (RPDO1 to RPDO8, TPDO1 to TPDO8)").arg(args.at(1));
        return false;
    }
    for (const QString& text : args.mid(2)) {
        uint32_t key = 0;
        CSdoRecord record;
        if (!ParseObjectKey(text, key) || !session.sys().dictionary.Lookup(key, record)) {
            error = QStringLiteral("%1 is no object of the dictionary").arg(text);
            return false;
        }
        entries.push_back(Pdo::Entry(key, Pdo::FactsOf(record).bits));
    }
    const Pdo::Problem problem =
        Pdo::CheckMapping(entries, pdo.direction, [&session](uint32_t key, CSdoRecord& out) {
            return session.sys().dictionary.Lookup(key, out);
        });
    if (!problem.ok()) {
        error = QStringLiteral("%1: %2 (nothing written)").arg(pdo.Name(), problem.text);
        return false;
    }
    return true;
}

void PrintMapping(CCliSession& session, const CPdoApply& apply)
{
    const uint32_t cobId = apply.cobId();
    const QString cobText = QStringLiteral("%1").arg(cobId, 8, 16, QLatin1Char('0')).toUpper();
    if (RecordOutput()) {
        // One record an entry, each with its PDO's COB-ID, so that every line stands alone.
        int n = 0;
        for (const uint32_t entry : apply.readEntries()) {
            CSdoRecord record;
            session.sys().dictionary.Lookup(Pdo::EntryKey(entry), record);
            CRecord()
                .Add("pdo", apply.pdo().Name())
                .Add("cobid", cobText)
                .Add("valid", (cobId & Pdo::kCobIdInvalid) == 0)
                .Add("entry", ++n)
                .Add("key", KeyText(Pdo::EntryKey(entry)))
                .Add("bits", int(Pdo::EntryBits(entry)))
                .Add("name", record.name)
                .Print();
        }
        return;
    }
    Out() << apply.pdo().Name() << " COB-ID "
          << QStringLiteral("%1").arg(cobId, 8, 16, QLatin1Char('0')).toUpper()
          << ((cobId & Pdo::kCobIdInvalid) != 0 ? " (not valid)" : " (valid)") << ", "
          << Pdo::TotalBits(apply.readEntries()) << " bits\n";
    int n = 0;
    for (const uint32_t entry : apply.readEntries()) {
        CSdoRecord record;
        session.sys().dictionary.Lookup(Pdo::EntryKey(entry), record);
        Out() << ++n << ' ' << KeyText(Pdo::EntryKey(entry)) << ' ' << Pdo::EntryBits(entry) << ' '
              << record.name << '\n';
    }
}

} // namespace

int CheckPdo(CCliSession& session, const CliOptions& options)
{
    Pdo::Address pdo;
    std::vector<uint32_t> entries;
    QString error;
    if (ParsePdoArguments(session, options, pdo, entries, error))
        return ExitOk;
    Err() << "drivactl: " << error << '\n';
    return ExitBadArguments;
}

int RunPdo(CCliSession& session, const CliOptions& options)
{
    Pdo::Address pdo;
    std::vector<uint32_t> entries;
    QString error;
    if (!ParsePdoArguments(session, options, pdo, entries, error))
        return ExitBadArguments;
    CPdoApply apply(session.sys().link, [&session](uint32_t key, CSdoRecord& out) {
        return session.sys().dictionary.Lookup(key, out);
    });
    const bool map = options.args.at(0) == QLatin1String("map");
    if (map)
        apply.onLog = [](const QString& line) { Note() << line << '\n'; };
    apply.onStateChanged = [&session](CPdoApply::State) { session.Wake(); };
    const bool started = map ? apply.Start(pdo, entries) : apply.ReadMapping(pdo);
    if (!started || !session.WaitUntil([&apply] { return !apply.busy(); }, -1)) {
        Err() << "drivactl: "
              << (apply.reason().isEmpty() ? QStringLiteral("no answer") : apply.reason()) << '\n';
        return ExitCommFailure;
    }
    if (apply.state() != CPdoApply::State::Done) {
        Err() << "drivactl: " << apply.reason() << '\n';
        return session.commFailed() ? ExitCommFailure : ExitAbort;
    }
    PrintMapping(session, apply);
    return ExitOk;
}
