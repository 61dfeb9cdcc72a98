#include "VirtualDrive.h"

#include "base/TextNumbers.h"

#include "comm/LittleEndian.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"
#include "eds/EdsReader.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
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
constexpr uint32_t kInputPolarity = 0x201001;
constexpr uint32_t kInputSimulation = 0x201002;
constexpr uint32_t kInputState = 0x20100B;
constexpr uint32_t kVirtualInputState = 0x20100C;
constexpr uint32_t kSimulatedInputLevel = 0x201015;

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
        object.readable = attribute.contains(QLatin1Char('R')) || !object.writable;
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
    m_upload = Upload();
    m_haveLastReply = false;
    m_record.clear();
    m_pinned.clear();
    m_epoch = Clock::now();
    m_restartUntil = {};
    m_positionBase = 0;
    m_targetSince = 0;
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
    if (IsCommandObject(key)) {
        const uint32_t refused = Command(key, held, now);
        if (refused != 0) {
            Abort(request, reply, refused);
            return true;
        }
    } else if (key == kTargetVelocity) {
        SetTargetVelocity(held, now);
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
        m_restartUntil = now + std::chrono::milliseconds(kRestartSilenceMs);
        return 0;
    case kRecorderState:
        if (value == 1) {
            m_record = MakeRecord(now);
            busy(1, kRecorderBusyMs);
        } else if (value == 0) {
            object.value = 0;
            object.reverting = false;
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
        if (!it->writable || IsCommandObject(it.key()))
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
        if (!it->numeric) {
            it->bytes =
                snapshot ? snapshot->bytes.value(it.key(), it->defaultBytes) : it->defaultBytes;
            continue;
        }
        const uint32_t value =
            snapshot ? snapshot->values.value(it.key(), it->defaultValue) : it->defaultValue;
        it->reverting = false;
        if (it.key() == kTargetVelocity)
            SetTargetVelocity(value, now);
        else
            it->value = value;
    }
}

QByteArray CVirtualDrive::MakeRecord(Clock::time_point now) const
{
    // Sample layout: slot 1 (2 bytes), slot 2 (2), slot 5 (4), slot 3 (2), slot 4 (2), slot 6 (4)
    // for every slot that names an object, little-endian.
    struct Field
    {
        uint32_t key;
        int bytes;
    };
    static const uint8_t slotOrder[6] = {1, 2, 5, 3, 4, 6};
    std::vector<Field> fields;
    int sampleSize = 0;
    for (const uint8_t slot : slotOrder) {
        const auto it = m_objects.constFind(0x230000u + slot);
        if (it == m_objects.constEnd())
            continue;
        const uint32_t descriptor = StoredValue(*it, now);
        if (descriptor == 0)
            continue;
        const int bytes = slot >= 5 ? 4 : 2;
        fields.push_back(Field{descriptor >> 8, bytes});
        sampleSize += bytes;
    }
    const auto setting = [&](uint32_t key, uint32_t fallback) {
        const auto it = m_objects.constFind(key);
        return it == m_objects.constEnd() ? fallback : (StoredValue(*it, now) & 0xFFFF);
    };
    const uint32_t period = std::max<uint32_t>(1, setting(0x230008, 16));
    uint32_t count = setting(0x23000A, 0);
    if (sampleSize == 0)
        return QByteArray();
    count = std::min<uint32_t>(count, uint32_t(kMaxRecordBytes / sampleSize));

    QByteArray record;
    record.reserve(int(count) * sampleSize);
    for (uint32_t i = 0; i < count; ++i) {
        // The period counts in 62.5 us steps.
        const Clock::time_point at =
            now + std::chrono::microseconds(int64_t(i) * period * 625 / 10);
        for (const Field& field : fields) {
            const uint32_t value = m_objects.contains(field.key) ? ValueLocked(field.key, at) : 0;
            for (int b = 0; b < field.bytes; ++b)
                record.append(static_cast<char>(value >> (8 * b)));
        }
    }
    return record;
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
    case kVirtualInputState: {
        // The inputs as the drive uses them: polarity applied, simulated ones replaced.
        const uint32_t actual =
            m_objects.contains(kInputState) ? ValueLocked(kInputState, when) : object.value;
        const uint32_t simulated = stored(kInputSimulation);
        return ((actual ^ stored(kInputPolarity)) & ~simulated) |
               (stored(kSimulatedInputLevel) & simulated);
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

void CVirtualDrive::ResetFrameCounts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frameCounts.clear();
}
