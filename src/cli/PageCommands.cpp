#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/SdoFrame.h"
#include "pages/ParamPage.h"
#include "units/FormatKeywords.h"
#include "windows/WindowRegistry.h"

namespace {

using Col = CPageListModel::Column;

QString Pad(const QString& text, int width)
{
    return text.leftJustified(width, QLatin1Char(' '));
}

// The width of the name column: the longest name of the page.
int NameWidth(const CPageListModel& list)
{
    int width = 4;
    for (int r = 0; r < list.GetItemCount(); ++r)
        width = std::max(width, int(list.GetItemText(r, Col::ColName).size()));
    return width;
}

// Prints one row of a page list as the page shows it: aligned columns, or a record of label,
// name, value, unit and key for scripts. Rows are printed as their values arrive, so the value
// column has a fixed width that a longer value widens.
void PrintRow(const CPageListModel& list, int r, int nameWidth)
{
    if (RecordOutput()) {
        CRecord()
            .Add("row", list.GetItemText(r, Col::ColLabel))
            .Add("name", list.GetItemText(r, Col::ColName))
            .Add("value", list.GetItemText(r, Col::ColValue))
            .Add("unit", list.GetItemText(r, Col::ColUnit))
            .Add("key", KeyText(list.RowKey(r)))
            .Print();
    } else {
        Out() << Pad(list.GetItemText(r, Col::ColLabel), 5)
              << Pad(list.GetItemText(r, Col::ColName), nameWidth + 2)
              << list.GetItemText(r, Col::ColValue).rightJustified(12) << "  "
              << list.GetItemText(r, Col::ColUnit) << '\n';
    }
    Out().flush();
}

// Says why a row shows no value: the drive refused a constant of the row's unit formula. Returns
// false when the link failed.
bool ExplainBlankRow(CCliSession& session, uint32_t key, const QString& unit)
{
    CSysData& sys = session.sys();
    const QVector<CUnitRecord>* records = sys.unitTable.LookupUnits(key);
    if (!records)
        return true;
    for (const CUnitChoice& choice : CUnitTable::UnitChoices(*records)) {
        if (choice.name != unit)
            continue;
        for (const uint32_t constant : CFormulaEvaluator::ConstantKeys(choice.displayFormula)) {
            if (sys.evaluator.ConstExists(constant))
                continue;
            const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, constant, 0);
            if (answer.kind == CCliSession::Answer::Abort)
                Err() << "  the drive refused " << KeyText(constant) << ", a constant of unit "
                      << unit << ": " << AbortText(answer.value) << '\n';
            else if (answer.kind != CCliSession::Answer::Value)
                return false;
        }
    }
    return true;
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
        // The text form is tab-separated already: the record in the same order.
        CRecord()
            .Add("key", KeyText((uint32_t(record.index) << 8) | record.subindex))
            .Add("name", record.name)
            .Add("type", record.dataType)
            .Add("access", record.attribute)
            .Add("unit", record.unitText)
            .Print();
        ++shown;
    }
    Out().flush();
    if (shown == 0)
        Err() << "no object's name contains \"" << options.find << "\"\n";
    return ExitOk;
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
    const TypeWidth type = TypeWidthOf(record.dataType);
    const bool writable = record.attribute.contains(QLatin1Char('W')) && type.valid();
    const QVector<CUnitRecord>* records = sys.unitTable.LookupUnits(key);
    const QVector<CUnitChoice> choices =
        records ? CUnitTable::UnitChoices(*records) : QVector<CUnitChoice>();
    if (RecordOutput()) {
        // One record a unit, the format keywords last, as the text lists them.
        const auto unitRecord = [&](const QString& name, bool canWrite, const QString& shown,
                                    const QString& written) {
            CRecord()
                .Add("key", KeyText(key))
                .Add("unit", name)
                .Add("default", name == defaultUnit)
                .Add("writable", writable && canWrite)
                .Add("shown", shown)
                .Add("written", written)
                .Print();
        };
        for (const CUnitChoice& choice : choices)
            unitRecord(choice.name, choice.writable(), choice.displayFormula,
                       choice.writable() ? choice.writeFormula : QString());
        if (type.valid()) {
            for (const QLatin1String keyword :
                 {FormatKeyword::kDec, FormatKeyword::kHex, FormatKeyword::kAscii})
                unitRecord(keyword, true, QString(), QString());
        }
        return ExitOk;
    }
    Out() << KeyText(key) << ' ' << record.name << " (" << record.dataType
          << (writable ? "" : ", read-only") << ")\n";
    Out() << "unit text: " << record.unitText << '\n';
    Out() << "default unit: " << defaultUnit << '\n';
    Out() << "units (* can be written):\n";
    for (const CUnitChoice& choice : choices) {
        Out() << (writable && choice.writable() ? "* " : "  ") << Pad(choice.name, 10)
              << " shown as " << choice.displayFormula;
        if (choice.writable())
            Out() << ", written as " << choice.writeFormula;
        Out() << '\n';
    }
    if (type.valid()) {
        for (const QLatin1String keyword :
             {FormatKeyword::kDec, FormatKeyword::kHex, FormatKeyword::kAscii})
            Out() << (writable ? "* " : "  ") << keyword << '\n';
    }
    Out().flush();
    return ExitOk;
}

