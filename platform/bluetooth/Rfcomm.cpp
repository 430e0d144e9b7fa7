// Connecting the kernel's RFCOMM socket.
#include "platform/bluetooth/Rfcomm.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace qplat {

namespace {

constexpr int kConnectTimeoutMs = 15000;

// The kernel's RFCOMM socket address (struct sockaddr_rc): the address in
// little-endian byte order, then the channel.
struct RfcommAddress {
    sa_family_t family;
    uint8_t bdaddr[6];
    uint8_t channel;
};
static_assert(sizeof(RfcommAddress) == 10, "the kernel's struct sockaddr_rc");
constexpr int kAfBluetooth = 31;
constexpr int kBtProtoRfcomm = 3;

}  // namespace

int ConnectRfcomm(uint64_t address, int channel)
{
    int fd = ::socket(kAfBluetooth, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, kBtProtoRfcomm);
    if (fd < 0)
        return -1;
    RfcommAddress sa{};
    sa.family = kAfBluetooth;
    for (int i = 0; i < 6; ++i)
        sa.bdaddr[i] = static_cast<uint8_t>((address >> (8 * i)) & 0xFF);
    sa.channel = static_cast<uint8_t>(channel);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return -1;
        }
        pollfd p{fd, POLLOUT, 0};
        int n;
        while ((n = ::poll(&p, 1, kConnectTimeoutMs)) < 0 && errno == EINTR) {
        }
        int soError = n == 0 ? ETIMEDOUT : 0;
        socklen_t len = sizeof soError;
        if (n > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
            soError = errno;
        if (n < 0 || soError != 0) {
            ::close(fd);
            errno = soError ? soError : EIO;
            return -1;
        }
    }
    return fd;
}

}  // namespace qplat
