// drivactl scope: one capture of the drive's recorder, without windows, through the same
// capture cycle the oscilloscope page runs.

#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/AbortCodes.h"
#include "comm/DriveObjects.h"
#include "scope/ScopeCapture.h"
#include "scope/ScopeFiles.h"
#include "scope/ScopeItems.h"

#include <QFileInfo>

#include <unistd.h>

namespace {

using namespace DriveObject;

// The state poll of a capture: a terminal user need not wait a whole second per look.
constexpr int kTickMs = 200;

// Channels 1 to 4 for the objects: a 32-bit object needs the shared slot of its pair (1 and 2,
// 3 and 4), so it goes to the first channel whose pair has that slot free. 0 when no channel is
// left for one of them.
QVector<int> AssignChannels(const QVector<ScopeItem>& items)
{
    QVector<int> channels(items.size(), 0);
    bool used[kScopeChannels] = {};
    bool sharedUsed[2] = {};
    for (int i = 0; i < items.size(); ++i) {
        const bool wide = ScopeDescriptor::WidthOf(items[i].descriptor) >= 32;
        for (int c = 1; c <= kScopeChannels; ++c) {
            if (used[c - 1] || (wide && sharedUsed[(c - 1) / 2]))
                continue;
            used[c - 1] = true;
            if (wide)
                sharedUsed[(c - 1) / 2] = true;
            channels[i] = c;
            break;
        }
        if (channels[i] == 0)
            return {};
    }
    return channels;
}

// "reading the record 350/8192 bytes" on a terminal, redrawn in place and cleared at the end.
class CScopeProgress
{
public:
    CScopeProgress() : m_enabled(isatty(STDERR_FILENO) != 0) {}
    ~CScopeProgress() { Show(QString()); }
    void Show(const QString& text)
    {
        if (!m_enabled || (text.isEmpty() && m_width == 0))
            return;
        Err() << '\r' << text.leftJustified(m_width) << (text.isEmpty() ? "\r" : "");
        Err().flush();
        m_width = int(text.size());
    }

private:
    bool m_enabled;
    int m_width = 0;
};

} // namespace

