// FindWindowW across programs: the single-instance check. A program's main
// window (a top-level window of a class the program registered, without an
// owner) is published under a name made of the device root's identity (its
// device and inode, so a root reached through a link is the same root) and
// the class name: a local socket in the abstract namespace, which the
// kernel releases when the program ends however it ends, so a crashed
// instance never blocks the next start. Binding the name is the lock: only
// one program per device root and class holds it. Another program that looks
// for the class connects to it and asks for the window by title, or asks it
// to come to the front.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/PowerSleep.h"
#include "platform/WinKernel.h"
#include "platform/WinShell.h"
#include "platform/WinText.h"
#include "platform/user/UserInternal.h"

namespace qplat::user {

std::atomic<bool> g_raiseRequested{false};

namespace {

struct Remote {
    std::string address;
    uintptr_t theirHandle = 0;
};

struct InstanceState {
    std::mutex lock;
    std::map<uintptr_t, Remote> remotes;  // our proxy handle -> their window
    uintptr_t nextProxy = 1;
    int listener = -1;
    std::string address;
    HWND published = nullptr;
};

InstanceState& I()
{
    static InstanceState* s = new InstanceState;
    return *s;
}

// What names the device root whatever path reached it: its device and inode,
// or where the root cannot be looked at, its resolved path (or its text).
std::string RootIdentity()
{
    const std::string& root = DeviceRoot();
    struct stat st {};
    if (::stat(root.c_str(), &st) == 0)
        return "id:" + std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
               std::to_string(static_cast<unsigned long long>(st.st_ino));
    if (char* resolved = ::realpath(root.c_str(), nullptr)) {
        std::string path = std::string("path:") + resolved;
        std::free(resolved);
        return path;
    }
    return "path:" + root;
}

std::string Address(const std::u16string& className)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : RootIdentity()) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(h));
    std::string name = std::string("qav5/") + hash + "/" + ToUtf8(Fold(className));
    if (name.size() > 100) name.resize(100);
    return name;
}

sockaddr_un MakeAddress(const std::string& name, socklen_t& len)
{
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    a.sun_path[0] = '\0';  // abstract namespace
    std::memcpy(a.sun_path + 1, name.data(), name.size());
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return a;
}

bool SendAll(int fd, const std::string& s)
{
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads one line (without the newline), waiting at most `ms`.
bool ReadLine(int fd, std::string& line, int ms)
{
    line.clear();
    while (line.size() < 4096) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return false;
        char c;
        ssize_t n = ::recv(fd, &c, 1, 0);
        if (n <= 0) return false;
        if (c == '\n') return true;
        line.push_back(c);
    }
    return false;
}

std::string Ask(const std::string& address, const std::string& request)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    socklen_t len;
    sockaddr_un a = MakeAddress(address, len);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && SendAll(fd, request + "\n")) ReadLine(fd, reply, 2000);
    ::close(fd);
    return reply;
}

void Serve(int client)
{
    std::string line;
    if (!ReadLine(client, line, 1000)) return;
    HWND main;
    {
        std::lock_guard<std::mutex> g(I().lock);
        main = I().published;
    }
    if (line.rfind("FIND", 0) == 0) {
        bool anyTitle = line == "FIND";
        std::u16string title = line.size() > 5 ? FromUtf8(line.substr(5)) : std::u16string();
        bool match = IsWindow(main);
        if (match && !anyTitle) {
            WCHAR text[512];
            int n = GetWindowTextW(main, text, 512);
            match = Fold(std::u16string(text, static_cast<size_t>(n))) == Fold(title);
        }
        SendAll(client, match ? "HWND " + std::to_string(reinterpret_cast<uintptr_t>(main)) + "\n" : "NONE\n");
    } else if (line.rfind("FRONT", 0) == 0) {
        // The answer goes out before the window comes to the front: a program
        // may end the moment it is in front (and with it this thread), and
        // the asker must still learn that the first program was there. A
        // device asleep wakes: the operator reached for it.
        bool ok = IsWindow(main);
        SendAll(client, ok ? "OK\n" : "NONE\n");
        if (ok) {
            WakeDevice();
            SetForegroundWindow(main);
        }
    } else if (line == "WAKE") {
        // Asked by a copy that found no window here: a device asleep wakes.
        // The answer goes out first, as for FRONT: a copy whose power key
        // asked it to end ends the moment it is woken, this thread with it.
        const bool asleep = DeviceAsleep();
        SendAll(client, asleep ? "OK\n" : "NONE\n");
        if (asleep) WakeDevice();
    } else {
        SendAll(client, "NONE\n");
    }
}

