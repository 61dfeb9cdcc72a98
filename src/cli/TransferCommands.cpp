// export, import, diff and store: whole configurations through the same runs the transfer
// windows use, one drive or several of one bus in turn.

#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/CanBitRates.h"
#include "comm/SdoFrame.h"
#include "transfer/DcfFile.h"
#include "transfer/TransferRuns.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr uint32_t kVendorKey = 0x101801;
constexpr uint32_t kProductKey = 0x101802;
constexpr uint32_t kRevisionKey = 0x101803;

bool IsDcf(const QString& path)
{
    return path.endsWith(QLatin1String(".dcf"), Qt::CaseInsensitive);
}

// What a command runs on: the rows (export: the list; import, diff: the file) and where the
// result goes.
struct TransferJob
{
    QVector<CTransferRow> rows;
    QString out;      // export: the file to write
    CDcfDocument dcf; // import of a .dcf
    bool fromDcf = false;
};

QString DefaultListPath(CCliSession& session)
{
    return session.sys().sysDir + QStringLiteral("/default.cdo");
}

// Reads the command's files; an exit code, with the message printed.
int LoadJob(CCliSession& session, const CliOptions& options, TransferJob& job)
{
    const CSdoDatabase& dictionary = session.sys().dictionary;
    const QStringList& args = options.args;
    QString error;
    if (options.command == QLatin1String("export")) {
        if (args.isEmpty() || args.size() > 2) {
            Err() << "export takes [LIST.cdo] OUT.cdi\n";
            return ExitBadArguments;
        }
        const QString list = args.size() == 2 ? args.first() : DefaultListPath(session);
        QVector<uint32_t> descriptors;
        if (!ReadObjectList(list, descriptors, error)) {
            Err() << error.trimmed() << '\n';
            return ExitDataProblem;
        }
        job.rows = ExportRows(descriptors, dictionary);
        job.out = args.last();
        return ExitOk;
    }
    if (args.size() != 1) {
        Err() << options.command << " takes one file: IN.cdi, IN.txt or IN.dcf\n";
        return ExitBadArguments;
    }
    if (IsDcf(args.first())) {
        if (!ReadDcf(args.first(), job.dcf, error)) {
            Err() << error.trimmed() << '\n';
            return ExitDataProblem;
        }
        job.fromDcf = true;
        job.rows = DcfImportRows(job.dcf, dictionary);
        return ExitOk;
    }
    QVector<CConfigEntry> entries;
    if (!ReadConfiguration(args.first(), entries, error)) {
        Err() << error.trimmed() << '\n';
        return ExitDataProblem;
    }
    job.rows = ImportRows(entries, dictionary);
    return ExitOk;
}

// OUT.cdi for one drive, OUT-node2.cdi for node 2 of several.
QString OutPathFor(const QString& out, uint32_t node, bool several)
{
    if (!several)
        return out;
    const QFileInfo info(out);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-node%1").arg(node) +
                               suffix);
}

// The exit code of a finished run: 2 when the link failed, 1 for any Alarm or Fail.
int RunExit(const CTransferRun& run)
{
    if (run.linkFailed())
        return ExitCommFailure;
    return run.counts().allTrue() ? ExitOk : ExitAbort;
}

