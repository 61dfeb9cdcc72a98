#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/SdoFrame.h"
#include "pages/PageTable.h"
#include "pages/ParamPage.h"

#include <QElapsedTimer>

namespace {

QString Pad(const QString& text, int width)
{
    return text.leftJustified(width, QLatin1Char(' '));
}

// Prints the rows of a page list as the page shows them: aligned columns, or tab-separated
// label, name, value and unit for scripts.
void PrintRows(const CPageListModel& list, bool tsv)
{
    if (tsv) {
        for (int r = 0; r < list.GetItemCount(); ++r) {
            Out() << list.GetItemText(r, CPageListModel::ColLabel) << '\t'
                  << list.GetItemText(r, CPageListModel::ColName) << '\t'
                  << list.GetItemText(r, CPageListModel::ColValue) << '\t'
                  << list.GetItemText(r, CPageListModel::ColUnit) << '\n';
        }
        Out().flush();
        return;
    }
    int nameWidth = 4, valueWidth = 5;
    for (int r = 0; r < list.GetItemCount(); ++r) {
        nameWidth = std::max(nameWidth, int(list.GetItemText(r, CPageListModel::ColName).size()));
        valueWidth =
            std::max(valueWidth, int(list.GetItemText(r, CPageListModel::ColValue).size()));
    }
    for (int r = 0; r < list.GetItemCount(); ++r) {
        Out() << Pad(list.GetItemText(r, CPageListModel::ColLabel), 5)
              << Pad(list.GetItemText(r, CPageListModel::ColName), nameWidth + 2)
              << list.GetItemText(r, CPageListModel::ColValue).rightJustified(valueWidth) << "  "
              << list.GetItemText(r, CPageListModel::ColUnit) << '\n';
    }
    Out().flush();
}

// Waits until the page's read pass has ended; false when it made no progress for a while.
bool WaitForReadPass(CCliSession& session, const CParamPage& page)
{
    int lastCursor = -1;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    const int stallMs = session.exchangeTimeoutMs();
    return session.WaitUntil(
               [&] {
                   if (page.readCursor() != lastCursor) {
                       lastCursor = page.readCursor();
                       sinceProgress.restart();
                   }
                   // Rows added while connected were asked for at once; their answers come after
                   // the
                   // pass when the pass overtook them, so the queue must be empty too.
                   const bool idle =
                       page.readCursor() == 0 && !session.sys().link.HasPendingRequests();
                   return idle || sinceProgress.elapsed() > stallMs;
               },
               24 * 3600 * 1000) &&
           page.readCursor() == 0;
}

} // namespace

int RunDict(CCliSession& session, const CliOptions& options)
{
    CSdoDatabase& dictionary = session.sys().dictionary;
    CSdoRecord record;
    int shown = 0;
    for (int i = 0; dictionary.GetAt(i, record); ++i) {
        if (!options.find.isEmpty() && !record.name.contains(options.find, Qt::CaseInsensitive))
            continue;
        Out() << QStringLiteral("%1:%2")
                     .arg(record.index, 4, 16, QLatin1Char('0'))
                     .arg(record.subindex, 2, 16, QLatin1Char('0'))
                     .toUpper()
              << '\t' << record.name << '\t' << record.dataType << '\t' << record.attribute << '\t'
              << record.unitText << '\n';
        ++shown;
    }
    Out().flush();
    return shown > 0 || options.find.isEmpty() ? ExitOk : ExitAbort;
}

int RunUnits(CCliSession& session, const CliOptions& options)
{
    CSysData& sys = session.sys();
    uint32_t key = 0;
    CSdoRecord record;
    if (!KeyArgument(sys.dictionary, options, 1, "units takes one KEY", key, record))
        return ExitBadArguments;
    QString defaultUnit;
    sys.unitTable.GetDefaultUnit(key, record.unitText, defaultUnit);
    Out() << KeyText(key) << ' ' << record.name << " (" << record.dataType << ")\n";
    Out() << "unit text: " << record.unitText << '\n';
    Out() << "default unit: " << defaultUnit << '\n';
    if (const QVector<CUnitRecord>* units = sys.unitTable.LookupUnits(key)) {
        for (const CUnitRecord& unit : *units) {
            Out() << "  " << Pad(unit.DisplayName(), 10) << " name " << Pad(unit.name, 8)
                  << " formula " << unit.formula << '\n';
        }
    }
    Out() << "  DEC, HEX, ASCII\n";
    Out().flush();
    return ExitOk;
}

int RunPage(CCliSession& session, const CliOptions& options)
{
    if (options.args.size() != 1) {
        Err() << "page takes one NAME\n";
        return ExitBadArguments;
    }
    const QString name = options.args.at(0);
    const CPageSpec* spec = FindPageSpec(name);
    QString panel;
    if (!spec && BusPanelNames().contains(name)) {
        spec = FindPageSpec(QStringLiteral("CDrvPanelF002"));
        panel = name;
    }
    if (!spec) {
        Err() << "unknown page " << name << "; pages:";
        for (const CPageSpec& page : ParameterPages())
            if (page.variant != PageVariant::BusPanel)
                Err() << ' ' << page.pageName;
        for (const QString& bus : BusPanelNames())
            Err() << ' ' << bus;
        Err() << '\n';
        return ExitBadArguments;
    }
    CParamPage page(session.sys(), *spec, panel);
    page.Create();
    const bool complete = WaitForReadPass(session, page);
    if (session.commFailed())
        return ExitCommFailure;
    Out() << page.pageName() << '\n';
    PrintRows(page.list(), options.tsv);
    int result = ExitOk;
    for (int r = 0; r < page.list().GetItemCount(); ++r) {
        if (page.list().GetItemText(r, CPageListModel::ColValue) == QLatin1String("????"))
            result = ExitAbort;
    }
    if (!complete)
        Err() << "the read pass stopped at row " << page.readCursor() - 1 << '\n';

    if (options.watch) {
        // Polled rows refresh themselves; print each change as it comes.
        int changes = 0;
        QObject::connect(&page.list(), &CPageListModel::dataChanged, &page.list(),
                         [&](const QModelIndex& from, const QModelIndex& to) {
                             for (int r = from.row(); r <= to.row(); ++r) {
                                 if (from.column() > CPageListModel::ColValue ||
                                     to.column() < CPageListModel::ColValue)
                                     continue;
                                 Out()
                                     << page.list().GetItemText(r, CPageListModel::ColName) << " = "
                                     << page.list().GetItemText(r, CPageListModel::ColValue) << ' '
                                     << page.list().GetItemText(r, CPageListModel::ColUnit) << '\n';
                                 Out().flush();
                                 ++changes;
                             }
                         });
        const int limit = options.count > 0 ? options.count : 20;
        session.WaitUntil([&] { return changes >= limit; }, limit * 5000 + 5000);
        if (session.commFailed())
            return ExitCommFailure;
    }
    return result;
}
