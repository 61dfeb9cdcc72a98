#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// The drive's recorder as it runs: armed with its settings, it takes one sample every period
// (in base steps of 62.5 us), keeps the samples before the trigger point, waits for the trigger
// object to cross its level on the chosen edge, records the rest and then holds the record.
class CSimRecorder
{
public:
    enum State : uint32_t
    {
        Done = 0,      // idle, the last record ready
        Filling = 1,   // taking the samples before the trigger point
        Armed = 2,     // waiting for the trigger
        Recording = 3, // taking the samples after it
    };

    struct Field
    {
        uint32_t key = 0;
        int bytes = 0; // 2 or 4
    };
    struct Setup
    {
        std::vector<Field> fields; // record order
        uint32_t period = 1;       // base steps per sample
        int32_t offset = 0;        // samples before the trigger point (negative: a delay after it)
        uint32_t count = 0;
        uint32_t triggerKey = 0; // 0: manual trigger, at once
        bool triggerSigned = false;
        int triggerWidth = 32;
        bool rising = true;
        int32_t level = 0;
    };
    // The value of an object at the current step.
    using Sampler = std::function<uint32_t(uint32_t key)>;

    virtual ~CSimRecorder() = default;

    void Arm(const Setup& setup);
    void Stop();
    // One base step has passed.
    void Step(const Sampler& sample);
    State state() const { return m_state; }
    bool running() const { return m_state != Done; }
    // Set once when the samples before the trigger point are in (the drive's own stimulus goes
    // out then); cleared by reading it.
    bool TakeArmedEdge();
    const QByteArray& record() const { return m_record; }
    void SetRecord(const QByteArray& record) { m_record = record; }
    int sampleBytes() const { return m_sampleBytes; }

private:
    QByteArray Sample(const Sampler& sample) const;
    int64_t TriggerValue(uint32_t raw) const;
    void Finish();

    Setup m_setup;
    State m_state = Done;
    int m_sampleBytes = 0;
    uint32_t m_stepInPeriod = 0;
    size_t m_before = 0;  // samples kept before the trigger point
    uint32_t m_delay = 0; // samples skipped after the trigger (negative offset)
    std::deque<QByteArray> m_pre;
    QByteArray m_post;
    uint32_t m_postCount = 0;
    bool m_havePrevious = false;
    int64_t m_previous = 0;
    bool m_armedEdge = false;
    QByteArray m_record;
};
