#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/DriveState.h"
#include "comm/SdoFrame.h"
#include "units/FormatKeywords.h"

// Converts a raw value for display in the given unit as a page row does. A conversion that waits
// for a drive constant is finished by the parked read, whose answer comes back to this window.
bool DisplayValue(CCliSession& session, uint32_t key, const QString& dataType, const QString& unit,
                  CCliSession::Answer answer, QString& text)
{
    CSysData& sys = session.sys();
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (answer.kind != CCliSession::Answer::Value)
            return false;
        double value = 0;
        if (!CSysData::RawToValue(dataType, answer.value, value))
            return false;
        QString formula;
        bool done = false;
        if (sys.ConvertForDisplay(session.hwnd(), key, unit, &value, formula, done)) {
            text = CSysData::FormatValue(unit, dataType, formula, value);
            return text != QLatin1String("????");
        }
        answer = session.Await(key, [] {});
    }
    return false;
}

// Reads every constant that the unit's formulas need and has not been read yet, so that the
// typed value is checked and converted before anything is written. An exit code.
int FetchUnitConstants(CCliSession& session, uint32_t key, const QString& unit)
{
    CSysData& sys = session.sys();
    const QVector<CUnitRecord>* records = sys.unitTable.LookupUnits(key);
    if (!records)
        return ExitOk;
    for (const CUnitChoice& choice : CUnitTable::UnitChoices(*records)) {
        if (choice.name != unit)
            continue;
        auto keys = CFormulaEvaluator::ConstantKeys(choice.displayFormula);
        for (const uint32_t k : CFormulaEvaluator::ConstantKeys(choice.writeFormula))
            keys.push_back(k);
        for (const uint32_t constant : keys) {
            if (sys.evaluator.ConstExists(constant))
                continue;
            const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, constant, 0);
            if (answer.kind == CCliSession::Answer::Value) {
                sys.evaluator.AddConst(constant, static_cast<int32_t>(answer.value));
            } else if (answer.kind == CCliSession::Answer::Abort) {
                Err() << "the drive refused " << KeyText(constant) << ", a constant of unit "
                      << unit << ": " << AbortText(answer.value) << "; nothing was written\n";
                return ExitAbort;
            } else {
                Err() << "communication with the drive failed\n";
                return ExitCommFailure;
            }
        }
    }
    return ExitOk;
}

namespace {

// An info record: the round (0 for the identity), the object, its value as shown, its unit, and
// the abort code and text of a refusal.
void PrintInfoRecord(int round, uint32_t key, const QString& name, const QString& value,
                     const QString& unit, const QString& abort)
{
    CRecord()
        .Add("round", round)
        .Add("key", key ? KeyText(key) : QString())
        .Add("name", name)
        .Add("value", value)
        .Add("unit", unit)
        .Add("abort", abort)
        .Print();
}

// Shows one object in its default unit; false when its value cannot be shown.
bool ShowLive(CCliSession& session, uint32_t key, int round)
{
    CSdoRecord record;
    if (!session.sys().dictionary.Lookup(key, record))
        return true;
    QString unit;
    session.sys().unitTable.GetDefaultUnit(key, record.unitText, unit);
    const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, key, 0);
    QString text;
    const bool shown = DisplayValue(session, key, record.dataType, unit, answer, text);
    if (!shown) {
        text = QStringLiteral("????");
        Err() << KeyText(key) << ' ' << record.name << ": "
              << (answer.kind == CCliSession::Answer::Abort ? AbortText(answer.value)
                                                            : QStringLiteral("no value to show"))
              << '\n';
    }
    if (RecordOutput())
        PrintInfoRecord(round, key, record.name, shown ? text : QString(), unit,
                        answer.kind == CCliSession::Answer::Abort ? AbortField(answer.value)
                                                                  : QString());
    else
        Out() << "  " << record.name.leftJustified(32) << text.rightJustified(12) << ' ' << unit
              << '\n';
    return shown;
}

} // namespace

