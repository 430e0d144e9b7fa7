// Serial ports over termios. The port is put in raw mode with cfmakeraw and
// stays there whatever DCB the program sets: the sensors send binary dumps in
// which 0x03, 0x0D, 0x11 and 0x13 are ordinary bytes, so no line discipline,
// flow-control character or signal key may touch the stream.
#include "platform/comm/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <string>

#include "platform/WinText.h"
#include "platform/kernel/KernelInternal.h"

namespace qplat {

namespace {

std::atomic<unsigned long long> g_commCalls{0};
std::atomic<DWORD> g_timeoutScale{100};

struct Diagnoses {
    std::mutex lock;
    std::map<std::string, std::string> last;  // subject -> the last line written about it
};

Diagnoses& Reported()
{
    static Diagnoses* d = new Diagnoses;
    return *d;
}

using Clock = std::chrono::steady_clock;

long long MillisSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct BaudEntry {
    DWORD baud;
    speed_t speed;
};

const BaudEntry kBauds[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

bool SpeedOf(DWORD baud, speed_t& speed)
{
    for (const auto& e : kBauds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

DWORD BaudOf(speed_t speed)
{
    for (const auto& e : kBauds) {
        if (e.speed == speed)
            return e.baud;
    }
    return CBR_115200;
}

// Raw mode plus what every port needs: the receiver on, modem control lines
// ignored (a Bluetooth serial link has no carrier), reads never block in the
// driver (the time-outs are ours).
void MakeRaw(termios& t)
{
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

std::string ErrnoText(int err)
{
    char buf[128];
    // The GNU form: the text may or may not be placed in the buffer.
    return strerror_r(err, buf, sizeof buf);
}

bool Hangup(int err)
{
    // The terminal's, then a socket's: the peer closed, reset or went out of
    // reach.
    return err == EIO || err == ENXIO || err == EBADF || err == ENODEV || err == EPIPE || err == ECONNRESET ||
           err == ENOTCONN || err == ECONNABORTED || err == ETIMEDOUT || err == EHOSTDOWN || err == EHOSTUNREACH;
}

}  // namespace

void DiagnoseComm(const std::string& subject, const std::string& line)
{
    {
        Diagnoses& d = Reported();
        std::lock_guard<std::mutex> guard(d.lock);
        auto [it, added] = d.last.try_emplace(subject, line);
        if (!added) {
            if (it->second == line)
                return;
            it->second = line;
        }
    }
    OutputDebugStringW(FromUtf8(line + "\n").c_str());
}

void ClearCommDiagnosis(const std::string& subject)
{
    Diagnoses& d = Reported();
    std::lock_guard<std::mutex> guard(d.lock);
    d.last.erase(subject);
}

void ClearCommDiagnoses()
{
    Diagnoses& d = Reported();
    std::lock_guard<std::mutex> guard(d.lock);
    d.last.clear();
}

void CountCommCall()
{
    g_commCalls.fetch_add(1);
}

unsigned long long ScaleCommTimeout(unsigned long long ms)
{
    // Far beyond any real wait (about 35 years), and safe to multiply.
    constexpr unsigned long long kLongest = 1ULL << 40;
    if (ms > kLongest)
        ms = kLongest;
    return ms * g_timeoutScale.load() / 100;
}

void SetCommTimeoutScale(DWORD percent)
{
    g_timeoutScale.store(percent == 0 ? 1 : percent);
}

unsigned long long CommCallCount()
{
    return g_commCalls.load();
}

std::shared_ptr<SerialPort> SerialPort::Open(const std::string& hostDevice)
{
    // Why a port cannot be opened is invisible to the program (it only sees
    // the link stay down), so each reason is written once to the debug output.
    auto fail = [&](DWORD error, const std::string& why) {
        DiagnoseComm(hostDevice, "serial port " + hostDevice + ": " + why + " (error " + std::to_string(error) + ")");
        SetLastError(error);
        return nullptr;
    };
    int fd = ::open(hostDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        const std::string why = err == ENOENT ? "the device is missing"
                                : err == EACCES || err == EPERM ? "no permission to open it"
                                                                : "cannot be opened";
        return fail(err == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(err), why + ": " + ErrnoText(err));
    }
    termios t{};
    if (!isatty(fd) || tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return fail(ERROR_INVALID_HANDLE, "not a terminal, so not a serial line");
    }
    MakeRaw(t);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(ErrorFromErrno(err), std::string("cannot be set to raw mode: ") + ErrnoText(err));
    }
    ClearCommDiagnosis(hostDevice);
    std::shared_ptr<SerialPort> port(new SerialPort);
    port->fd_ = fd;
    if (!port->InitCommon())
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
        const unsigned m = major(st.st_rdev);
        port->pseudoTerminal_ = m >= 136 && m <= 143;  // Unix98 pseudo-terminal devices
    }
    port->dcb_.BaudRate = BaudOf(cfgetospeed(&t));
    return port;
}

std::shared_ptr<SerialPort> SerialPort::Adopt(int socket, std::function<void()> closed)
{
    std::shared_ptr<SerialPort> port(new SerialPort);
    port->fd_ = socket;
    port->socket_ = true;
    port->closedCallback_ = std::move(closed);
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0 || fcntl(socket, F_SETFD, FD_CLOEXEC) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;  // the destructor closes the socket and reports it gone
    }
    if (!port->InitCommon())
        return nullptr;
    return port;
}

bool SerialPort::InitCommon()
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    DCB& d = dcb_;
    d.DCBlength = sizeof(DCB);
    d.BaudRate = CBR_115200;
    d.fBinary = 1;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fRtsControl = RTS_CONTROL_ENABLE;
    d.fTXContinueOnXoff = 1;
    d.XonLim = 2048;
    d.XoffLim = 512;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 0x11;
    d.XoffChar = 0x13;
    return true;
}

SerialPort::~SerialPort()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (wakeRead_ >= 0)
        ::close(wakeRead_);
    if (wakeWrite_ >= 0)
        ::close(wakeWrite_);
    if (closedCallback_)
        closedCallback_();
}

