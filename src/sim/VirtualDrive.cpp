#include "VirtualDrive.h"

#include "base/TextNumbers.h"

#include "comm/LittleEndian.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"
#include "dio/IoBits.h"
#include "eds/EdsReader.h"
#include "pdo/PdoMapping.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kTargetVelocity = 0x60FF00;
constexpr uint32_t kActualVelocity = 0x606C00;
constexpr uint32_t kActualPosition = 0x606400;
constexpr uint32_t kPositionInternal = 0x606300;
constexpr uint32_t kActualCurrent = 0x607800;
constexpr uint32_t kActualTorque = 0x607700;
constexpr uint32_t kCurrentIq = 0x221009;
constexpr uint32_t kDcBusVoltage = 0x225001;
constexpr uint32_t kDriveTemperature = 0x225002;
constexpr uint32_t kMotorTemperature = 0x225003;
constexpr uint32_t kDigitalInputs = 0x60FD00;
constexpr uint32_t kInputState = Dio::kInputState;
constexpr uint32_t kVirtualInputState = Dio::kVirtualInputState;
constexpr uint32_t kActiveInputFunctions = Dio::kActiveInputFunctions;
constexpr uint32_t kOutputState = Dio::kOutputState;
// Output functions the drive drives itself (bits of the output function masks).
constexpr uint32_t kOutputReady = 0x1;
constexpr uint32_t kOutputFault = 0x2;
constexpr uint32_t kOutputEnabled = 0x4;
constexpr uint32_t kOutputZeroSpeed = 0x20;
constexpr uint32_t kInputEnable = 0x1; // input function "Enable"

constexpr double kPi = 3.14159265358979323846;
// The velocity ripples around its target; the position integrates it.
constexpr double kRippleAmplitude = 500.0;
constexpr double kRippleOmega = 2.0 * kPi / 4.0;
// DIN2 comes and goes every two seconds (bit 1 of the input state, bit 17 of 0x60FD).
constexpr double kInputTogglePeriod = 2.0;
constexpr uint32_t kToggledInput = 0x2;

using LittleEndian::Write32;

// Replies name the object they answer: index and subindex copied from the request.
void CopyAddress(const uint8_t* request, uint8_t* reply)
{
    reply[1] = request[1];
    reply[2] = request[2];
    reply[3] = request[3];
}

uint32_t WireMask(int width)
{
    return width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1u);
}

QByteArray Unescape(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    QByteArray out;
    out.reserve(bytes.size());
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\\' || i + 1 >= bytes.size()) {
            out.append(c);
            continue;
        }
        const char next = bytes[++i];
        out.append(next == 't' ? '\t' : next == 'n' ? '\n' : next);
    }
    return out;
}

bool ParseKey(const QString& text, uint32_t* key)
{
    if (text.size() != 6)
        return false;
    bool ok = false;
    const uint32_t value = text.toUInt(&ok, 16);
    if (ok)
        *key = value;
    return ok;
}

} // namespace

CVirtualDrive::CVirtualDrive() : m_epoch(Clock::now()) {}

bool CVirtualDrive::Load(const QString& dataDir, QString* error)
{
    QHash<uint32_t, Entry> entries;
    QList<uint32_t> order;

    const QString defaultsPath = dataDir + QStringLiteral("/velmor-defaults.tsv");
    QFile defaults(defaultsPath);
    if (!defaults.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(defaultsPath);
        return false;
    }
    QTextStream stream(&defaults);
    while (!stream.atEnd()) {
        const QString line = stream.readLine();
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        uint32_t key = 0;
        if (fields.size() < 4 || !ParseKey(fields[0], &key))
            continue;
        if (!entries.contains(key))
            order.append(key);
        // Anything after the fourth tab belongs to the value (a string with a stray tab).
        entries[key] = Entry{fields[1], fields[2], fields.mid(3).join(QLatin1Char('\t'))};
    }

    // The dictionary may name objects that have no default line: they start at zero.
    const QString dictionaryPath = dataDir + QStringLiteral("/velmor.dat");
    if (QFileInfo::exists(dictionaryPath)) {
        CSdoDatabase database;
        database.LoadFile(dictionaryPath, 2);
        CSdoRecord record;
        for (int i = 0; database.GetAt(i, record); ++i) {
            const uint32_t key = record.key & 0xFFFFFF;
            if (entries.contains(key))
                continue;
            order.append(key);
            entries[key] = Entry{record.dataType, record.attribute, QString()};
        }
    }
    return Install(order, entries, defaultsPath, error);
}

