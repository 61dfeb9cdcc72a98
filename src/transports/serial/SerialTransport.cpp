// The serial transport library (data/COM.so): one 10-byte request, one 10-byte reply over a tty.

#include "CustomBaud.h"
#include "comm/TransportApi.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kFrameBytes = 10;

// The library's last failure and the folder of port links, shared by its instances.
struct LibraryState
{
    std::mutex mutex;
    std::string lastError;
    std::string deviceFolder;
};

LibraryState& State()
{
    static LibraryState state;
    return state;
}

void SetLastError(const std::string& text)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().lastError = text;
}

std::string DeviceFolder()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().deviceFolder;
}

// The operator's reason why a port did not open, with what helps: the dialout group for a
// permission problem.
std::string OpenFailureText(const std::string& name, const std::string& path, int error)
{
    std::string text = "serial port " + name + " (" + path + "): ";
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return text + "no such port";
    case EACCES:
    case EPERM:
        return text + "permission denied; add the user to the group \"dialout\" "
                      "(sudo usermod -aG dialout $USER) and log in again";
    case EBUSY:
        return text + "port busy: another program uses it";
    default:
        return text + std::strerror(error);
    }
}

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left < INT_MAX ? left : INT_MAX) : 0;
}

// A port is named below /dev ("ttyUSB0", "pts/3", "serial/by-id/usb-...") or by an absolute
// path taken as it is; a relative name that could leave /dev is refused.
bool GoodPortName(const std::string& name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return !name.empty() && (name[0] == '/' || name.find("..") == std::string::npos);
}

std::string PortNameFromBlock(const SerialOpenBlock& block)
{
    std::string name;
    for (char16_t c : block.portName) {
        if (c == 0)
            break;
        if (c < 0x21 || c > 0x7E)
            return {};
        name.push_back(static_cast<char>(c));
    }
    return name;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The system device first; otherwise the folder "dev" of the installation's base folder, where
// the virtual drive keeps a stable link to its pseudo-terminal.
std::string ResolvePortPath(const std::string& name)
{
    if (name[0] == '/')
        return name;
    const std::string system = "/dev/" + name;
    if (Exists(system))
        return system;
    const std::string folder = DeviceFolder();
    if (folder.empty())
        return system;
    const std::string link = folder + "/dev/" + name;
    return Exists(link) ? link : system;
}

bool IsPseudoTerminal(const std::string& path)
{
    char real[PATH_MAX];
    if (!realpath(path.c_str(), real))
        return false;
    return std::string(real).rfind("/dev/pts/", 0) == 0;
}

bool StandardSpeed(uint32_t rate, speed_t& speed)
{
    switch (rate) {
    case 1200:
        speed = B1200;
        return true;
    case 2400:
        speed = B2400;
        return true;
    case 4800:
        speed = B4800;
        return true;
    case 9600:
        speed = B9600;
        return true;
    case 19200:
        speed = B19200;
        return true;
    case 38400:
        speed = B38400;
        return true;
    case 57600:
        speed = B57600;
        return true;
    case 115200:
        speed = B115200;
        return true;
    case 230400:
        speed = B230400;
        return true;
    case 460800:
        speed = B460800;
        return true;
    case 921600:
        speed = B921600;
        return true;
    default:
        return false;
    }
}

class CSerialTransport final : public ISerialTransport
{
public:
    int Open(const SerialOpenBlock* block) override;
    int OpenPort(const char* name, const SerialOpenBlock* block) override;
    int Send(const uint8_t* bytes, int length) override;
    int Receive(uint8_t* bytes, int* length) override;
    void CancelReceive() override;
    void Close() override;
    void Release() override { delete this; }

private:
    ~CSerialTransport();
    bool Configure(const std::string& path, uint32_t rate);
    void ForgetCancel();

    int m_fd = -1;
    // Readable while a cancel is pending; lives as long as the instance, so that a cancel from
    // another thread never meets a closed descriptor.
    const int m_cancelFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    int m_timeoutMs = int(kDefaultReplyTimeoutMs);
};

CSerialTransport::~CSerialTransport()
{
    Close();
    if (m_cancelFd >= 0)
        ::close(m_cancelFd);
}

void CSerialTransport::CancelReceive()
{
    if (m_cancelFd < 0)
        return;
    const uint64_t one = 1;
    // Only a full counter refuses, and then a cancel is pending anyway.
    [[maybe_unused]] const ssize_t n = ::write(m_cancelFd, &one, sizeof one);
}

void CSerialTransport::ForgetCancel()
{
    if (m_cancelFd < 0)
        return;
    uint64_t count = 0;
    // Empty (EAGAIN) when no cancel is pending.
    [[maybe_unused]] const ssize_t n = ::read(m_cancelFd, &count, sizeof count);
}

int CSerialTransport::Open(const SerialOpenBlock* block)
{
    return OpenPort(block ? PortNameFromBlock(*block).c_str() : nullptr, block);
}

int CSerialTransport::OpenPort(const char* portName, const SerialOpenBlock* block)
{
    Close();
    const std::string name = portName ? portName : "";
    if (!block || !GoodPortName(name)) {
        SetLastError("serial port name is empty or not a device name");
        return 1;
    }
    const std::string path = ResolvePortPath(name);
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        SetLastError(OpenFailureText(name, path, errno));
        return 1;
    }
    if (!isatty(m_fd)) {
        Close();
        SetLastError("serial port " + name + " (" + path + "): not a serial port");
        return 1;
    }
    // One program at a time on a line: a second one would take the drive's answers.
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        Close();
        SetLastError(OpenFailureText(name, path, EBUSY));
        return 1;
    }
    if (!Configure(path, block->baudRate)) {
        const int error = errno;
        Close();
        SetLastError("serial port " + name + " (" + path + "): cannot set " +
                     std::to_string(block->baudRate) + " baud 8N1: " + std::strerror(error));
        return 1;
    }
    m_timeoutMs = static_cast<int>(EffectiveReplyTimeout(block->replyTimeoutMs));
    SetLastError({});
    return 0;
}