namespace {
// The page a NAME argument names, and its page file, checked before the drive is reached; null
// with the message and exit code given when either is no good.
const CWindowInfo* CheckedPage(CSysData& sys, const CliOptions& options, int& exitCode)
{
    exitCode = ExitBadArguments;
    if (options.args.size() != 1) {
        Err() << "page takes one NAME\n";
        return nullptr;
    }
    const QString name = options.args.at(0);
    // The parameter pages and the bus panels, by the names of their page files.
    const CWindowInfo* spec = FindParameterPage(name);
    if (!spec) {
        Err() << "unknown page " << name
              << "; pages: " << ParameterPageNames().join(QLatin1Char(' ')) << '\n';
        return nullptr;
    }
    // A page file that cannot make the page is refused whole: no row may ask the drive first.
    const CPageDefinition definition = sys.ReadPageDefinition(name);
    if (!definition.problem.isEmpty()) {
        Err() << definition.problem << '\n';
        exitCode = ExitDataProblem;
        return nullptr;
    }
    exitCode = ExitOk;
    return spec;
}
} // namespace

int CheckPage(CCliSession& session, const CliOptions& options)
{
    int exitCode = ExitOk;
    CheckedPage(session.sys(), options, exitCode);
    return exitCode;
}

int RunPage(CCliSession& session, const CliOptions& options)
{
    CSysData& sys = session.sys();
    int result = ExitOk;
    const CWindowInfo* spec = CheckedPage(sys, options, result);
    if (!spec)
        return result;

    // Polled rows would push the pass on out of turn; the pass is read alone, so that a pass
    // that stops is seen to stop.
    sys.pollingEnabled = 0;
    CParamPage page(sys, *spec);
    const CPageListModel& list = page.list();
    // Every value the page shows wakes the wait, which prints the rows the pass is done with.
    QObject::connect(&list, &CPageListModel::dataChanged, &list, [&] { session.Wake(); });
    page.Create();
    Note() << page.pageName() << '\n';
    const int nameWidth = NameWidth(list);
    int printed = 0;
    CProgress progress(page.pageName(), list.GetItemCount());
    // Rows are printed in order as each shows what the drive said (a value, or "????" for a
    // refusal); whatever is still blank when the link falls idle is printed then, and named.
    const auto printAnswered = [&](bool all) {
        for (; printed < list.GetItemCount(); ++printed) {
            if (!all && list.GetItemText(printed, Col::ColValue).isEmpty())
                break;
            PrintRow(list, printed, nameWidth);
        }
        progress.Show(printed);
    };
    session.WaitUntil(
        [&] {
            printAnswered(false);
            return !sys.link.HasPendingRequests();
        },
        -1);
    progress.Done();
    if (session.deadlinePassed())
        return ExitCommFailure;
    if (session.commFailed()) {
        Err() << "communication with the drive failed (" << CommText::Closed() << ")\n";
        return ExitCommFailure;
    }
    const bool stalled = page.readCursor() != 0;
    printAnswered(true);

    bool live = false;
    for (int r = 0; r < list.GetItemCount(); ++r) {
        const QString label = list.GetItemText(r, Col::ColLabel);
        const QString value = list.GetItemText(r, Col::ColValue);
        const QString unit = list.GetItemText(r, Col::ColUnit);
        const uint32_t key = list.RowKey(r);
        live = live || list.GetItemText(r, Col::ColAttribute).contains(QLatin1Char('L'));
        if (value == QLatin1String("????")) {
            result = std::max(result, int(ExitAbort));
            Err() << "row " << label << ' ' << list.GetItemText(r, Col::ColName) << " ("
                  << KeyText(key) << "): ????";
            const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, key, 0);
            if (answer.kind == CCliSession::Answer::Abort)
                Err() << ", " << AbortText(answer.value);
            Err() << '\n';
            // The object itself answers: its unit's formula has no number to give.
            if (answer.kind == CCliSession::Answer::Value && !ExplainBlankRow(session, key, unit))
                return ExitCommFailure;
        } else if (value.isEmpty()) {
            result = std::max(result, int(ExitAbort));
            Err() << "row " << label << ' ' << list.GetItemText(r, Col::ColName) << " ("
                  << KeyText(key) << "): no value\n";
            if (!ExplainBlankRow(session, key, unit))
                return ExitCommFailure;
        }
    }
    if (stalled) {
        result = std::max(result, int(ExitAbort));
        Err() << "the read pass stopped at row " << page.readCursor() - 1 << '\n';
    }
    if (session.commFailed())
        return ExitCommFailure;

    if (options.watch) {
        if (!live) {
            Err() << page.pageName() << " has no live rows to watch\n";
            return result;
        }
        // Polled rows refresh themselves; print each change as it comes.
        sys.pollingEnabled = 1;
        int changes = 0;
        QObject::connect(&page.list(), &CPageListModel::dataChanged, &page.list(),
                         [&](const QModelIndex& from, const QModelIndex& to) {
                             if (from.column() > Col::ColValue || to.column() < Col::ColValue)
                                 return;
                             for (int r = from.row(); r <= to.row(); ++r) {
                                 if (RecordOutput())
                                     PrintRow(list, r, 0);
                                 else
                                     Out() << list.GetItemText(r, Col::ColName) << " = "
                                           << list.GetItemText(r, Col::ColValue) << ' '
                                           << list.GetItemText(r, Col::ColUnit) << '\n';
                                 Out().flush();
                                 ++changes;
                             }
                         });
        const int limit = options.count > 0 ? options.count : 20;
        session.WaitUntil([&] { return changes >= limit; }, -1);
        if (session.commFailed())
            return ExitCommFailure;
    }
    return result;
}