bool CVirtualDrive::LoadEds(const QString& path, int nodeId, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const CEdsDevice device = Eds::Read(file.readAll(), nodeId);
    if (!device.ok()) {
        if (error)
            *error = QStringLiteral("%1:%2: %3")
                         .arg(path)
                         .arg(device.errors.first().line)
                         .arg(device.errors.first().reason);
        return false;
    }
    QHash<uint32_t, Entry> entries;
    QList<uint32_t> order;
    for (const CEdsObject& object : device.objects) {
        order.append(object.key());
        // Texts go through the same unescaping as the defaults file's.
        Entry entry{object.dataType, object.AttributeLetters(),
                    object.numeric() ? QString::number(object.value)
                                     : QString::fromUtf8(object.text)
                                           .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))};
        if (object.hasLow)
            entry.low = object.low;
        if (object.hasHigh)
            entry.high = object.high;
        entries.insert(object.key(), entry);
    }
    return Install(order, entries, path, error);
}

bool CVirtualDrive::Install(const QList<uint32_t>& order, const QHash<uint32_t, Entry>& entries,
                            const QString& source, QString* error)
{
    if (order.isEmpty()) {
        if (error)
            *error = QStringLiteral("no object in %1").arg(source);
        return false;
    }

    QHash<uint32_t, Object> objects;
    for (const uint32_t key : order) {
        const Entry& entry = entries[key];
        Object object;
        // Types and numbers as the program reads them.
        const TypeWidth type = TypeWidthOf(entry.type.trimmed());
        object.numeric = type.valid();
        object.width = object.numeric ? type.bits : 0;
        object.isSigned = object.numeric && type.isSigned;
        object.low = entry.low;
        object.high = entry.high;
        const QString attribute = entry.attribute.toUpper();
        // Access letters: R read, W write (L polled, S stored, M mappable); "W" alone is
        // write-only.
        object.writable = attribute.contains(QLatin1Char('W'));
        object.stored = object.writable && attribute.contains(QLatin1Char('S'));
        object.readable = attribute.contains(QLatin1Char('R')) || !object.writable;
        object.mappable = attribute.contains(QLatin1Char('M'));
        if (object.numeric) {
            int64_t number = 0;
            const QString text = entry.value.trimmed();
            if (!text.isEmpty() && !ParseTypedInteger(text, number)) {
                if (error)
                    *error = QStringLiteral("%1: the default value \"%2\" of %3 is not a number")
                                 .arg(source, text)
                                 .arg(key, 6, 16, QLatin1Char('0'));
                return false;
            }
            object.defaultValue = Normalise(object, static_cast<uint32_t>(number));
            object.value = object.defaultValue;
        } else {
            object.defaultBytes = Unescape(entry.value);
            object.bytes = object.defaultBytes;
        }
        objects.insert(key, object);
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    m_objects = std::move(objects);
    m_stored.reset();
    // A drive with a memory file starts with what was stored in it.
    Snapshot fromFile;
    if (!m_storeFile.isEmpty() && ReadSnapshot(m_storeFile, fromFile))
        m_stored = fromFile;
    m_upload = Upload();
    m_haveLastReply = false;
    m_record.clear();
    m_recorder = CSimRecorder();
    m_motor = CMotorModel();
    m_pinned.clear();
    m_epoch = Clock::now();
    m_restartUntil = {};
    m_positionBase = 0;
    m_targetSince = 0;
    if (m_stored)
        ApplySnapshot(&*m_stored, m_epoch);
    return true;
}

bool CVirtualDrive::Handle(const uint8_t request[8], uint8_t reply[8])
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_requests;
    ++m_frameCounts[QByteArray(reinterpret_cast<const char*>(request), 8)];
    const Clock::time_point now = Clock::now();
    if (now < m_restartUntil)
        return false;
    Advance(now);
    const auto sent = [&] {
        std::memcpy(m_lastReply, reply, 8);
        m_haveLastReply = true;
        return true;
    };
    uint32_t code = 0;
    bool replay = false;
    switch (m_faults.Take(&code)) {
    case CSimFaults::Verdict::Drop:
    case CSimFaults::Verdict::Unplug:
        return false;
    case CSimFaults::Verdict::Abort:
        Abort(request, reply, code);
        return sent();
    case CSimFaults::Verdict::Echo:
        std::memcpy(reply, request, 8);
        return sent();
    case CSimFaults::Verdict::Replay:
        replay = true;
        break;
    case CSimFaults::Verdict::Answer:
        break;
    }

    std::memset(reply, 0, 8);
    const uint8_t command = request[0];
    const uint32_t key = SdoFrame::KeyOf(request);
    bool answered = true;
    // A CANopen device's requests are served as CiA 301 has them; the rest as the drive does.
    const bool servedAsDevice = m_canOpen && CanOpenRequest(command, key, request, reply, now);
    if (!servedAsDevice) {
        switch (command) {
        case SdoFrame::kRead:
            answered = Read(key, request, reply, now);
            break;
        case SdoFrame::kWrite1:
        case SdoFrame::kWrite2:
        case SdoFrame::kWrite4:
            answered = Write(key, command, SdoFrame::DataOf(request), request, reply, now);
            break;
        case SdoFrame::kSegment0:
        case SdoFrame::kSegment1:
            answered = Segment(command, request, reply);
            break;
        default:
            Abort(request, reply, kAbortCommand);
            break;
        }
    }
    if (answered && m_faults.TakeMisaddress()) {
        // A segment of the other toggle, or a reply naming the next subindex.
        if ((reply[0] & 0xE0) == 0)
            reply[0] ^= SdoFrame::kToggleBit;
        else
            reply[3] ^= 0x01;
    }
    if (replay) {
        // The request took effect; what goes out is the reply before (nothing before the first).
        if (!m_haveLastReply)
            return false;
        std::memcpy(reply, m_lastReply, 8);
        return true;
    }
    return answered && sent();
}

