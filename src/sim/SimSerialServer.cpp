#include "SimSerialServer.h"

#include "VirtualDrive.h"
#include "comm/SdoFrame.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFrameBytes = 10;
// A frame begun but not finished within this time is dropped: the client has given up on it.
constexpr int kPartialFrameMs = 500;
constexpr int kWriteTimeoutMs = 1000;
// A reply cut short: node id, command, object and one data byte of its ten.
constexpr int kTruncatedBytes = 6;

// The scheduler's request for a short time slice (sched_setattr's runtime for a normal
// thread); the C library has no wrapper for it.
struct SliceRequest
{
    uint32_t size;
    uint32_t policy;
    uint64_t flags;
    int32_t nice;
    uint32_t priority;
    uint64_t runtimeNs;
    uint64_t deadlineNs;
    uint64_t periodNs;
};

// The thread that paces the line wakes for every reply: a timer slack or a long time slice of
// the scheduler would delay each reply past the moment its last byte is through, and the figures
// would measure the simulator instead of the program on the other end.
void KeepLinePace()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    SliceRequest slice{};
    slice.size = sizeof slice;
    slice.policy = SCHED_OTHER;
    // The request sets the niceness too: keep the one the program was started with.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    slice.nice = errno == 0 ? nice : 0;
    slice.runtimeNs = 100000; // the shortest the scheduler grants; ignored by older kernels
    [[maybe_unused]] const long result = syscall(SYS_sched_setattr, 0, &slice, 0U);
}

} // namespace

CSimSerialServer::CSimSerialServer(CVirtualDrive& drive) : m_drive(drive) {}

CSimSerialServer::~CSimSerialServer()
{
    Stop();
}

bool CSimSerialServer::Fail(const QString& error)
{
    m_error = error;
    Stop();
    return false;
}

bool CSimSerialServer::Start(uint32_t nodeId, int baud, const QString& linkPath)
{
    if (m_thread.joinable())
        return false;
    m_error.clear();
    m_nodeId = nodeId;
    m_baud = baud > 0 ? baud : 0;

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return Fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno)));
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return Fail(QStringLiteral("cannot name the pseudo-terminal: %1").arg(strerror(errno)));
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return Fail(QStringLiteral("cannot open %1: %2").arg(m_slavePath, strerror(errno)));
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return Fail(QStringLiteral("cannot create a pipe: %1").arg(strerror(errno)));

    if (!linkPath.isEmpty()) {
        const QFileInfo info(linkPath);
        if (info.isSymLink()) {
            QFile::remove(linkPath);
        } else if (info.exists()) {
            return Fail(QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));
        }
        QDir().mkpath(info.absolutePath());
        if (!QFile::link(m_slavePath, linkPath))
            return Fail(QStringLiteral("cannot create the link %1").arg(linkPath));
        m_linkPath = linkPath;
    }

    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

QString CSimSerialServer::PortName() const
{
    static const QString dev = QStringLiteral("/dev/");
    return m_slavePath.startsWith(dev) ? m_slavePath.mid(dev.size()) : m_slavePath;
}

