#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/AbortCodes.h"
#include "comm/DriveState.h"
#include "comm/SdoFrame.h"

namespace {

const QStringList kFormatKeywords = {QStringLiteral("DEC"), QStringLiteral("HEX"),
                                     QStringLiteral("ASCII")};

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
            return true;
        }
        answer = session.Await(key, [] {});
    }
    return false;
}

int Refused(uint32_t key, const CCliSession::Answer& answer)
{
    if (answer.kind == CCliSession::Answer::Abort) {
        Out() << KeyText(key) << " = abort "
              << QStringLiteral("0x%1").arg(answer.value, 8, 16, QLatin1Char('0')) << ' '
              << AbortCodeText(answer.value) << '\n';
        return ExitAbort;
    }
    Err() << "communication with the drive failed\n";
    return ExitCommFailure;
}

// Shows one object in its default unit.
void ShowLive(CCliSession& session, uint32_t key)
{
    CSdoRecord record;
    if (!session.sys().dictionary.Lookup(key, record))
        return;
    QString unit;
    session.sys().unitTable.GetDefaultUnit(key, record.unitText, unit);
    const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, key, 0);
    QString text;
    if (!DisplayValue(session, key, record.dataType, unit, answer, text))
        text = answer.kind == CCliSession::Answer::Value ? RawText(record.dataType, answer.value)
                                                         : QStringLiteral("????");
    Out() << "  " << record.name.leftJustified(32) << text.rightJustified(12) << ' ' << unit
          << '\n';
}

} // namespace

int RunSet(CCliSession& session, const CliOptions& options)
{
    CSysData& sys = session.sys();
    uint32_t key = 0;
    CSdoRecord record;
    if (!KeyArgument(sys.dictionary, options, 2, "set takes KEY TEXT [--unit NAME]", key, record))
        return ExitBadArguments;

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
        return Refused(key, answer);

    QString unit = list.GetItemText(0, CPageListModel::ColUnit);
    if (!options.unit.isEmpty()) {
        const QVector<CUnitRecord>* units = sys.unitTable.LookupUnits(key);
        bool writable = kFormatKeywords.contains(options.unit);
        for (int i = 0; units && i < units->size(); ++i)
            writable = writable || units->at(i).name == options.unit;
        if (!writable) {
            Err() << "unit " << options.unit << " cannot be written for " << KeyText(key)
                  << "; units:";
            for (int i = 0; units && i < units->size(); ++i)
                Err() << ' ' << units->at(i).name;
            Err() << " DEC HEX ASCII\n";
            return ExitBadArguments;
        }
        unit = options.unit;
        list.SetItemText(0, CPageListModel::ColUnit, unit);
    }
    list.SetItemText(0, CPageListModel::ColValue, options.args.at(1));
    answer = session.Await(key, [&] { sys.WriteItem(session.hwnd(), list, 0); });
    if (answer.kind == CCliSession::Answer::Timeout) {
        // WriteItem sends nothing for a text that does not fit the unit (wrong ASCII length).
        Err() << "nothing was written: \"" << options.args.at(1) << "\" does not fit unit " << unit
              << '\n';
        return ExitBadArguments;
    }
    if (answer.kind != CCliSession::Answer::Value)
        return Refused(key, answer);

    answer = session.Exchange(SdoFrame::kRead, key, 0);
    QString text;
    if (!DisplayValue(session, key, record.dataType, unit, answer, text))
        return Refused(key, answer);
    Out() << KeyText(key) << ' ' << record.name << " = " << text << ' ' << unit << '\n';
    return ExitOk;
}

int RunInfo(CCliSession& session, const CliOptions& options)
{
    Out() << "Drive identity\n";
    for (uint32_t key : {0x100800u, 0x100900u, 0x100A00u}) {
        CSdoRecord record;
        if (!session.sys().dictionary.Lookup(key, record))
            continue;
        QByteArray text;
        CCliSession::Answer answer;
        if (session.Upload(key, text, answer))
            Out() << "  " << record.name.leftJustified(32) << QString::fromUtf8(text) << '\n';
        else if (answer.kind != CCliSession::Answer::Abort)
            return Refused(key, answer);
    }
    for (uint32_t key : {0x100000u, 0x101801u, 0x101802u, 0x101803u, 0x101804u}) {
        CSdoRecord record;
        if (!session.sys().dictionary.Lookup(key, record))
            continue;
        const CCliSession::Answer answer = session.Exchange(SdoFrame::kRead, key, 0);
        if (answer.kind == CCliSession::Answer::Value)
            Out() << "  " << record.name.leftJustified(32) << RawText(record.dataType, answer.value)
                  << '\n';
        else if (answer.kind != CCliSession::Answer::Abort)
            return Refused(key, answer);
    }
    const CCliSession::Answer status = session.Exchange(SdoFrame::kRead, kStatuswordKey, 0);
    if (status.kind == CCliSession::Answer::Value)
        Out() << "  " << QStringLiteral("Drive state").leftJustified(32)
              << DriveStateText(static_cast<uint16_t>(status.value))
              << ((status.value & 0x08) ? " (fault)" : "") << '\n';
    const int rounds = options.count > 0 ? options.count : 3;
    for (int round = 1; round <= rounds; ++round) {
        Out() << "Live values (" << round << '/' << rounds << ")\n";
        for (uint32_t key : {0x604100u, 0x606C00u, 0x606400u, 0x607800u, 0x60FD00u})
            ShowLive(session, key);
        Out().flush();
        if (session.commFailed())
            return ExitCommFailure;
        if (round < rounds)
            session.WaitUntil([] { return false; }, 300);
    }
    return ExitOk;
}