bool CVirtualDrive::Read(uint32_t key, const uint8_t* request, uint8_t* reply,
                         Clock::time_point now)
{
    const auto it = m_objects.constFind(key);
    if (it == m_objects.constEnd()) {
        Abort(request, reply, kAbortNoObject);
        return true;
    }
    const Object& object = *it;
    if (!object.readable) {
        Abort(request, reply, kAbortWriteOnly);
        return true;
    }
    if (key == kRecord || !object.numeric) {
        // Segmented upload: the size now, the bytes on the segment requests that follow. A new
        // upload replaces an unfinished one; expedited requests in between leave it alone.
        m_upload = Upload();
        m_upload.active = true;
        m_upload.data = key == kRecord ? m_record : object.bytes;
        reply[0] = SdoFrame::kUploadStart;
        CopyAddress(request, reply);
        const int shortfall = m_faults.TakeUploadShortfall();
        Write32(reply + 4, static_cast<uint32_t>(m_upload.data.size() + shortfall));
        return true;
    }
    reply[0] = SdoFrame::ReadReply(object.width);
    CopyAddress(request, reply);
    Write32(reply + 4, ValueLocked(key, now) & WireMask(object.width));
    return true;
}

bool CVirtualDrive::Write(uint32_t key, uint8_t command, uint32_t value, const uint8_t* request,
                          uint8_t* reply, Clock::time_point now)
{
    if (key == kRaiseErrorBit || key == kClearErrorBit) {
        if (value > 31) {
            Abort(request, reply, kAbortValue);
            return true;
        }
        // The status words are read-only to a client: only these objects move them.
        const uint32_t wordKey = value < 16 ? kErrorStatusLow : kErrorStatusHigh;
        const auto word = m_objects.find(wordKey);
        if (word != m_objects.end()) {
            const uint32_t bit = 1u << (value % 16);
            word->value = key == kRaiseErrorBit ? (word->value | bit) : (word->value & ~bit);
        }
        reply[0] = SdoFrame::kWriteReply;
        CopyAddress(request, reply);
        Write32(reply + 4, value);
        return true;
    }
    const auto it = m_objects.find(key);
    if (it == m_objects.end()) {
        Abort(request, reply, kAbortNoObject);
        return true;
    }
    const int width = command == SdoFrame::kWrite1 ? 8 : command == SdoFrame::kWrite2 ? 16 : 32;
    if (!it->writable) {
        Abort(request, reply, kAbortReadOnly);
        return true;
    }
    if (!it->numeric || it->width != width) {
        Abort(request, reply, kAbortLength);
        return true;
    }
    const uint32_t held = Normalise(*it, value);
    // A described device refuses values outside the limits its description gives.
    const int64_t typed = it->isSigned ? int64_t(int32_t(held)) : int64_t(held);
    if (typed < it->low || typed > it->high) {
        Abort(request, reply, kAbortValue);
        return true;
    }
    if (const uint32_t refused = SettingRefusal(key, held)) {
        Abort(request, reply, refused);
        return true;
    }
    if (IsCommandObject(key)) {
        const uint32_t refused = Command(key, held, now);
        if (refused != 0) {
            Abort(request, reply, refused);
            return true;
        }
    } else if (key == kTargetVelocity) {
        SetTargetVelocity(held, now);
    } else if (key == DriveObject::kRecorderCount && RecordSampleBytes() > 0) {
        // The count the slots leave room for in the record.
        it->value = std::min<uint32_t>(held, uint32_t(kRecordLimit / RecordSampleBytes()));
        it->reverting = false;
    } else {
        it->value = held;
        it->reverting = false;
    }
    // The client takes the confirmation's data bytes as the value the drive now holds.
    reply[0] = SdoFrame::kWriteReply;
    CopyAddress(request, reply);
    Write32(reply + 4, ValueLocked(key, now) & WireMask(width));
    return true;
}