// Runs a transfer run to its end, with a progress line, and names every row that did not end
// True on standard error; with record output and a node, every row is a record of the node, its
// object, outcome, value and reason. False when it could not start or the deadline ended it.
bool RunToEnd(CCliSession& session, CTransferRun& run, const QString& what, uint32_t node = 0)
{
    CProgress progress(what, run.rows().size(), false);
    bool done = false;
    int rowsDone = 0; // an import runs a PDO's mapping rows together, out of file order
    QObject::connect(&run, &CTransferRun::rowDone, &run, [&](const CRowResult& result) {
        progress.Show(++rowsDone);
        const CTransferRow& row = run.rows().at(result.row);
        if (RecordOutput() && node != 0)
            CRecord()
                .Add("node", int(node))
                .Add("key", KeyText(row.key()))
                .Add("name", row.name)
                .Add("outcome", OutcomeText(result.outcome))
                .Add("value", result.value)
                .Add("reason", result.outcome == TransferOutcome::True ? QString() : result.reason)
                .Print();
        if (result.outcome == TransferOutcome::True)
            return;
        progress.Done();
        Err() << KeyText(row.key()) << ' ' << row.name << ": " << OutcomeText(result.outcome)
              << (result.value.isEmpty() ? QString() : QLatin1Char(' ') + result.value) << " ("
              << result.reason << ")\n";
    });
    if (auto* import = qobject_cast<CImportRun*>(&run)) {
        // A write of the run's own that failed explains the rows that fail after it.
        QObject::connect(import, &CImportRun::stepDone, import,
                         [&](const QString& line, TransferOutcome outcome) {
                             if (outcome == TransferOutcome::True)
                                 return;
                             progress.Done();
                             Err() << line << '\n';
                         });
    }
    QObject::connect(&run, &CTransferRun::finished, &run, [&] {
        done = true;
        session.Wake();
    });
    QString refusal;
    if (!run.Start(refusal)) {
        Err() << refusal << '\n';
        return false;
    }
    const bool finished = session.WaitThroughFailure([&] { return done; });
    progress.Done();
    if (!finished)
        run.Cancel();
    return finished;
}

// "node 2: " before a summary when several drives run.
QString NodePrefix(const CliOptions& options, uint32_t node)
{
    return options.nodes.size() > 1 ? QStringLiteral("node %1: ").arg(node) : QString();
}

uint32_t RowRaw(const CTransferRow& row)
{
    uint32_t raw = 0;
    ParseLoadValue(row.value, raw);
    return row.value.startsWith(QLatin1String("0x")) ? uint32_t(HexTextToInt(row.value)) : raw;
}

int ExportNode(CCliSession& session, const CliOptions& options, const TransferJob& job,
               uint32_t node)
{
    CSysData& sys = session.sys();
    CExportRun run(sys.link, sys, sys.dictionary);
    QVector<CTransferRow> rows = job.rows;
    if (options.dcf) {
        // The identity first: the file says which drive it belongs to.
        QVector<uint32_t> identity;
        for (const uint32_t key : {kVendorKey, kProductKey, kRevisionKey})
            identity.append(MakeDescriptor(key, 32));
        rows = ExportRows(identity, sys.dictionary) + rows;
    }
    run.SetRows(rows);
    if (!RunToEnd(session, run, QStringLiteral("export"), node))
        return ExitCommFailure;
    const QString path = OutPathFor(job.out, node, options.nodes.size() > 1);
    QString error;
    bool saved = false;
    if (options.dcf) {
        CDcfDocument document;
        document.fileName = QFileInfo(path).fileName();
        document.creator =
            QStringLiteral("drivactl %1").arg(QCoreApplication::applicationVersion());
        document.created = QDateTime::currentDateTime();
        document.vendor = RowRaw(run.rows().at(0));
        document.product = RowRaw(run.rows().at(1));
        document.revision = RowRaw(run.rows().at(2));
        document.vendorName = QStringLiteral("Velmor");
        document.productName = QStringLiteral("ECD-2000");
        document.nodeId = int(node);
        const CanBitRates::Rate* rate = CanBitRates::Find(options.connection.can.bitrateCode);
        document.bitRateKbps = options.usesCan() && rate
                                   ? int(rate->bitRate / 1000)
                                   : int(options.connection.serial.baud / 1000);
        for (int i = 0; i < run.rows().size(); ++i) {
            const CTransferRow& row = run.rows().at(i);
            document.objects.append(
                DcfObjectOf(sys.dictionary, row.key(),
                            row.outcome == TransferOutcome::True ? row.value : QString()));
        }
        saved = WriteDcf(path, document, error);
    } else {
        saved = WriteConfiguration(path, run.rows(), error);
    }
    Note() << NodePrefix(options, node) << ExportSummaryText(run.counts()).trimmed()
           << (saved ? QStringLiteral(", saved to ") + path : QStringLiteral(", not saved"))
           << '\n';
    Note().flush();
    if (!saved) {
        Err() << error.trimmed() << " (the previous file is unchanged)\n";
        return ExitDataProblem;
    }
    return RunExit(run);
}

