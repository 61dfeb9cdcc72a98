#pragma once

#include "SimFaults.h"
#include "comm/AbortCodes.h"
#include "comm/DriveObjects.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

// A drive in software: its object dictionary and the SDO server that answers one request at a
// time, byte for byte as the real drive does. The serial and CAN servers feed it; tests call
// Handle() directly. Thread-safe.
//
// Beyond plain objects it keeps the drive's behaviour that the program relies on: the
// statusword's fault bit follows the error status and mask, store and initialise commands are
// busy for a while, a restart makes the drive silent and brings back the stored values, a few
// measured values move, and the recorder of index 0x2300 produces a record to upload.
class CVirtualDrive
{
public:
    using Clock = std::chrono::steady_clock;

    // Abort codes (CiA 301) of the drive's refusals.
    static constexpr uint32_t kAbortToggle =
        AbortCode::kToggle; // segment toggle bit not alternated
    static constexpr uint32_t kAbortCommand =
        AbortCode::kCommand; // unknown command; segment request
                             // without an upload (also after the
                             // last segment was sent)
    static constexpr uint32_t kAbortWriteOnly =
        AbortCode::kWriteOnly; // read of a write-only object
    static constexpr uint32_t kAbortReadOnly =
        AbortCode::kReadOnly; // write of an object without "W"
    static constexpr uint32_t kAbortNoObject = AbortCode::kNoObject; // object not in the dictionary
    static constexpr uint32_t kAbortLength =
        AbortCode::kLength;                                    // write width does not fit the type
    static constexpr uint32_t kAbortValue = AbortCode::kValue; // value not accepted by a command

    // Objects with a behaviour of their own.
    static constexpr uint32_t kStatusword = DriveObject::kStatusword;
    static constexpr uint32_t kErrorMaskLow = DriveObject::kErrorMaskLow;
    static constexpr uint32_t kErrorMaskHigh = DriveObject::kErrorMaskHigh;
    static constexpr uint32_t kErrorStatusLow = DriveObject::kErrorStatusLow;
    static constexpr uint32_t kErrorStatusHigh = DriveObject::kErrorStatusHigh;
    static constexpr uint32_t kStoreControl =
        DriveObject::kStoreControl; // 1 store, 10 initialise, 0 acknowledge
    static constexpr uint32_t kStoreMotor = DriveObject::kStoreMotor; // 1 store
    static constexpr uint32_t kRestart = DriveObject::kRestart;       // 0xAA55 restarts
    static constexpr uint32_t kRecorderState = 0x230007; // write 1 starts, reads 0 when done
    static constexpr uint32_t kRecord = 0x230010;        // the record, uploaded by segments

    // How long the drive is busy (milliseconds).
    static constexpr int kStoreBusyMs = 300;
    static constexpr int kRestartSilenceMs = 1000;
    static constexpr int kRecorderBusyMs = 200;
    static constexpr int kMaxRecordBytes = 65536;
    // The virtual drive's own test objects, outside the dictionary: writing a bit number (0 to
    // 31) raises or clears that error bit, as a fault in a real drive would.
    static constexpr uint32_t kRaiseErrorBit = 0x5FFF01;
    static constexpr uint32_t kClearErrorBit = 0x5FFF02;

    CVirtualDrive();
    virtual ~CVirtualDrive() = default;
    CVirtualDrive(const CVirtualDrive&) = delete;
    CVirtualDrive& operator=(const CVirtualDrive&) = delete;

    // Reads velmor.dat and velmor-defaults.tsv of dataDir; replaces every object. Lines of the
    // defaults file that cannot be read are skipped. False (with a reason) when the defaults file
    // cannot be read or holds no object.
    bool Load(const QString& dataDir, QString* error = nullptr);
    // Takes the objects of an EDS or DCF file, $NODEID standing for nodeId; writes outside an
    // object's LowLimit and HighLimit are refused. False (with the file's first fault) when the
    // file is broken.
    bool LoadEds(const QString& path, int nodeId, QString* error = nullptr);

    // One SDO request (command, index lo, index hi, subindex, value LE) -> the reply's eight
    // bytes. False when the drive sends nothing (fault plan, silence, restart).
    bool Handle(const uint8_t request[8], uint8_t reply[8]);