bool CVirtualDrive::Segment(uint8_t command, const uint8_t* request, uint8_t* reply)
{
    const uint8_t toggle = command & SdoFrame::kToggleBit;
    if (m_upload.active && toggle == m_upload.nextToggle) {
        const int sent = m_upload.position / SdoFrame::kSegmentBytes;
        uint32_t code = 0;
        if (m_faults.TakeUploadAbort(sent, &code)) {
            m_upload = Upload();
            Abort(request, reply, code);
            return true;
        }
        const int remaining = static_cast<int>(m_upload.data.size()) - m_upload.position;
        const int n = std::min(SdoFrame::kSegmentBytes, remaining);
        const bool last = n == remaining || m_faults.TakeUploadEnd(sent);
        reply[0] = SdoFrame::SegmentReply(toggle, n, last);
        std::memcpy(reply + 1, m_upload.data.constData() + m_upload.position, size_t(n));
        m_upload.position += n;
        m_upload.nextToggle ^= SdoFrame::kToggleBit;
        m_upload.active = !last;
        m_upload.haveLast = true;
        m_upload.lastToggle = toggle;
        std::memcpy(m_upload.lastReply, reply, 8);
        return true;
    }
    if (m_upload.haveLast && toggle == m_upload.lastToggle) {
        std::memcpy(reply, m_upload.lastReply, 8);
        return true;
    }
    Abort(request, reply, m_upload.active ? kAbortToggle : kAbortCommand);
    return true;
}

uint32_t CVirtualDrive::Command(uint32_t key, uint32_t value, Clock::time_point now)
{
    Object& object = m_objects[key];
    const auto busy = [&](uint32_t shown, int ms) {
        object.value = shown;
        object.reverting = true;
        object.revertAt = now + std::chrono::milliseconds(ms);
        object.revertTo = 0;
    };
    switch (key) {
    case kStoreControl:
    case kStoreMotor:
        if (value == 1) {
            m_stored = TakeSnapshot();
            SaveSnapshot(*m_stored);
            busy(1, kStoreBusyMs);
        } else if (value == 10 && key == kStoreControl) {
            // Initialised: reads 10 until the program acknowledges with 0.
            ApplySnapshot(nullptr, now);
            object.value = 10;
            object.reverting = false;
        } else if (value == 0) {
            object.value = 0;
            object.reverting = false;
        } else {
            return kAbortValue;
        }
        return 0;
    case kRestart:
        if (value != DriveObject::kRestartSignature)
            return kAbortValue;
        ApplySnapshot(m_stored ? &*m_stored : nullptr, now);
        for (const uint32_t command : {kStoreControl, kStoreMotor, kRecorderState}) {
            auto it = m_objects.find(command);
            if (it != m_objects.end()) {
                it->value = it->defaultValue;
                it->reverting = false;
            }
        }
        object.value = value;
        m_upload = Upload();
        m_recorder.Stop();
        m_restartUntil = now + std::chrono::milliseconds(kRestartSilenceMs);
        return 0;
    case kRecorderState:
        if (value == 1) {
            StartRecorder(now);
        } else if (value == 0) {
            m_recorder.Stop();
        } else {
            return kAbortValue;
        }
        return 0;
    default:
        return 0;
    }
}

bool CVirtualDrive::IsCommandObject(uint32_t key)
{
    return key == kStoreControl || key == kStoreMotor || key == kRestart || key == kRecorderState;
}

CVirtualDrive::Snapshot CVirtualDrive::TakeSnapshot() const
{
    Snapshot snapshot;
    for (auto it = m_objects.constBegin(); it != m_objects.constEnd(); ++it) {
        if (!it->stored || IsCommandObject(it.key()))
            continue;
        if (it->numeric)
            snapshot.values.insert(it.key(), it->value);
        else
            snapshot.bytes.insert(it.key(), it->bytes);
    }
    return snapshot;
}

void CVirtualDrive::ApplySnapshot(const Snapshot* snapshot, Clock::time_point now)
{
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        if (!it->writable || IsCommandObject(it.key()))
            continue;
        // What is not stored starts from its default again.
        const Snapshot* from = it->stored ? snapshot : nullptr;
        if (!it->numeric) {
            it->bytes = from ? from->bytes.value(it.key(), it->defaultBytes) : it->defaultBytes;
            continue;
        }
        const uint32_t value = from ? Normalise(*it, from->values.value(it.key(), it->defaultValue))
                                    : it->defaultValue;
        it->reverting = false;
        if (it.key() == kTargetVelocity)
            SetTargetVelocity(value, now);
        else
            it->value = value;
    }
}

void CVirtualDrive::SetStoreFile(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_storeFile = path;
}

QString CVirtualDrive::StoreFileProblem() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_storeFileProblem;
}

