// The pseudo-terminal side of the simulator.
#include "tools/sensorsim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sensorsim {

PtyServer::PtyServer(Device& device) : device_(device) {}

PtyServer::~PtyServer()
{
    Stop();
}

void PtyServer::SetLog(std::function<void(const std::string&)> log)
{
    std::lock_guard<std::mutex> guard(logLock_);
    log_ = std::move(log);
}

bool PtyServer::Start(std::string* error)
{
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        CloseTerminal();
        return false;
    };
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open slave");
    // Raw from the start: an echoing line discipline would send the program's
    // own requests back to it as if the device had answered.
    termios t{};
    if (tcgetattr(slave_, &t) != 0)
        return fail("tcgetattr");
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (tcsetattr(slave_, TCSANOW, &t) != 0)
        return fail("tcsetattr");
    int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail("pipe");
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    stop_.store(false);
    thread_ = std::thread([this] { Run(); });
    return true;
}

void PtyServer::CloseTerminal()
{
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = -1;
    slave_ = -1;
}

void PtyServer::Stop()
{
    stop_.store(true);
    if (wakeWrite_ >= 0) {
        const char b = 1;
        ssize_t r = ::write(wakeWrite_, &b, 1);
        (void)r;
    }
    if (thread_.joinable())
        thread_.join();
    CloseTerminal();
    if (wakeRead_ >= 0)
        ::close(wakeRead_);
    if (wakeWrite_ >= 0)
        ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
}

void PtyServer::Disconnect()
{
    disconnected_.store(true);
    Stop();
}

bool PtyServer::Inject(const uint8_t* data, size_t length)
{
    if (disconnected_.load() || master_ < 0)
        return false;
    return WriteAll(data, length);
}

bool PtyServer::WriteAll(const uint8_t* data, size_t length)
{
    std::lock_guard<std::mutex> guard(writeLock_);
    size_t done = 0;
    while (done < length) {
        if (stop_.load())
            return false;
        ssize_t r = ::write(master_, data + done, length - done);
        if (r > 0) {
            done += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd fds[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, 200) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

void PtyServer::Run()
{
    uint8_t buf[4096];
    while (!stop_.load()) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int n = ::poll(fds, 2, 500);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents || stop_.load())
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        ssize_t r = ::read(master_, buf, sizeof buf);
        if (r <= 0)
            continue;
        Device::Output out;
        device_.Receive(buf, static_cast<size_t>(r), &out);
        if (!out.bytes.empty())
            WriteAll(out.bytes.data(), out.bytes.size());
        if (out.stalled) {
            std::lock_guard<std::mutex> guard(logLock_);
            if (log_)
                log_("transfer stalled (fault injection)");
        }
        if (out.disconnect) {
            {
                std::lock_guard<std::mutex> guard(logLock_);
                if (log_)
                    log_("link dropped (fault injection)");
            }
            disconnected_.store(true);
            CloseTerminal();
            break;
        }
    }
}

}  // namespace sensorsim