// The drive's vendor and product against a .dcf's; an exit code.
int CheckIdentity(CCliSession& session, const CliOptions& options, const TransferJob& job)
{
    uint32_t identity[2] = {};
    const uint32_t keys[2] = {kVendorKey, kProductKey};
    for (int i = 0; i < 2; ++i) {
        const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, keys[i], 0);
        if (answer.kind == CCliSession::Answer::Abort) {
            Err() << "the drive refused its identity " << KeyText(keys[i]) << ": "
                  << AbortText(answer.value) << "; nothing was written\n";
            return ExitAbort;
        }
        if (answer.kind != CCliSession::Answer::Value)
            return ReportNoAnswer(session, keys[i], answer);
        identity[i] = answer.value;
    }
    const QString mismatch = DcfIdentityMismatch(job.dcf, identity[0], identity[1]);
    if (mismatch.isEmpty())
        return ExitOk;
    if (options.force) {
        Err() << mismatch << "; written all the same (--force)\n";
        return ExitOk;
    }
    Err() << mismatch << "; nothing was written (--force writes it all the same)\n";
    return ExitAbort;
}

// The store sequence to its end; an exit code.
int StoreToEnd(CCliSession& session, const QString& prefix)
{
    CSysData& sys = session.sys();
    CStoreRun store(sys.link, sys);
    bool done = false;
    QObject::connect(&store, &CStoreRun::stepDone, &store,
                     [&](int, uint32_t key, TransferOutcome outcome, const QString& reason) {
                         if (outcome != TransferOutcome::True)
                             Err() << KeyText(key) << ": " << OutcomeText(outcome) << " (" << reason
                                   << ")\n";
                     });
    QObject::connect(&store, &CStoreRun::finished, &store, [&] {
        done = true;
        session.Wake();
    });
    QString refusal;
    if (!store.Start(refusal)) {
        Err() << refusal << '\n';
        return ExitCommFailure;
    }
    if (!session.WaitThroughFailure([&] { return done; }))
        return ExitCommFailure;
    Note() << prefix << (store.stored() ? "stored\n" : "not stored\n");
    Note().flush();
    if (store.stored())
        return ExitOk;
    return store.linkFailed() ? ExitCommFailure : ExitAbort;
}

int RestartToEnd(CCliSession& session, const QString& prefix)
{
    CSysData& sys = session.sys();
    CRestartRun restart(sys.link, sys);
    bool done = false;
    bool sent = false;
    QObject::connect(&restart, &CRestartRun::finished, &restart,
                     [&](bool wasSent, const QString& reason) {
                         done = true;
                         sent = wasSent;
                         if (!wasSent)
                             Err() << "restart: " << reason << '\n';
                         session.Wake();
                     });
    QString refusal;
    if (!restart.Start(refusal)) {
        Err() << refusal << '\n';
        return ExitCommFailure;
    }
    if (!session.WaitThroughFailure([&] { return done; }))
        return ExitCommFailure;
    Note() << prefix << (sent ? "restarted\n" : "not restarted\n");
    return sent ? ExitOk : ExitAbort;
}

int ImportNode(CCliSession& session, const CliOptions& options, const TransferJob& job,
               uint32_t node)
{
    CSysData& sys = session.sys();
    const QString prefix = NodePrefix(options, node);
    if (job.fromDcf) {
        const int identity = CheckIdentity(session, options, job);
        if (identity != ExitOk)
            return identity;
    }
    CImportRun run(sys.link, sys, sys.dictionary);
    run.SetRows(job.rows);
    if (!RunToEnd(session, run, QStringLiteral("import"), node))
        return ExitCommFailure;
    Note() << prefix << ImportSummaryText(run.counts()) << '\n';
    Note().flush();
    int result = RunExit(run);
    if (options.store && result == ExitOk)
        result = std::max(result, StoreToEnd(session, prefix));
    else if (options.store)
        Err() << "not stored: not every row took\n";
    if (options.restart && result != ExitCommFailure)
        result = std::max(result, RestartToEnd(session, prefix));
    return result;
}