// One line per stored object: key, then "=" and the number, or ":" and the bytes in hexadecimal.
void CVirtualDrive::SaveSnapshot(const Snapshot& snapshot)
{
    if (m_storeFile.isEmpty())
        return;
    QByteArray text;
    for (auto it = snapshot.values.constBegin(); it != snapshot.values.constEnd(); ++it)
        text += QByteArray::number(it.key(), 16) + '=' + QByteArray::number(it.value()) + '\n';
    for (auto it = snapshot.bytes.constBegin(); it != snapshot.bytes.constEnd(); ++it)
        text += QByteArray::number(it.key(), 16) + ':' + it.value().toHex() + '\n';
    QSaveFile file(m_storeFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        m_storeFileProblem = QStringLiteral("%1: %2").arg(m_storeFile, file.errorString());
}

bool CVirtualDrive::ReadSnapshot(const QString& path, Snapshot& snapshot)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        const int colon = line.indexOf(':');
        bool ok = false;
        if (equals > 0) {
            const uint32_t key = line.left(equals).toUInt(&ok, 16);
            const uint32_t value = line.mid(equals + 1).toUInt(&ok);
            if (ok)
                snapshot.values.insert(key, value);
        } else if (colon > 0) {
            const uint32_t key = line.left(colon).toUInt(&ok, 16);
            if (ok)
                snapshot.bytes.insert(key, QByteArray::fromHex(line.mid(colon + 1)));
        }
    }
    return true;
}

uint32_t CVirtualDrive::Setting(uint32_t key, uint32_t fallback) const
{
    const auto it = m_objects.constFind(key);
    return it == m_objects.constEnd() ? fallback : it->value;
}

int CVirtualDrive::RecordSampleBytes() const
{
    int bytes = 0;
    for (uint32_t slot = 1; slot <= 6; ++slot) {
        if (Setting(DriveObject::kRecorderSlot1 + slot - 1, 0) != 0)
            bytes += slot >= 5 ? 4 : 2;
    }
    return bytes;
}

CMotorModel::Gains CVirtualDrive::MotorGains() const
{
    CMotorModel::Gains gains;
    gains.currentKp = Setting(0x221001, gains.currentKp);
    gains.velocityKp = Setting(0x222001, gains.velocityKp);
    gains.velocityTi = Setting(0x222002, gains.velocityTi);
    gains.velocityFilterHz = Setting(0x222003, gains.velocityFilterHz);
    gains.torqueFilter = Setting(0x222004, gains.torqueFilter);
    gains.positionKp = Setting(0x223001, gains.positionKp);
    gains.velocityFeedForward = Setting(0x223002, gains.velocityFeedForward);
    gains.maxTorque = Setting(0x607200, gains.maxTorque);
    gains.maxProfileVelocity = Setting(0x607F00, gains.maxProfileVelocity);
    return gains;
}

CMotorModel::Command CVirtualDrive::MotorCommand() const
{
    CMotorModel::Command command;
    command.enabled = (Setting(DriveObject::kControlword, 0xF) & 0xF) == 0xF;
    // Profile position (1) and cyclic synchronous position (8) close the position loop; every
    // other mode follows the target velocity.
    const int8_t mode = int8_t(Setting(DriveObject::kModeOfOperation, 3));
    command.positionMode = mode == 1 || mode == 8;
    command.targetVelocity = double(int32_t(Setting(DriveObject::kTargetVelocity, 0)));
    command.targetPosition = double(int32_t(Setting(DriveObject::kTargetPosition, 0)));
    return command;
}

bool CVirtualDrive::IsModelOutput(uint32_t key) const
{
    switch (key) {
    case kActualVelocity:
    case kActualPosition:
    case kPositionInternal:
    case kActualCurrent:
    case kActualTorque:
    case kCurrentIq:
    case 0x22100B: // iq demand
    case 0x606B00: // velocity demand
    case 0x606200: // position demand
    case 0x607400: // torque demand
    case 0x60F400: // following error
    case 0x222006: // velocity loop error
        return !m_pinned.contains(key);
    default:
        return false;
    }
}

uint32_t CVirtualDrive::ModelValue(uint32_t key) const
{
    // The rated current (mA) turns permil of torque into the current objects.
    const double ratedCurrent = double(Setting(0x221006, 2800));
    double value = 0;
    switch (key) {
    case kActualVelocity:
        value = m_motor.velocity();
        break;
    case kActualPosition:
    case kPositionInternal:
        value = m_motor.position();
        break;
    case kActualTorque:
    case kActualCurrent:
        value = m_motor.torque();
        break;
    case kCurrentIq:
        value = m_motor.torque() * ratedCurrent / 1000.0;
        break;
    case 0x22100B:
        value = m_motor.torqueDemand() * ratedCurrent / 1000.0;
        break;
    case 0x606B00:
        value = m_motor.velocityDemand();
        break;
    case 0x606200:
        value = m_motor.positionDemand();
        break;
    case 0x607400:
        value = m_motor.torqueDemand();
        break;
    case 0x60F400:
        value = m_motor.positionDemand() - m_motor.position();
        break;
    case 0x222006:
        value = m_motor.velocityError();
        break;
    default:
        break;
    }
    const double clamped = std::clamp(value, -2147483648.0, 2147483647.0);
    return Normalise(m_objects.value(key), uint32_t(int32_t(std::llround(clamped))));
}

