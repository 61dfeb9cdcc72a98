#include "SimRecorder.h"

#include <algorithm>

void CSimRecorder::Arm(const Setup& setup)
{
    m_setup = setup;
    m_setup.period = std::max<uint32_t>(1, setup.period);
    m_sampleBytes = 0;
    for (const Field& field : setup.fields)
        m_sampleBytes += field.bytes;
    m_pre.clear();
    m_post.clear();
    m_postCount = 0;
    m_stepInPeriod = 0;
    m_havePrevious = false;
    m_armedEdge = false;
    const int64_t offset = setup.offset;
    // The trigger sample itself is part of the record, so at most count - 1 come before it.
    m_before =
        size_t(std::clamp<int64_t>(offset, 0, std::max<int64_t>(int64_t(setup.count) - 1, 0)));
    m_delay = offset < 0 ? uint32_t(-offset) : 0;
    if (m_sampleBytes == 0 || setup.count == 0) {
        // Nothing to sample: an empty record at once.
        m_record.clear();
        m_state = Done;
        return;
    }
    m_state = m_before > 0 ? Filling : Armed;
    m_armedEdge = m_state == Armed;
}

void CSimRecorder::Stop()
{
    m_state = Done;
}

bool CSimRecorder::TakeArmedEdge()
{
    const bool edge = m_armedEdge;
    m_armedEdge = false;
    return edge;
}

QByteArray CSimRecorder::Sample(const Sampler& sample) const
{
    QByteArray bytes;
    bytes.reserve(m_sampleBytes);
    for (const Field& field : m_setup.fields) {
        const uint32_t value = sample(field.key);
        for (int b = 0; b < field.bytes; ++b)
            bytes.append(char(value >> (8 * b)));
    }
    return bytes;
}

int64_t CSimRecorder::TriggerValue(uint32_t raw) const
{
    const int width = m_setup.triggerWidth;
    if (width >= 32)
        return m_setup.triggerSigned ? int64_t(int32_t(raw)) : int64_t(raw);
    const uint32_t mask = (1u << width) - 1u;
    raw &= mask;
    if (m_setup.triggerSigned && (raw & (1u << (width - 1))) != 0)
        return int64_t(raw) - (int64_t(1) << width);
    return int64_t(raw);
}

void CSimRecorder::Step(const Sampler& sample)
{
    if (m_state == Done)
        return;
    if (++m_stepInPeriod < m_setup.period)
        return;
    m_stepInPeriod = 0;

    bool triggered = false;
    if (m_state == Armed) {
        if (m_setup.triggerKey == 0) {
            triggered = true;
        } else {
            const int64_t value = TriggerValue(sample(m_setup.triggerKey));
            const int64_t level = m_setup.level;
            triggered = m_havePrevious && (m_setup.rising ? (m_previous < level && value >= level)
                                                          : (m_previous > level && value <= level));
            m_previous = value;
            m_havePrevious = true;
        }
    }
    if (m_state == Filling || (m_state == Armed && !triggered)) {
        m_pre.push_back(Sample(sample));
        while (m_pre.size() > m_before)
            m_pre.pop_front();
        if (m_state == Filling && m_pre.size() >= m_before) {
            m_state = Armed;
            m_armedEdge = true;
        }
        return;
    }
    if (triggered)
        m_state = Recording;
    if (m_delay > 0) {
        --m_delay;
        return;
    }
    m_post.append(Sample(sample));
    if (++m_postCount + m_pre.size() >= m_setup.count)
        Finish();
}

void CSimRecorder::Finish()
{
    m_record.clear();
    m_record.reserve(int(m_setup.count) * m_sampleBytes);
    for (const QByteArray& bytes : m_pre)
        m_record.append(bytes);
    m_record.append(m_post);
    m_pre.clear();
    m_post.clear();
    m_state = Done;
}