void SerialPort::Wake()
{
    const char b = 1;
    ssize_t r = ::write(wakeWrite_, &b, 1);
    (void)r;  // a full pipe already wakes every waiter
}

bool SerialPort::DrainWake()
{
    char buf[64];
    while (::read(wakeRead_, buf, sizeof buf) > 0) {
    }
    return closed_.load();
}

void SerialPort::OnClose()
{
    // The descriptor itself is closed by the destructor, once a read that is
    // still under way on another thread has returned.
    closed_.store(true);
    Wake();
}

SerialPort::Transfer SerialPort::BeginTransfer(const void* buffer, DWORD size, DWORD* done, COMMTIMEOUTS& to)
{
    if (done)
        *done = 0;
    if (closed_.load()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Transfer::Failed;
    }
    CountCommCall();
    if (size == 0)
        return Transfer::Done;
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return Transfer::Failed;
    }
    std::lock_guard<std::mutex> guard(lock_);
    to = timeouts_;
    return Transfer::Go;
}

BOOL SerialPort::Read(void* buffer, DWORD toRead, DWORD* read)
{
    COMMTIMEOUTS to;
    const Transfer check = BeginTransfer(buffer, toRead, read, to);
    if (check != Transfer::Go)
        return check == Transfer::Done ? TRUE : FALSE;
    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD got = 0;
    const unsigned abortMark = rxAbort_.load();
    const Clock::time_point start = Clock::now();

    // Interval MAXDWORD with no totals: whatever is there, at once.
    const bool immediate = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == 0 &&
                           to.ReadTotalTimeoutConstant == 0;
    // Interval and multiplier MAXDWORD: wait up to the constant for the first
    // byte, then return what is there.
    const bool firstByte = to.ReadIntervalTimeout == MAXDWORD && to.ReadTotalTimeoutMultiplier == MAXDWORD &&
                           to.ReadTotalTimeoutConstant != 0 && to.ReadTotalTimeoutConstant != MAXDWORD;
    long long total = -1;  // no total limit
    long long interval = -1;
    if (firstByte) {
        total = static_cast<long long>(ScaleCommTimeout(to.ReadTotalTimeoutConstant));
    } else if (!immediate) {
        if (to.ReadTotalTimeoutMultiplier != 0 || to.ReadTotalTimeoutConstant != 0) {
            unsigned long long t = static_cast<unsigned long long>(to.ReadTotalTimeoutMultiplier) * toRead +
                                   to.ReadTotalTimeoutConstant;
            total = static_cast<long long>(ScaleCommTimeout(t));
        }
        if (to.ReadIntervalTimeout != 0 && to.ReadIntervalTimeout != MAXDWORD)
            interval = static_cast<long long>(ScaleCommTimeout(to.ReadIntervalTimeout));
    }
    Clock::time_point lastByte = start;
    bool hungUp = false;
    bool closedNow = false;

    while (got < toRead) {
        long long wait = -1;
        if (immediate) {
            wait = 0;
        } else {
            if (total >= 0)
                wait = std::max(0LL, total - MillisSince(start));
            if (interval >= 0 && got > 0) {
                long long w = std::max(0LL, interval - MillisSince(lastByte));
                wait = wait < 0 ? w : std::min(wait, w);
            }
            if (firstByte && got > 0)
                wait = 0;
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int timeoutArg = wait < 0 ? -1 : static_cast<int>(std::min<long long>(wait, INT_MAX));
        int n = ::poll(fds, 2, timeoutArg);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents) {
            if (DrainWake()) {
                closedNow = true;
                break;
            }
            if (rxAbort_.load() != abortMark)
                break;
        }
        if (fds[0].revents & POLLIN) {
            ssize_t r = ::read(fd_, out + got, toRead - got);
            if (r > 0) {
                got += static_cast<DWORD>(r);
                lastByte = Clock::now();
                continue;
            }
            if (r == 0 || (r < 0 && Hangup(errno))) {
                hungUp = true;
                break;
            }
            continue;  // EAGAIN, EINTR
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp = true;
            break;
        }
        if (n == 0 && wait >= 0) {
            // Time is up: the total limit, the gap after a byte, or an
            // immediate read.
            if (immediate)
                break;
            bool totalOver = total >= 0 && MillisSince(start) >= total;
            bool gapOver = interval >= 0 && got > 0 && MillisSince(lastByte) >= interval;
            if (totalOver || gapOver || (firstByte && got > 0))
                break;
        }
    }
    if (read)
        *read = got;
    if (closedNow) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (hungUp && got == 0) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    return TRUE;
}