void CVirtualDrive::StartRecorder(Clock::time_point now)
{
    CSimRecorder::Setup setup;
    for (const int slot : {1, 2, 5, 3, 4, 6}) {
        const uint32_t descriptor = Setting(DriveObject::kRecorderSlot1 + uint32_t(slot - 1), 0);
        if (descriptor != 0)
            setup.fields.push_back({descriptor >> 8, slot >= 5 ? 4 : 2});
    }
    setup.period = Setting(DriveObject::kRecorderPeriod, 16) & 0xFFFF;
    setup.offset = int16_t(uint16_t(Setting(DriveObject::kRecorderOffset, 0)));
    const int sampleBytes = RecordSampleBytes();
    setup.count = Setting(DriveObject::kRecorderCount, 0) & 0xFFFF;
    if (sampleBytes > 0)
        setup.count = std::min<uint32_t>(setup.count, uint32_t(kRecordLimit / sampleBytes));
    const uint32_t trigger = Setting(DriveObject::kRecorderTrigger, 0);
    setup.triggerKey = trigger >> 8;
    if (setup.triggerKey != 0) {
        const Object object = m_objects.value(setup.triggerKey);
        setup.triggerSigned = object.isSigned;
        setup.triggerWidth = object.width > 0 ? object.width : 32;
    }
    setup.rising = (Setting(DriveObject::kRecorderEdge, 1) & 0xFF) != 0;
    setup.level = int32_t(Setting(DriveObject::kRecorderLevel, 0));

    m_motor.Settle(MotorGains(), MotorCommand(),
                   double(int32_t(ValueLocked(kActualPosition, now))));
    m_modelTime = now;
    m_recorder.Arm(setup);
    if (!m_recorder.running())
        m_record = m_recorder.record();
}

void CVirtualDrive::Advance(Clock::time_point now)
{
    if (!m_recorder.running())
        return;
    const auto step = std::chrono::nanoseconds(62500);
    const CMotorModel::Gains gains = MotorGains();
    CMotorModel::Command command = MotorCommand();
    const auto sampler = [this](uint32_t key) {
        if (IsModelOutput(key))
            return ModelValue(key);
        return m_objects.contains(key) ? ValueLocked(key, m_modelTime) : 0u;
    };
    while (m_modelTime + step <= now && m_recorder.running()) {
        if (m_recorder.TakeArmedEdge() && m_stimulusKey != 0) {
            const auto it = m_objects.find(m_stimulusKey);
            if (it != m_objects.end() && it->numeric) {
                const uint32_t held = Normalise(*it, m_stimulusValue);
                if (m_stimulusKey == kTargetVelocity)
                    SetTargetVelocity(held, m_modelTime);
                else
                    it->value = held;
                command = MotorCommand();
            }
        }
        m_motor.Step(gains, command);
        m_modelTime += step;
        m_recorder.Step(sampler);
    }
    if (!m_recorder.running())
        m_record = m_recorder.record();
}

uint32_t CVirtualDrive::StoredValue(const Object& object, Clock::time_point now) const
{
    return object.reverting && now >= object.revertAt ? object.revertTo : object.value;
}

uint32_t CVirtualDrive::ValueLocked(uint32_t key, Clock::time_point now) const
{
    const auto it = m_objects.constFind(key);
    if (it == m_objects.constEnd() || !it->numeric)
        return 0;
    if (m_pinned.contains(key))
        return StoredValue(*it, now);
    if (key == kStatusword) {
        const auto word = [&](uint32_t wordKey, uint32_t fallback) {
            const auto w = m_objects.constFind(wordKey);
            return w == m_objects.constEnd() ? fallback : (StoredValue(*w, now) & 0xFFFF);
        };
        const uint32_t status = word(kErrorStatusLow, 0) | (word(kErrorStatusHigh, 0) << 16);
        const uint32_t mask = word(kErrorMaskLow, 0xFFFF) | (word(kErrorMaskHigh, 0xFFFF) << 16);
        // Fault (bit 3) when an unmasked error is present, else operation enabled.
        return Normalise(*it, (status & mask) != 0 ? 0x0218 : 0x0237);
    }
    if (key == kRecorderState)
        return m_recorder.state();
    if (IsMoving(key))
        return Normalise(*it, MovingValue(key, now));
    return StoredValue(*it, now);
}