int RunSet(CCliSession& session, const CliOptions& options)
{
    CSysData& sys = session.sys();
    uint32_t key = 0;
    CSdoRecord record;
    if (!KeyArgument(sys.dictionary, options, 2, "set takes KEY TEXT [--unit NAME]", key, record))
        return ExitBadArguments;
    if (!record.attribute.contains(QLatin1Char('W'))) {
        Err() << KeyText(key) << ' ' << record.name << " is read-only; nothing was written\n";
        return ExitBadArguments;
    }

    // A polled answer for the object must not pass for the answer to the write.
    sys.pollingEnabled = 0;
    // The row is built exactly as a page builds it; its first read comes back at once.
    CPageListModel list;
    sys.InitParamList(list);
    CCliSession::Answer answer =
        session.Await(key, [&] { sys.AddPageItem(list, key, 0, session.hwnd(), false); });
    if (list.GetItemCount() != 1) {
        Err() << KeyText(key) << " cannot be set (text objects are read with upload)\n";
        return ExitBadArguments;
    }
    if (answer.kind != CCliSession::Answer::Value && answer.kind != CCliSession::Answer::Abort)
        return ReportNoAnswer(session, key, answer);

    const QString unit =
        options.unit.isEmpty() ? list.GetItemText(0, CPageListModel::ColUnit) : options.unit;
    if (!FormatKeyword::Is(unit)) {
        const int fetched = FetchUnitConstants(session, key, unit);
        if (fetched != ExitOk)
            return fetched;
    }
    const QString text = options.args.at(1);
    const CRawWrite write = sys.PrepareWrite(session.hwnd(), key, unit, record.dataType, text);
    if (write.outcome != CRawWrite::Ready) {
        Err() << KeyText(key) << ' ' << record.name << ": "
              << (write.outcome == CRawWrite::Refused
                      ? write.error
                      : QStringLiteral("a unit constant is missing"))
              << "; nothing was written\n";
        return write.outcome == CRawWrite::Refused ? ExitBadArguments : ExitAbort;
    }

    const TypeWidth type = TypeWidthOf(record.dataType);
    answer = session.Exchange(write.command, key, write.raw);
    int result = ExitOk;
    QString refusal;
    if (answer.kind == CCliSession::Answer::Abort) {
        refusal = AbortField(answer.value);
        if (RecordOutput() && !answer.heldKnown) {
            CRecord()
                .Add("key", KeyText(key))
                .Add("name", record.name)
                .Add("value", QJsonValue())
                .Add("unit", unit)
                .Add("abort", refusal)
                .Print();
            return ExitAbort;
        }
        if (!RecordOutput())
            Out() << KeyText(key) << ' ' << record.name << ": write refused, "
                  << AbortText(answer.value) << '\n';
        if (!answer.heldKnown)
            return ExitAbort;
        result = ExitAbort;
        answer = {CCliSession::Answer::Value, answer.held};
    } else if (answer.kind == CCliSession::Answer::Unconfirmed) {
        return ReportUnconfirmed(key, type, write.raw, answer);
    } else if (answer.kind != CCliSession::Answer::Value) {
        return ReportNoAnswer(session, key, answer);
    } else if (type.mask(answer.value) != type.mask(write.raw)) {
        Err() << KeyText(key) << ": the drive holds " << RawText(type, answer.value)
              << ", not the value written (" << RawText(type, write.raw) << ")\n";
        result = ExitAbort;
    } else {
        // The object as the drive reads it now, shown in the unit it was set in.
        answer = session.Exchange(SdoFrame::kRead, key, 0);
    }
    QString shown;
    if (!DisplayValue(session, key, record.dataType, unit, answer, shown)) {
        if (answer.kind != CCliSession::Answer::Value && answer.kind != CCliSession::Answer::Abort)
            return ReportNoAnswer(session, key, answer);
        Err() << KeyText(key) << ": the value read back cannot be shown in " << unit << '\n';
        return ExitAbort;
    }
    if (RecordOutput())
        CRecord()
            .Add("key", KeyText(key))
            .Add("name", record.name)
            .Add("value", shown)
            .Add("unit", unit)
            .Add("abort", refusal)
            .Print();
    else
        Out() << KeyText(key) << ' ' << record.name << " = " << shown << ' ' << unit << '\n';
    return result;
}

int RunInfo(CCliSession& session, const CliOptions& options)
{
    int result = ExitOk;
    const auto refused = [&](const CSdoRecord& record, uint32_t code) {
        if (RecordOutput())
            PrintInfoRecord(0, record.key, record.name, QString(), QString(), AbortField(code));
        else
            Out() << "  " << record.name.leftJustified(32) << "refused (" << AbortText(code)
                  << ")\n";
        result = ExitAbort;
    };
    const auto identity = [&](const CSdoRecord& record, const QString& value) {
        if (RecordOutput())
            PrintInfoRecord(0, record.key, record.name, value, QString(), QString());
        else
            Out() << "  " << record.name.leftJustified(32) << value << '\n';
    };
    Note() << "Drive identity\n";
    for (uint32_t key : {0x100800u, 0x100900u, 0x100A00u}) {
        CSdoRecord record;
        if (!session.sys().dictionary.Lookup(key, record))
            continue;
        QByteArray text;
        CCliSession::Answer answer;
        if (session.Upload(key, text, answer))
            identity(record, QString::fromUtf8(text));
        else if (answer.kind == CCliSession::Answer::Abort)
            refused(record, answer.value);
        else
            return ReportNoAnswer(session, key, answer);
    }
    for (uint32_t key : {0x100000u, 0x101801u, 0x101802u, 0x101803u, 0x101804u}) {
        CSdoRecord record;
        if (!session.sys().dictionary.Lookup(key, record))
            continue;
        const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, key, 0);
        if (answer.kind == CCliSession::Answer::Value)
            identity(record, RawText(record.dataType, answer.value));
        else if (answer.kind == CCliSession::Answer::Abort)
            refused(record, answer.value);
        else
            return ReportNoAnswer(session, key, answer);
    }
    const CCliSession::Answer status =
        session.Exchange(SdoFrame::kRead, DriveObject::kStatusword, 0);
    CSdoRecord state;
    state.key = DriveObject::kStatusword;
    state.name = QStringLiteral("Drive state");
    if (status.kind == CCliSession::Answer::Value) {
        identity(state, DriveStateText(static_cast<uint16_t>(status.value)) +
                            ((status.value & 0x08) ? QStringLiteral(" (fault)") : QString()));
    } else if (status.kind == CCliSession::Answer::Abort) {
        const CSdoRecord& record = state;
        refused(record, status.value);
    } else {
        return ReportNoAnswer(session, DriveObject::kStatusword, status);
    }
    const int rounds = options.count > 0 ? options.count : 3;
    for (int round = 1; round <= rounds; ++round) {
        Note() << "Live values (" << round << '/' << rounds << ")\n";
        for (uint32_t key : {DriveObject::kStatusword, 0x606C00u, 0x606400u, 0x607800u, 0x60FD00u})
            if (!ShowLive(session, key, round))
                result = ExitAbort;
        Out().flush();
        if (session.commFailed())
            return ExitCommFailure;
        // The live values are worth a look a little apart.
        if (round < rounds)
            session.WaitUntil([] { return false; }, 300);
    }
    return result;
}