int DiffNode(CCliSession& session, const CliOptions& options, const TransferJob& job, uint32_t node)
{
    CSysData& sys = session.sys();
    CExportRun run(sys.link, sys, sys.dictionary);
    run.SetRows(job.rows);
    if (!RunToEnd(session, run, QStringLiteral("diff")))
        return ExitCommFailure;
    int differences = 0;
    for (const CTransferRow& row : run.rows()) {
        if (row.outcome != TransferOutcome::True || row.value == row.loadValue)
            continue;
        ++differences;
        CSdoRecord record;
        QString unit;
        QString drive = row.value;
        QString file = row.loadValue;
        if (sys.dictionary.Lookup(row.key(), record)) {
            sys.unitTable.GetDefaultUnit(row.key(), record.unitText, unit);
            const int constants = FetchUnitConstants(session, row.key(), unit);
            if (constants != ExitOk)
                return constants;
            const auto shown = [&](uint32_t raw, QString& text) {
                CCliSession::Answer answer;
                answer.kind = CCliSession::Answer::Value;
                answer.value = raw;
                QString inUnit;
                if (DisplayValue(session, row.key(), record.dataType, unit, answer, inUnit))
                    text = inUnit;
            };
            // The drive's value last: converting a value also updates the cache of an object
            // that other units use as a constant.
            uint32_t raw = 0;
            if (ParseLoadValue(row.loadValue, raw))
                shown(raw, file);
            if (ParseLoadValue(row.value, raw))
                shown(raw, drive);
        }
        if (RecordOutput())
            CRecord()
                .Add("node", int(node))
                .Add("key", KeyText(row.key()))
                .Add("name", row.name)
                .Add("drive", drive)
                .Add("file", file)
                .Add("unit", unit)
                .Print();
        else
            Out() << NodePrefix(options, node) << KeyText(row.key()) << ' ' << row.name
                  << ": drive " << drive << ' ' << unit << ", file " << file << ' ' << unit << '\n';
    }
    Note() << NodePrefix(options, node) << differences
           << (differences == 1 ? " object differs" : " objects differ") << " of "
           << run.rows().size() << '\n';
    Note().flush();
    const int result = RunExit(run);
    return result != ExitOk ? result : (differences ? ExitAbort : ExitOk);
}

// Runs one node's job on each node of --nodes in turn (or the connected one); the worst exit.
int EachNode(CCliSession& session, const CliOptions& options,
             const std::function<int(uint32_t)>& job)
{
    QVector<uint32_t> nodes = options.nodes;
    if (nodes.isEmpty())
        nodes.append(options.connection.driverId());
    int result = ExitOk;
    for (const uint32_t node : nodes) {
        if (options.nodes.size() > 0)
            session.sys().link.SetNodeId(node);
        result = std::max(result, job(node));
        if (session.deadlinePassed())
            break;
    }
    return result;
}

} // namespace

int CheckTransfer(CCliSession& session, const CliOptions& options)
{
    if (options.command == QLatin1String("store"))
        return options.args.isEmpty() ? ExitOk : ExitBadArguments;
    TransferJob job;
    return LoadJob(session, options, job);
}

int RunExport(CCliSession& session, const CliOptions& options)
{
    TransferJob job;
    const int loaded = LoadJob(session, options, job);
    if (loaded != ExitOk)
        return loaded;
    return EachNode(session, options,
                    [&](uint32_t node) { return ExportNode(session, options, job, node); });
}

int RunImport(CCliSession& session, const CliOptions& options)
{
    TransferJob job;
    const int loaded = LoadJob(session, options, job);
    if (loaded != ExitOk)
        return loaded;
    return EachNode(session, options,
                    [&](uint32_t node) { return ImportNode(session, options, job, node); });
}

int RunDiff(CCliSession& session, const CliOptions& options)
{
    TransferJob job;
    const int loaded = LoadJob(session, options, job);
    if (loaded != ExitOk)
        return loaded;
    return EachNode(session, options,
                    [&](uint32_t node) { return DiffNode(session, options, job, node); });
}

int RunStore(CCliSession& session, const CliOptions& options)
{
    return EachNode(session, options,
                    [&](uint32_t node) { return StoreToEnd(session, NodePrefix(options, node)); });
}