bool CSerialTransport::Configure(const std::string& path, uint32_t rate)
{
    termios tio;
    if (tcgetattr(m_fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Non-blocking reads paced by poll(): return whatever is there.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed;
    const bool standard = StandardSpeed(rate, speed);
    if (standard) {
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0)
        return false;
    // A pseudo-terminal carries any rate; only a real port must accept it.
    if (!standard && rate != 0 && !SetCustomBaudRate(m_fd, rate) && !IsPseudoTerminal(path))
        return false;
    // DTR and RTS stay low; ports without modem lines (pseudo-terminals) refuse this harmlessly.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(m_fd, TIOCMBIC, &lines);
    tcflush(m_fd, TCIOFLUSH);
    return true;
}

int CSerialTransport::Send(const uint8_t* bytes, int length)
{
    if (m_fd < 0 || !bytes || length <= 0)
        return 1;
    // A reply that came too late for the previous request must not pass for the next one, and a
    // cancel meant for the previous exchange must not cut this one short.
    tcflush(m_fd, TCIFLUSH);
    ForgetCancel();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(m_fd, bytes + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return 1; // EIO: the other side hung up
        pollfd pfd{m_fd, POLLOUT, 0};
        const int ready = poll(&pfd, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return 1;
    }
    return 0;
}

int CSerialTransport::Receive(uint8_t* bytes, int* length)
{
    if (!bytes || !length)
        return 1;
    *length = 0;
    if (m_fd < 0)
        return 1;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    int count = 0;
    while (count < kFrameBytes) {
        pollfd pfds[2] = {{m_fd, POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
        const int ready = poll(pfds, m_cancelFd >= 0 ? 2 : 1, RemainingMs(deadline));
        const pollfd& pfd = pfds[0];
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break; // timeout
        if (pfds[1].revents & POLLIN) {
            count = 0; // cancelled: a part of a frame is no reply
            break;
        }
        if (pfd.revents & POLLIN) {
            const ssize_t n = ::read(m_fd, bytes + count, static_cast<size_t>(kFrameBytes - count));
            if (n > 0) {
                count += static_cast<int>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            break; // end of file or EIO: the other side is gone
        }
        if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))
            break;
    }
    *length = count;
    return 0;
}

void CSerialTransport::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) void CreateObject(ISerialTransport** out)
{
    if (out)
        *out = new (std::nothrow) CSerialTransport;
}

extern "C" __attribute__((visibility("default"))) uint32_t TransportInterfaceVersion()
{
    return kTransportInterfaceVersion;
}

extern "C" __attribute__((visibility("default"))) int TransportLastError(char* buffer, int size)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    const std::string& text = State().lastError;
    if (!buffer || size <= 0)
        return static_cast<int>(text.size());
    const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

extern "C" __attribute__((visibility("default"))) void SetDeviceFolder(const char* folder)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    State().deviceFolder = folder ? folder : "";
}