bool CVirtualDrive::IsMoving(uint32_t key) const
{
    switch (key) {
    case kActualVelocity:
    case kActualPosition:
    case kPositionInternal:
    case kActualCurrent:
    case kActualTorque:
    case kCurrentIq:
    case kDcBusVoltage:
    case kDriveTemperature:
    case kMotorTemperature:
    case kDigitalInputs:
    case kInputState:
    case kVirtualInputState:
    case kActiveInputFunctions:
    case kOutputState:
        return !m_pinned.contains(key);
    default:
        return false;
    }
}

double CVirtualDrive::Seconds(Clock::time_point when) const
{
    return std::chrono::duration<double>(when - m_epoch).count();
}

uint32_t CVirtualDrive::MovingValue(uint32_t key, Clock::time_point when) const
{
    const double t = Seconds(when);
    const Object object = m_objects.value(key);
    const auto stored = [&](uint32_t other) -> uint32_t {
        const auto it = m_objects.constFind(other);
        return it == m_objects.constEnd() ? 0u : StoredValue(*it, when);
    };
    const double start = double(int32_t(object.value)); // the default is where it starts
    const bool inputHigh = (int64_t(std::floor(t / kInputTogglePeriod)) & 1) != 0;
    double value = 0;
    switch (key) {
    case kActualVelocity:
        value = double(int32_t(stored(kTargetVelocity))) +
                kRippleAmplitude * std::sin(kRippleOmega * t);
        break;
    case kActualPosition:
    case kPositionInternal:
        value = start + m_positionBase +
                double(int32_t(stored(kTargetVelocity))) * (t - m_targetSince) +
                kRippleAmplitude / kRippleOmega * (1.0 - std::cos(kRippleOmega * t));
        break;
    case kActualCurrent:
    case kActualTorque:
    case kCurrentIq:
        value = start + 150.0 + 40.0 * std::sin(2.0 * kPi * t / 3.0);
        break;
    case kDcBusVoltage:
        value = start + 5.0 * std::sin(2.0 * kPi * t / 7.0);
        break;
    case kDriveTemperature:
    case kMotorTemperature:
        value = start + 10.0 * std::sin(2.0 * kPi * t / 60.0);
        break;
    case kDigitalInputs:
        return object.value ^ (inputHigh ? kToggledInput << 16 : 0u);
    case kInputState:
        return object.value ^ (inputHigh ? kToggledInput : 0u);
    case kVirtualInputState:
        return Dio::InputVirtualState(ValueLocked(kInputState, when), stored(Dio::kInputPolarity),
                                      stored(Dio::kInputSimulation),
                                      stored(Dio::kSimulatedInputLevel));
    case kActiveInputFunctions: {
        std::array<uint32_t, Dio::kInputs> masks{};
        for (int input = 0; input < Dio::kInputs; ++input)
            masks[size_t(input)] = stored(Dio::kInputFunction1 + uint32_t(input));
        return Dio::ActiveInputFunctions(ValueLocked(kVirtualInputState, when), masks);
    }
    case kOutputState: {
        const bool fault = (ValueLocked(kStatusword, when) & 0x08) != 0;
        uint32_t functions = fault ? kOutputFault : kOutputReady;
        if ((ValueLocked(kActiveInputFunctions, when) & kInputEnable) != 0 && !fault)
            functions |= kOutputEnabled;
        if (stored(kTargetVelocity) == 0)
            functions |= kOutputZeroSpeed;
        std::array<uint32_t, Dio::kOutputs> masks{};
        for (int output = 0; output < Dio::kOutputs; ++output)
            masks[size_t(output)] = stored(Dio::kOutputFunction1 + uint32_t(output));
        return Dio::OutputState(functions, masks, stored(Dio::kOutputPolarity),
                                stored(Dio::kOutputSimulation), stored(Dio::kSimulatedOutputLevel));
    }
    default:
        return object.value;
    }
    return static_cast<uint32_t>(static_cast<int64_t>(std::llround(value)));
}

void CVirtualDrive::SetTargetVelocity(uint32_t value, Clock::time_point now)
{
    const auto it = m_objects.find(kTargetVelocity);
    if (it == m_objects.end())
        return;
    const double t = Seconds(now);
    m_positionBase += double(int32_t(it->value)) * (t - m_targetSince);
    m_targetSince = t;
    it->value = value;
}