BOOL SerialPort::Write(const void* buffer, DWORD toWrite, DWORD* written)
{
    COMMTIMEOUTS to;
    const Transfer check = BeginTransfer(buffer, toWrite, written, to);
    if (check != Transfer::Go)
        return check == Transfer::Done ? TRUE : FALSE;
    long long total = -1;
    if (to.WriteTotalTimeoutMultiplier != 0 || to.WriteTotalTimeoutConstant != 0) {
        unsigned long long t =
            static_cast<unsigned long long>(to.WriteTotalTimeoutMultiplier) * toWrite + to.WriteTotalTimeoutConstant;
        total = static_cast<long long>(ScaleCommTimeout(t));
    }
    const BYTE* in = static_cast<const BYTE*>(buffer);
    DWORD put = 0;
    const unsigned abortMark = txAbort_.load();
    const Clock::time_point start = Clock::now();
    while (put < toWrite) {
        // A socket whose peer is gone must fail the write, not signal the process.
        ssize_t r = socket_ ? ::send(fd_, in + put, toWrite - put, MSG_NOSIGNAL) : ::write(fd_, in + put, toWrite - put);
        if (r > 0) {
            put += static_cast<DWORD>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN) {
            if (written)
                *written = put;
            SetLastError(Hangup(errno) ? ERROR_DEVICE_NOT_CONNECTED : ERROR_WRITE_FAULT);
            return FALSE;
        }
        long long wait = total < 0 ? -1 : std::max(0LL, total - MillisSince(start));
        if (wait == 0)
            break;
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        int n = ::poll(fds, 2, wait < 0 ? -1 : static_cast<int>(std::min<long long>(wait, INT_MAX)));
        if (n < 0 && errno != EINTR)
            break;
        if (n > 0 && fds[1].revents) {
            if (DrainWake()) {
                if (written)
                    *written = put;
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            if (txAbort_.load() != abortMark)
                break;
        }
        if (n > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fds[0].revents & POLLOUT)) {
            if (written)
                *written = put;
            SetLastError(ERROR_DEVICE_NOT_CONNECTED);
            return FALSE;
        }
    }
    if (written)
        *written = put;
    return TRUE;
}