int RunScope(CCliSession& session, const CliOptions& options)
{
    const CliOptions::Scope& scope = options.scope;
    CSysData& sys = session.sys();
    CScopeItemLists items(sys.dictionary, &sys.unitTable);

    // Every object is checked before anything is sent.
    QVector<ScopeItem> chosen;
    for (const uint32_t key : scope.channels) {
        ScopeItem item;
        if (!MakeScopeItem(sys.dictionary, key, true, item)) {
            Err() << "drivactl: " << KeyText(key)
                  << " cannot be recorded (not in the dictionary, or not 16 or 32 bits wide)\n";
            return ExitBadArguments;
        }
        chosen.append(item);
    }
    const QVector<int> channelOf = AssignChannels(chosen);
    if (channelOf.isEmpty()) {
        Err() << "drivactl: the recorder takes one 32-bit object per channel pair (1 and 2, 3 "
                 "and 4); these objects do not fit\n";
        return ExitBadArguments;
    }
    ScopeItem trigger;
    if (scope.trigger != 0 && !MakeScopeItem(sys.dictionary, scope.trigger, false, trigger)) {
        Err() << "drivactl: " << KeyText(scope.trigger)
              << " cannot trigger (not in the dictionary, or not 8, 16 or 32 bits wide)\n";
        return ExitBadArguments;
    }

    CScopeCapture capture(sys, &items);
    capture.SetTickInterval(kTickMs);
    bool settled = false, ended = false, refused = false, failed = false;
    CScopeCapture::Outcome outcome = CScopeCapture::Outcome::Cancelled;
    uint32_t detail = 0;
    CScopeProgress progress;
    QObject::connect(&capture, &CScopeCapture::settled, &capture, [&] {
        settled = true;
        session.Wake();
    });
    QObject::connect(&capture, &CScopeCapture::requestRefused, &capture,
                     [&](uint32_t key, uint32_t code) {
                         refused = true;
                         Err() << KeyText(key) << ": " << AbortText(code) << '\n';
                     });
    QObject::connect(&capture, &CScopeCapture::requestFailed, &capture, [&] {
        failed = true;
        session.Wake();
    });
    QObject::connect(&capture, &CScopeCapture::progress, &capture,
                     [&](CScopeCapture::Progress kind, int dots) {
                         if (kind == CScopeCapture::Progress::Waiting)
                             progress.Show(QStringLiteral("waiting for the trigger ") +
                                           QString(dots, QLatin1Char('.')));
                     });
    QObject::connect(&capture, &CScopeCapture::uploadProgress, &capture, [&](uint32_t bytes) {
        progress.Show(QStringLiteral("reading the record: %1 bytes").arg(bytes));
    });
    QObject::connect(&capture, &CScopeCapture::captureEnded, &capture,
                     [&](CScopeCapture::Outcome how, uint32_t what) {
                         ended = true;
                         outcome = how;
                         detail = what;
                         session.Wake();
                     });

    // The settings: the slots (16-bit channels first, so that a 32-bit one claims its pair's
    // shared slot last), the unused slots emptied, the recorder's settings, then all read back.
    bool slotUsed[kScopeSlots] = {};
    for (const bool wide : {false, true}) {
        for (int i = 0; i < chosen.size(); ++i) {
            const uint32_t descriptor = chosen[i].descriptor;
            if ((ScopeDescriptor::WidthOf(descriptor) >= 32) != wide)
                continue;
            capture.SetChannel(channelOf[i], true, descriptor);
            slotUsed[ScopeSlots::SlotFor(channelOf[i], ScopeDescriptor::WidthOf(descriptor)) - 1] =
                true;
        }
    }
    for (int slot = 1; slot <= kScopeSlots; ++slot) {
        if (!slotUsed[slot - 1])
            capture.WriteSetting(kRecorderSlot1 + uint32_t(slot - 1), 0);
    }
    if (scope.period > 0)
        capture.WriteSetting(kRecorderPeriod, uint32_t(scope.period));
    if (scope.haveOffset)
        capture.WriteSetting(kRecorderOffset, uint32_t(scope.offset) & 0xFFFF);
    if (options.count > 0)
        capture.WriteSetting(kRecorderCount, uint32_t(options.count));
    capture.WriteSetting(kRecorderEdge, scope.rising ? 1 : 0);
    capture.WriteTrigger(trigger.descriptor);
    if (scope.trigger != 0)
        capture.WriteSetting(kRecorderLevel, uint32_t(scope.level));
    // The link runs the newest request first, so the settings are read back only once every
    // write has been answered.
    const auto settle = [&] {
        while (capture.pendingRequests() > 0 && !failed) {
            settled = false;
            if (!session.WaitUntil([&] { return settled || failed; }, -1))
                return false;
        }
        return !failed;
    };
    if (!settle())
        return ReportNoAnswer(session, 0, {CCliSession::Answer::CommFailed, 0});
    capture.ReadSettings(1);
    if (!settle())
        return ReportNoAnswer(session, 0, {CCliSession::Answer::CommFailed, 0});
    if (refused)
        return ExitAbort;

    const ScopeSettings& settings = capture.settings();
    for (int c = 1; c <= kScopeChannels; ++c) {
        const ScopeChannelSettings& channel = settings.channels[size_t(c - 1)];
        if (channel.enabled)
            Out() << "channel " << c << ": " << KeyText(ScopeDescriptor::KeyOf(channel.descriptor))
                  << ' ' << items.ChannelEntry(c, capture.channelEntry(c))->name << '\n';
    }
    Out().flush();

    capture.Start();
    session.WaitUntil([&] { return ended; }, -1);
    if (!ended) {
        capture.Cancel();
        return ExitCommFailure;
    }
    progress.Show(QString());
    switch (outcome) {
    case CScopeCapture::Outcome::Done:
        break;
    case CScopeCapture::Outcome::Refused:
        return ExitAbort; // the refusal is printed already
    case CScopeCapture::Outcome::TooLong:
        Err() << "the record is " << detail << " bytes long, more than the " << kMaxRecordBytes
              << " a record can be; nothing is written\n";
        return ExitCommFailure;
    default:
        return ReportNoAnswer(session, kRecord, {CCliSession::Answer::CommFailed, detail});
    }
    const ScopeRecord& record = capture.record();
    QString error;
    if (!ScopeFiles::WriteCsv(scope.csv, record, &error)) {
        Err() << "drivactl: cannot write " << scope.csv << ": " << error << '\n';
        return ExitDataProblem;
    }
    Out() << "record: " << capture.recordBytes().size() << " bytes, " << record.longest()
          << " samples, written to " << QFileInfo(scope.csv).absoluteFilePath() << '\n';
    return ExitOk;
}