uint32_t CVirtualDrive::SettingRefusal(uint32_t key, uint32_t value) const
{
    // An input takes either combinable functions or one of the others, never both.
    if (key >= Dio::kInputFunction1 && key < Dio::kInputFunction1 + Dio::kInputs)
        return Dio::IsMixedFunctionMask(value) ? kAbortValue : 0;
    Pdo::Address pdo;
    bool mapping = false;
    if (!Pdo::AddressOfKey(key, pdo, mapping))
        return 0;
    const auto held = [&](uint32_t other) {
        const auto it = m_objects.constFind(other);
        return it == m_objects.constEnd() ? 0u : it->value;
    };
    const bool valid = (held(pdo.CobIdKey()) & Pdo::kCobIdInvalid) == 0;
    if (!mapping) {
        // A valid PDO keeps its identifier; it is changed while the PDO is not valid.
        const bool stillValid = (value & Pdo::kCobIdInvalid) == 0;
        const bool idChanged = ((value ^ held(key)) & 0x7FF) != 0;
        return key == pdo.CobIdKey() && valid && stillValid && idChanged ? Pdo::kAbortValueRange
                                                                         : 0;
    }
    // The mapping changes only while the PDO is not valid, the entries only while the count is 0.
    if (valid)
        return Pdo::kAbortDeviceState;
    const auto facts = [&](uint32_t entry) {
        Pdo::ObjectFacts object;
        const auto it = m_objects.constFind(Pdo::EntryKey(entry));
        if (it != m_objects.constEnd()) {
            object.exists = true;
            object.mappable = it->mappable;
            object.readable = it->readable;
            object.writable = it->writable;
            object.bits = it->numeric ? it->width : 0;
        }
        return object;
    };
    const int subindex = int(key & 0xFF);
    if (subindex != 0) {
        if (held(pdo.CountKey()) != 0)
            return Pdo::kAbortDeviceState;
        return value == 0 ? 0 : Pdo::EntryRefusal(facts(value), pdo.direction, value);
    }
    if (value > uint32_t(Pdo::kMaxEntries))
        return Pdo::kAbortValueRange;
    std::vector<uint32_t> entries;
    for (int entry = 1; entry <= int(value); ++entry) {
        const uint32_t mapped = held(pdo.EntryKey(entry));
        if (Pdo::EntryRefusal(facts(mapped), pdo.direction, mapped) != 0)
            return Pdo::kAbortNotMappable;
        entries.push_back(mapped);
    }
    return Pdo::TotalBits(entries) > Pdo::kMaxBits ? Pdo::kAbortTooLong : 0;
}

uint32_t CVirtualDrive::Normalise(const Object& object, uint32_t value)
{
    if (!object.numeric || object.width >= 32)
        return value;
    const uint32_t mask = WireMask(object.width);
    value &= mask;
    if (object.isSigned && (value & (1u << (object.width - 1))) != 0)
        value |= ~mask;
    return value;
}

void CVirtualDrive::Abort(const uint8_t* request, uint8_t* reply, uint32_t code)
{
    std::memset(reply, 0, 8);
    reply[0] = SdoFrame::kAbort;
    CopyAddress(request, reply);
    Write32(reply + 4, code);
}

uint32_t CVirtualDrive::Value(uint32_t key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ValueLocked(key, Clock::now());
}

void CVirtualDrive::SetValue(uint32_t key, uint32_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_objects.find(key);
    if (it == m_objects.end() || !it->numeric)
        return;
    const uint32_t held = Normalise(*it, value);
    if (key == kTargetVelocity) {
        SetTargetVelocity(held, Clock::now());
        return;
    }
    it->value = held;
    it->reverting = false;
    if (IsMoving(key) || key == kStatusword)
        m_pinned.insert(key);
}

QByteArray CVirtualDrive::StringValue(uint32_t key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (key == kRecord)
        return m_record;
    const auto it = m_objects.constFind(key);
    return it == m_objects.constEnd() ? QByteArray() : it->bytes;
}

void CVirtualDrive::SetStringValue(uint32_t key, const QByteArray& value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (key == kRecord) {
        m_record = value.left(kMaxRecordBytes);
        return;
    }
    const auto it = m_objects.find(key);
    if (it != m_objects.end() && !it->numeric)
        it->bytes = value;
}

bool CVirtualDrive::HasObject(uint32_t key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_objects.contains(key);
}

int CVirtualDrive::ObjectCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_objects.size());
}

void CVirtualDrive::SetErrorStatus(uint32_t bits)
{
    SetValue(kErrorStatusLow, bits & 0xFFFF);
    SetValue(kErrorStatusHigh, bits >> 16);
}

int CVirtualDrive::RequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int CVirtualDrive::FrameCount(const uint8_t request[8]) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frameCounts.value(QByteArray(reinterpret_cast<const char*>(request), 8));
}

int CVirtualDrive::MaxWriteFrameCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int most = 0;
    for (auto it = m_frameCounts.constBegin(); it != m_frameCounts.constEnd(); ++it) {
        if (SdoFrame::IsWrite(uint8_t(it.key().at(0))))
            most = std::max(most, it.value());
    }
    return most;
}

void CVirtualDrive::SetStimulus(uint32_t key, uint32_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stimulusKey = key;
    m_stimulusValue = value;
}

uint32_t CVirtualDrive::RecorderState() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_recorder.state();
}

void CVirtualDrive::ResetFrameCounts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frameCounts.clear();
}
