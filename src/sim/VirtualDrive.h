#pragma once

#include "MotorModel.h"
#include "SimFaults.h"
#include "SimRecorder.h"
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
// measured values move, the digital inputs and outputs follow their polarity, simulation and
// function settings, PDO mappings are checked as CANopen devices check them, and the recorder of
// index 0x2300 produces a record to upload.
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
    static constexpr uint32_t kStoreMotor = DriveObject::kStoreMotor;       // 1 store
    static constexpr uint32_t kRestart = DriveObject::kRestart;             // 0xAA55 restarts
    static constexpr uint32_t kRecorderState = DriveObject::kRecorderState; // 1 starts; 0 done
    static constexpr uint32_t kRecord = DriveObject::kRecord; // the record, uploaded by segments

    // How long the drive is busy (milliseconds).
    static constexpr int kStoreBusyMs = 300;
    static constexpr int kRestartSilenceMs = 1000;
    // The recorder never makes more; a record set from outside may be longer (up to 64 KiB).
    static constexpr int kRecordLimit = DriveObject::kMaxRecordBytes;
    static constexpr int kMaxRecordBytes = 65536;
    // The virtual drive's own test objects, outside the dictionary: writing a bit number (0 to
    // 31) raises or clears that error bit, as a fault in a real drive would.
    static constexpr uint32_t kRaiseErrorBit = 0x5FFF01;
    static constexpr uint32_t kClearErrorBit = 0x5FFF02;
    // A text the canopen profile lets a client write (expedited or by segments) and read back.
    static constexpr uint32_t kDeviceLabel = 0x5FFF03;

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

    // Serves the SDO protocol of a CANopen device (CiA 301) instead of the drive's own: read
    // replies with size bits, writes confirmed with 0x60 and no value, any expedited width,
    // segmented writes. With unsized, expedited read replies state no size (0x42) and fill the
    // bytes past the object's width with junk, as some devices do.
    // Without blocks, a block upload is refused as an unknown command (the client falls back to
    // segments).
    void SetCanOpen(bool on, bool unsized = false, bool blocks = true);
    bool CanOpen() const;
    // SDO block upload (CiA 301, with CRC) of a text object or the record, canopen profile only:
    // the replies to one request, which may be many (a block of segments) or none. False when
    // the request is no block upload command, which Handle then answers.
    bool HandleBlock(const uint8_t request[8], QList<QByteArray>& replies);

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

    // Where the drive keeps what it stores (its non-volatile memory), so that a drive started
    // again over the same file comes up with the stored values; empty: memory only. Set before
    // Load, which reads it. False (with a reason) when a store cannot write it.
    void SetStoreFile(const QString& path);
    QString StoreFileProblem() const;

    CSimFaults& faults() { return m_faults; }
    int RequestCount() const;
    // Every request frame that arrived is counted by its eight bytes, answered or not: a test
    // sees whether the client sent one twice.
    int FrameCount(const uint8_t request[8]) const;
    // The most times one write frame (command, object and value alike) arrived.
    int MaxWriteFrameCount() const;
    void ResetFrameCounts();
    // A write the drive makes itself once a started recorder has its samples before the trigger
    // point: the step a capture is to show (key 0: none).
    void SetStimulus(uint32_t key, uint32_t value);
    // The recorder's state: 0 done, 1 filling, 2 waiting for the trigger, 3 recording.
    uint32_t RecorderState() const;

private:
    struct Object
    {
        bool numeric = true; // false: bytes uploaded by segments (VISIBLE STRING and others)
        int width = 0;       // 8, 16 or 32 for numeric objects
        bool isSigned = false;
        bool readable = true;
        bool writable = false;
        bool mappable = false; // "M": may be carried by a PDO
        bool stored = false;   // attribute S: kept by a store, across a restart
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
    // The canopen profile's requests; false when the drive's own handling applies.
    bool CanOpenRequest(uint8_t command, uint32_t key, const uint8_t* request, uint8_t* reply,
                        Clock::time_point now);
    bool CanOpenWrite(uint32_t key, uint8_t command, const uint8_t* request, uint8_t* reply,
                      Clock::time_point now);
    void DownloadSegment(uint8_t command, const uint8_t* request, uint8_t* reply);
    // Takes a whole written text; the abort code when refused, else 0.
    uint32_t TakeText(uint32_t key, const QByteArray& text);
    // Store, initialise, restart and recorder start; the abort code when refused, else 0.
    uint32_t Command(uint32_t key, uint32_t value, Clock::time_point now);
    Snapshot TakeSnapshot() const;
    void SaveSnapshot(const Snapshot& snapshot);
    static bool ReadSnapshot(const QString& path, Snapshot& snapshot);
    void ApplySnapshot(const Snapshot* snapshot, Clock::time_point now); // null: the defaults
    // The recorder and the motor behind it, stepped up to now while the recorder runs.
    void StartRecorder(Clock::time_point now);
    void Advance(Clock::time_point now);
    uint32_t Setting(uint32_t key, uint32_t fallback) const;
    CMotorModel::Gains MotorGains() const;
    CMotorModel::Command MotorCommand() const;
    bool IsModelOutput(uint32_t key) const;
    uint32_t ModelValue(uint32_t key) const;
    int RecordSampleBytes() const;

    uint32_t ValueLocked(uint32_t key, Clock::time_point now) const;
    uint32_t StoredValue(const Object& object, Clock::time_point now) const;
    bool IsMoving(uint32_t key) const;
    uint32_t MovingValue(uint32_t key, Clock::time_point when) const;
    double Seconds(Clock::time_point when) const;
    void SetTargetVelocity(uint32_t value, Clock::time_point now);
    // Why the drive refuses a setting, as a CANopen device would (0: it takes it): a PDO's
    // mapping changed while the PDO is valid, an object that cannot be mapped, more than 64
    // bits, an input given both kinds of function.
    uint32_t SettingRefusal(uint32_t key, uint32_t value) const;
    static uint32_t Normalise(const Object& object, uint32_t value);
    static bool IsCommandObject(uint32_t key);
    static void Abort(const uint8_t* request, uint8_t* reply, uint32_t code);

    mutable std::mutex m_mutex;
    QHash<uint32_t, Object> m_objects;
    std::optional<Snapshot> m_stored;
    QString m_storeFile;
    QString m_storeFileProblem;
    Upload m_upload;
    struct Download
    {
        bool active = false;
        uint32_t key = 0;
        int size = 0;
        uint8_t nextToggle = 0;
        QByteArray data;
    };
    Download m_download;
    struct BlockUpload
    {
        bool active = false;
        uint32_t key = 0;
        QByteArray data;
        int position = 0;  // bytes sent and acknowledged
        int blockSize = 0; // segments per block
        int sentInBlock = 0;
    };
    BlockUpload m_block;
    bool m_canOpen = false;
    bool m_unsized = false;
    bool m_blocks = true;
    QByteArray m_label = QByteArrayLiteral("Axis");
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
    CMotorModel m_motor;
    CSimRecorder m_recorder;
    Clock::time_point m_modelTime{};
    uint32_t m_stimulusKey = 0;
    uint32_t m_stimulusValue = 0;
};