void ServeLoop(int listener)
{
    for (;;) {
        pollfd p{listener, POLLIN, 0};
        int r = ::poll(&p, 1, 500);
        if (r < 0) break;
        if (r == 0) continue;
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Serve(client);
        ::close(client);
    }
}

}  // namespace

namespace {

// Takes the name under the instance lock; 0 when taken, else the errno.
int ListenLocked(InstanceState& st, const std::string& address)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    socklen_t len;
    sockaddr_un a = MakeAddress(address, len);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd, 8) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    st.listener = fd;
    st.address = address;
    // Lives as long as the program; it touches nothing that static
    // destructors take away.
    std::thread(ServeLoop, fd).detach();
    return 0;
}

}  // namespace

void PublishMainWindow(HWND hwnd, const std::u16string& className)
{
    auto& st = I();
    std::lock_guard<std::mutex> g(st.lock);
    if (st.listener < 0 && ListenLocked(st, Address(className)) != 0) return;  // another program holds the name
    if (!Find(st.published)) st.published = hwnd;
}

HWND FindRemoteWindow(const std::u16string& className, const std::u16string* title)
{
    std::string address = Address(className);
    {
        std::lock_guard<std::mutex> g(I().lock);
        if (I().listener >= 0 && I().address == address) return nullptr;  // that is us
    }
    std::string reply = Ask(address, title ? "FIND " + ToUtf8(*title) : std::string("FIND"));
    if (reply.rfind("HWND ", 0) != 0) return nullptr;
    uintptr_t theirs = std::strtoull(reply.c_str() + 5, nullptr, 10);
    auto& st = I();
    std::lock_guard<std::mutex> g(st.lock);
    // Proxies live in a range of their own, apart from local windows.
    uintptr_t proxy = (static_cast<uintptr_t>(0x7F000000u) + (st.nextProxy++ << 4));
    st.remotes[proxy] = Remote{address, theirs};
    return reinterpret_cast<HWND>(proxy);
}

bool IsRemoteWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> g(I().lock);
    return I().remotes.count(reinterpret_cast<uintptr_t>(hwnd)) != 0;
}

bool BringRemoteToFront(HWND hwnd)
{
    Remote r;
    {
        std::lock_guard<std::mutex> g(I().lock);
        auto it = I().remotes.find(reinterpret_cast<uintptr_t>(hwnd));
        if (it == I().remotes.end()) return false;
        r = it->second;
    }
    return Ask(r.address, "FRONT " + std::to_string(r.theirHandle)) == "OK";
}

}  // namespace qplat::user

namespace qplat {

InstanceClaim ClaimMainWindowName(LPCWSTR className, std::string* why)
{
    auto& st = user::I();
    const std::string address = user::Address(className ? className : u"");
    std::lock_guard<std::mutex> g(st.lock);
    if (st.listener >= 0) {
        if (st.address == address) return InstanceClaim::Claimed;
        if (why) *why = "this process already answers under another name";
        return InstanceClaim::CannotClaim;
    }
    const int error = user::ListenLocked(st, address);
    if (error == 0) return InstanceClaim::Claimed;
    if (error == EADDRINUSE) return InstanceClaim::HeldByAnother;
    if (why) *why = std::string("the window name cannot be taken: ") + std::strerror(error);
    return InstanceClaim::CannotClaim;
}

bool WakeOtherCopy(LPCWSTR className)
{
    const std::string address = user::Address(className ? className : u"");
    {
        std::lock_guard<std::mutex> g(user::I().lock);
        if (user::I().listener >= 0 && user::I().address == address) return false;  // that is us
    }
    return user::Ask(address, "WAKE") == "OK";
}

}  // namespace qplat