    // The value a read would give now (numeric objects; sign-extended for signed types).
    uint32_t Value(uint32_t key) const;
    // Sets a numeric object; a moving value set this way stays where it was put.
    void SetValue(uint32_t key, uint32_t value);
    QByteArray StringValue(uint32_t key) const;
    void SetStringValue(uint32_t key, const QByteArray& value);
    bool HasObject(uint32_t key) const;
    int ObjectCount() const;
    // The 32-bit error status: its low and high word objects.
    void SetErrorStatus(uint32_t bits);

    CSimFaults& faults() { return m_faults; }
    int RequestCount() const;
    // Every request frame that arrived is counted by its eight bytes, answered or not: a test
    // sees whether the client sent one twice.
    int FrameCount(const uint8_t request[8]) const;
    // The most times one write frame (command, object and value alike) arrived.
    int MaxWriteFrameCount() const;
    void ResetFrameCounts();

private:
    struct Object
    {
        bool numeric = true; // false: bytes uploaded by segments (VISIBLE STRING and others)
        int width = 0;       // 8, 16 or 32 for numeric objects
        bool isSigned = false;
        bool readable = true;
        bool writable = false;
        uint32_t value = 0;
        uint32_t defaultValue = 0;
        int64_t low = INT64_MIN; // limits of the value a write may set
        int64_t high = INT64_MAX;
        QByteArray bytes;
        QByteArray defaultBytes;
        // A value that falls back by itself (store busy, recorder running).
        bool reverting = false;
        Clock::time_point revertAt{};
        uint32_t revertTo = 0;
    };

    // An object as a source names it: type and access letters as the dictionary writes them,
    // the default as text.
    struct Entry
    {
        QString type;
        QString attribute;
        QString value;
        int64_t low = INT64_MIN;
        int64_t high = INT64_MAX;
    };

    struct Snapshot
    {
        QHash<uint32_t, uint32_t> values;
        QHash<uint32_t, QByteArray> bytes;
    };

    struct Upload
    {
        bool active = false;
        QByteArray data;
        int position = 0;
        uint8_t nextToggle = 0;
        // The last segment sent, repeated when the client asks again with the same toggle bit
        // (it retries after a damaged reply).
        bool haveLast = false;
        uint8_t lastToggle = 0;
        uint8_t lastReply[8] = {};
    };

    bool Install(const QList<uint32_t>& order, const QHash<uint32_t, Entry>& entries,
                 const QString& source, QString* error);
    bool Read(uint32_t key, const uint8_t* request, uint8_t* reply, Clock::time_point now);
    bool Write(uint32_t key, uint8_t command, uint32_t value, const uint8_t* request,
               uint8_t* reply, Clock::time_point now);
    bool Segment(uint8_t command, const uint8_t* request, uint8_t* reply);
    // Store, initialise, restart and recorder start; the abort code when refused, else 0.
    uint32_t Command(uint32_t key, uint32_t value, Clock::time_point now);
    Snapshot TakeSnapshot() const;
    void ApplySnapshot(const Snapshot* snapshot, Clock::time_point now); // null: the defaults
    QByteArray MakeRecord(Clock::time_point now) const;

    uint32_t ValueLocked(uint32_t key, Clock::time_point now) const;
    uint32_t StoredValue(const Object& object, Clock::time_point now) const;
    bool IsMoving(uint32_t key) const;
    uint32_t MovingValue(uint32_t key, Clock::time_point when) const;
    double Seconds(Clock::time_point when) const;
    void SetTargetVelocity(uint32_t value, Clock::time_point now);
    static uint32_t Normalise(const Object& object, uint32_t value);
    static bool IsCommandObject(uint32_t key);
    static void Abort(const uint8_t* request, uint8_t* reply, uint32_t code);

    mutable std::mutex m_mutex;
    QHash<uint32_t, Object> m_objects;
    std::optional<Snapshot> m_stored;
    Upload m_upload;
    QByteArray m_record;
    QSet<uint32_t> m_pinned;
    Clock::time_point m_epoch;
    Clock::time_point m_restartUntil{};
    // Actual position = base + target velocity x time since the last target change + ripple.
    double m_positionBase = 0;
    double m_targetSince = 0;
    int m_requests = 0;
    QHash<QByteArray, int> m_frameCounts;
    // The last reply sent, for a replay.
    bool m_haveLastReply = false;
    uint8_t m_lastReply[8] = {};
    CSimFaults m_faults;
};