BOOL SerialPort::Flush()
{
    CountCommCall();
    if (socket_)
        return TRUE;  // the kernel sends what was written; there is nothing to wait for
    if (tcdrain(fd_) != 0 && errno != ENOTTY && errno != EINVAL) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL SerialPort::GetState(DCB* dcb)
{
    CountCommCall();
    std::lock_guard<std::mutex> guard(lock_);
    *dcb = dcb_;
    return TRUE;
}

BOOL SerialPort::SetState(const DCB* dcb)
{
    CountCommCall();
    if (socket_) {
        // The link carries bytes, not a line: speed and framing are the
        // device's own business.
        std::lock_guard<std::mutex> guard(lock_);
        dcb_ = *dcb;
        return TRUE;
    }
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    MakeRaw(t);
    speed_t speed;
    if (!SpeedOf(dcb->BaudRate, speed) || dcb->ByteSize < 5 || dcb->ByteSize > 8 || dcb->Parity > SPACEPARITY ||
        dcb->StopBits > TWOSTOPBITS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~CSIZE;
    t.c_cflag |= dcb->ByteSize == 5 ? CS5 : dcb->ByteSize == 6 ? CS6 : dcb->ByteSize == 7 ? CS7 : CS8;
    t.c_cflag &= ~(PARENB | PARODD);
#ifdef CMSPAR
    t.c_cflag &= ~CMSPAR;
#endif
    switch (dcb->Parity) {
    case ODDPARITY:
        t.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        t.c_cflag |= PARENB;
        break;
#ifdef CMSPAR
    case MARKPARITY:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case SPACEPARITY:
        t.c_cflag |= PARENB | CMSPAR;
        break;
#endif
    default:
        break;
    }
    if (dcb->fParity && dcb->Parity != NOPARITY)
        t.c_iflag |= INPCK;
    if (dcb->StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    if (dcb->fOutxCtsFlow || dcb->fRtsControl == RTS_CONTROL_HANDSHAKE)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~CRTSCTS;
    // Software flow control only when the program asks for it: it eats the
    // XON and XOFF bytes of the stream.
    if (dcb->fOutX)
        t.c_iflag |= IXON;
    if (dcb->fInX)
        t.c_iflag |= IXOFF;
    if (dcb->fOutX || dcb->fInX) {
        t.c_cc[VSTART] = static_cast<cc_t>(dcb->XonChar);
        t.c_cc[VSTOP] = static_cast<cc_t>(dcb->XoffChar);
    }
    if (tcsetattr(fd_, TCSANOW, &t) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(lock_);
    dcb_ = *dcb;
    return TRUE;
}

BOOL SerialPort::GetTimeouts(COMMTIMEOUTS* timeouts)
{
    CountCommCall();
    std::lock_guard<std::mutex> guard(lock_);
    *timeouts = timeouts_;
    return TRUE;
}

BOOL SerialPort::SetTimeouts(const COMMTIMEOUTS* timeouts)
{
    CountCommCall();
    std::lock_guard<std::mutex> guard(lock_);
    timeouts_ = *timeouts;
    return TRUE;
}

BOOL SerialPort::SetMask(DWORD mask)
{
    CountCommCall();
    std::lock_guard<std::mutex> guard(lock_);
    mask_ = mask;
    return TRUE;
}

BOOL SerialPort::GetMask(DWORD* mask)
{
    CountCommCall();
    std::lock_guard<std::mutex> guard(lock_);
    *mask = mask_;
    return TRUE;
}

BOOL SerialPort::Purge(DWORD flags)
{
    CountCommCall();
    if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool wake = false;
    if (flags & PURGE_RXABORT) {
        rxAbort_.fetch_add(1);
        wake = true;
    }
    if (flags & PURGE_TXABORT) {
        txAbort_.fetch_add(1);
        wake = true;
    }
    if (wake)
        Wake();
    // A pseudo-terminal has no transmit queue of its own: what was written is
    // already in the peer's receive buffer, as bytes on a wire would be, so
    // there is nothing left to clear on the transmit side.
    if (pseudoTerminal_)
        flags &= ~PURGE_TXCLEAR;
    if (socket_) {
        // What the link already took is on its way. Received bytes not read
        // yet are dropped, as a terminal's input queue would be.
        if (flags & PURGE_RXCLEAR) {
            char buf[256];
            while (::recv(fd_, buf, sizeof buf, MSG_DONTWAIT) > 0) {
            }
        }
        return TRUE;
    }
    int queue = -1;
    if ((flags & PURGE_RXCLEAR) && (flags & PURGE_TXCLEAR))
        queue = TCIOFLUSH;
    else if (flags & PURGE_RXCLEAR)
        queue = TCIFLUSH;
    else if (flags & PURGE_TXCLEAR)
        queue = TCOFLUSH;
    if (queue >= 0 && tcflush(fd_, queue) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL SerialPort::Escape(DWORD function)
{
    CountCommCall();
    if (socket_) {
        // No modem lines and no break on a socket.
        if (function < SETXOFF || function > CLRBREAK || function == 7) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return TRUE;
    }
    int r = 0;
    int bits = 0;
    switch (function) {
    case SETRTS:
        bits = TIOCM_RTS;
        r = ioctl(fd_, TIOCMBIS, &bits);
        break;
    case CLRRTS:
        bits = TIOCM_RTS;
        r = ioctl(fd_, TIOCMBIC, &bits);
        break;
    case SETDTR:
        bits = TIOCM_DTR;
        r = ioctl(fd_, TIOCMBIS, &bits);
        break;
    case CLRDTR:
        bits = TIOCM_DTR;
        r = ioctl(fd_, TIOCMBIC, &bits);
        break;
    case SETBREAK:
        r = ioctl(fd_, TIOCSBRK);
        break;
    case CLRBREAK:
        r = ioctl(fd_, TIOCCBRK);
        break;
    case SETXOFF:
        r = tcflow(fd_, TCOOFF);
        break;
    case SETXON:
        r = tcflow(fd_, TCOON);
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A pseudo-terminal has no modem lines and no break: nothing to do there.
    if (r != 0 && errno != ENOTTY && errno != EINVAL) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL SerialPort::QueueSizes(DWORD, DWORD)
{
    // The host driver sizes its own queues; the request is accepted.
    CountCommCall();
    return TRUE;
}

BOOL SerialPort::Errors(DWORD* errors, COMSTAT* stat)
{
    CountCommCall();
    if (errors)
        *errors = 0;
    if (stat) {
        *stat = COMSTAT{};
        int n = 0;
        if (ioctl(fd_, FIONREAD, &n) == 0 && n > 0)
            stat->cbInQue = static_cast<DWORD>(n);
        n = 0;
        if (ioctl(fd_, TIOCOUTQ, &n) == 0 && n > 0)
            stat->cbOutQue = static_cast<DWORD>(n);
    }
    return TRUE;
}

}  // namespace qplat

// ---------------------------------------------------------------- the calls

namespace {

std::shared_ptr<qplat::SerialPort> PortOf(HANDLE handle)
{
    auto port = qplat::LookupHandleAs<qplat::SerialPort>(handle);
    if (!port || port->Closed()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return port;
}

}  // namespace

BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue)
{
    auto p = PortOf(port);
    return p ? p->QueueSizes(inQueue, outQueue) : FALSE;
}

namespace {

// The calls that fill or take a record: a port and a record are both required.
template <class Record, class Call>
BOOL WithPortAndRecord(HANDLE port, Record* record, Call call)
{
    auto p = PortOf(port);
    if (!p)
        return FALSE;
    if (!record) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return call(*p, record);
}

}  // namespace

BOOL GetCommState(HANDLE port, LPDCB dcb)
{
    return WithPortAndRecord(port, dcb, [](qplat::SerialPort& p, LPDCB d) { return p.GetState(d); });
}

BOOL SetCommState(HANDLE port, LPDCB dcb)
{
    return WithPortAndRecord(port, dcb, [](qplat::SerialPort& p, LPDCB d) { return p.SetState(d); });
}

BOOL GetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts)
{
    return WithPortAndRecord(port, timeouts, [](qplat::SerialPort& p, LPCOMMTIMEOUTS t) { return p.GetTimeouts(t); });
}

BOOL SetCommTimeouts(HANDLE port, LPCOMMTIMEOUTS timeouts)
{
    return WithPortAndRecord(port, timeouts, [](qplat::SerialPort& p, LPCOMMTIMEOUTS t) { return p.SetTimeouts(t); });
}

BOOL SetCommMask(HANDLE port, DWORD mask)
{
    auto p = PortOf(port);
    return p ? p->SetMask(mask) : FALSE;
}

BOOL GetCommMask(HANDLE port, LPDWORD mask)
{
    return WithPortAndRecord(port, mask, [](qplat::SerialPort& p, LPDWORD m) { return p.GetMask(m); });
}

BOOL PurgeComm(HANDLE port, DWORD flags)
{
    auto p = PortOf(port);
    return p ? p->Purge(flags) : FALSE;
}

BOOL EscapeCommFunction(HANDLE port, DWORD function)
{
    auto p = PortOf(port);
    return p ? p->Escape(function) : FALSE;
}

BOOL SetCommBreak(HANDLE port)
{
    return EscapeCommFunction(port, SETBREAK);
}

BOOL ClearCommBreak(HANDLE port)
{
    return EscapeCommFunction(port, CLRBREAK);
}

BOOL ClearCommError(HANDLE port, LPDWORD errors, LPCOMSTAT stat)
{
    auto p = PortOf(port);
    return p ? p->Errors(errors, stat) : FALSE;
}
