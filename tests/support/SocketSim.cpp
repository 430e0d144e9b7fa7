// The simulated device of the stand-in RFCOMM connection.
#include "tests/support/SocketSim.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bluetest {

bool MakeSocketPair(int& ours, int& theirs)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    ours = pair[0];
    theirs = pair[1];
    return true;
}

int SocketSim::Connect(uint64_t address, int channel)
{
    Drop();
    int ours = -1;
    int theirs = -1;
    if (!MakeSocketPair(ours, theirs))
        return -1;
    std::lock_guard<std::mutex> guard(lock_);
    lastAddress = address;
    lastChannel = channel;
    ++connections;
    ours_ = ours;
    stop_ = false;
    thread_ = std::thread([this, fd = ours] { Serve(fd); });
    return theirs;
}

void SocketSim::Drop()
{
    std::thread t;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        t = std::move(thread_);
    }
    if (t.joinable())
        t.join();
    std::lock_guard<std::mutex> guard(lock_);
    if (ours_ >= 0)
        ::close(ours_);
    ours_ = -1;
}

void SocketSim::Serve(int fd)
{
    uint8_t buf[4096];
    while (!stop_.load()) {
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, 50);  // looks at the stop flag between reads
        if (n <= 0)
            continue;
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0)
            return;  // the program closed its end
        sensorsim::Device::Output out;
        device.Receive(buf, static_cast<size_t>(r), &out);
        size_t done = 0;
        while (done < out.bytes.size()) {
            const ssize_t w = ::send(fd, out.bytes.data() + done, out.bytes.size() - done, MSG_NOSIGNAL);
            if (w <= 0)
                return;
            done += static_cast<size_t>(w);
        }
        if (out.disconnect) {
            // As a device switched off: the program's reads end, its writes fail.
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

}  // namespace bluetest