void CSimSerialServer::Stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_sleepMutex);
            m_stop = true;
        }
        m_sleepCv.notify_all();
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    if (!m_linkPath.isEmpty()) {
        const QFileInfo info(m_linkPath);
        if (info.isSymLink() && info.symLinkTarget() == m_slavePath)
            QFile::remove(m_linkPath);
        m_linkPath.clear();
    }
    for (int* fd : {&m_master, &m_slave, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

bool CSimSerialServer::SleepUntil(Clock::time_point when)
{
    // One absolute wait per reply: the line's pace comes from the clock, so late wake-ups never
    // add up, and the thread holds no processor while the bytes are on the wire.
    std::unique_lock<std::mutex> lock(m_sleepMutex);
    return !m_sleepCv.wait_until(lock, when, [this] { return m_stop.load(); });
}

bool CSimSerialServer::WriteAll(const uint8_t* bytes, int length)
{
    int done = 0;
    while (done < length && !m_stop) {
        const ssize_t n = write(m_master, bytes + done, size_t(length - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd out{m_master, POLLOUT, 0};
        if (poll(&out, 1, kWriteTimeoutMs) <= 0)
            return false; // nobody reads the terminal: the reply is lost, as on a dead line
    }
    return done == length;
}

void CSimSerialServer::Serve()
{
    KeepLinePace();
    // Ten bytes of ten bits each way: a request and its reply take this long on the wire,
    // rounded up so that no reply comes a fraction early.
    const auto frameTime = m_baud > 0
                               ? std::chrono::nanoseconds((100000000000LL + m_baud - 1) / m_baud)
                               : std::chrono::nanoseconds(0);
    std::vector<uint8_t> buffer;
    std::vector<Clock::time_point> arrived; // when each buffered byte came in
    Clock::time_point lineFree{};
    // Replies held back by a planned delay. The delay is the drive's latency, not a busy line:
    // requests that come in meanwhile are taken and answered in their own time.
    std::multimap<Clock::time_point, std::vector<uint8_t>> late;

    while (!m_stop) {
        Clock::time_point now = Clock::now();
        while (!late.empty() && late.begin()->first <= now) {
            WriteAll(late.begin()->second.data(), int(late.begin()->second.size()));
            late.erase(late.begin());
        }
        int waitMs = -1;
        if (!buffer.empty()) {
            const auto partialLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                arrived.front() + std::chrono::milliseconds(kPartialFrameMs) - now);
            waitMs = int(std::max<int64_t>(0, partialLeft.count()));
        }
        if (!late.empty()) {
            const auto lateLeft = std::chrono::duration_cast<std::chrono::milliseconds>(
                late.begin()->first - now + std::chrono::microseconds(999));
            const int lateMs = int(std::max<int64_t>(0, lateLeft.count()));
            waitMs = waitMs < 0 ? lateMs : std::min(waitMs, lateMs);
        }
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = poll(fds, 2, waitMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0)
            break;
        now = Clock::now();
        if (ready == 0) {
            // A frame begun long ago will not be finished: the client gave up on it.
            if (!buffer.empty() &&
                now - arrived.front() >= std::chrono::milliseconds(kPartialFrameMs)) {
                buffer.clear();
                arrived.clear();
            }
            continue;
        }
        if (fds[0].revents & POLLIN) {
            uint8_t chunk[256];
            const ssize_t n = read(m_master, chunk, sizeof chunk);
            if (n > 0) {
                buffer.insert(buffer.end(), chunk, chunk + n);
                arrived.insert(arrived.end(), size_t(n), now);
            }
        } else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            break;
        }

        while (buffer.size() >= size_t(kFrameBytes) && !m_stop) {
            if (SdoFrame::Checksum(buffer.data(), kFrameBytes) != 0) {
                // Not a frame here: slide one byte and look again.
                buffer.erase(buffer.begin());
                arrived.erase(arrived.begin());
                continue;
            }
            std::array<uint8_t, kFrameBytes> frame;
            std::memcpy(frame.data(), buffer.data(), kFrameBytes);
            const Clock::time_point start = std::max(arrived.front(), lineFree);
            buffer.erase(buffer.begin(), buffer.begin() + kFrameBytes);
            arrived.erase(arrived.begin(), arrived.begin() + kFrameBytes);
            const Clock::time_point requestEnd = start + frameTime;
            lineFree = requestEnd;
            if (frame[0] != static_cast<uint8_t>(m_nodeId))
                continue;

            std::array<uint8_t, kFrameBytes> reply{};
            if (!m_drive.Handle(frame.data() + 1, reply.data() + 1)) {
                if (m_drive.faults().Unplugged()) {
                    Unplug();
                    return;
                }
                continue;
            }
            reply[0] = static_cast<uint8_t>(m_nodeId);
            reply[9] = SdoFrame::Checksum(reply.data());
            CSimFaults& faults = m_drive.faults();
            if (faults.TakeCorrupt())
                reply[9] = static_cast<uint8_t>(reply[9] + 1);
            const int length = faults.TakeTruncate() ? kTruncatedBytes : kFrameBytes;
            const int copies = faults.TakeDuplicate() ? 2 : 1;
            const int delayMs = faults.TakeReplyDelayMs();
            const Clock::time_point due = requestEnd + frameTime;
            if (delayMs > 0) {
                for (int copy = 0; copy < copies; ++copy)
                    late.emplace(due + std::chrono::milliseconds(delayMs),
                                 std::vector<uint8_t>(reply.begin(), reply.begin() + length));
                continue;
            }
            // A second copy follows the first on the line.
            int copy = 0;
            while (copy < copies && SleepUntil(due + frameTime * copy)) {
                WriteAll(reply.data(), length);
                ++copy;
            }
            if (copy < copies)
                break;
            lineFree = std::max(Clock::now(), due + frameTime * (copies - 1));
        }
    }
}

void CSimSerialServer::Unplug()
{
    // The master closed is a line pulled out: the client's side reads a hang-up.
    for (int* fd : {&m_master, &m_slave}) {
        close(*fd);
        *fd = -1;
    }
    if (onUnplugged)
        onUnplugged();
}
