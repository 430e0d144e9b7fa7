// Shared by the BlueZ tests: a mocked BlueZ on a private bus (never the
// machine's system bus or a real adapter), and the simulated sensor of
// SocketSim.h put where the stack connects its serial links.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/SocketSim.h"

namespace bluetest {

using qtest::ScopedEnv;

// tests/sensor/bluez_mock.py: its own dbus-daemon with python-dbusmock's
// BlueZ on it, driven one command line at a time; or, of `kind`, a bus that
// never answers (kSilentSocket) or a BlueZ that never answers
// (kSilentBluez). While the object lives the system-bus address points at
// it and the BlueZ stack is named.
class MockBluez {
public:
    static constexpr const char* kSilentSocket = "silent-socket";
    static constexpr const char* kSilentBluez = "silent-bluez";

    explicit MockBluez(const char* kind = nullptr)
    {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            const std::string script = std::string(QAV5_SOURCE_DIR) + "/tests/sensor/bluez_mock.py";
            ::execl("/usr/bin/python3", "/usr/bin/python3", script.c_str(), kind, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toMock_ = in[1];
        fromMock_ = out[0];
        const std::string first = ReadLine();
        if (first.rfind("address ", 0) != 0)
            return;
        address_ = first.substr(8);
        bus_ = std::make_unique<ScopedEnv>("DBUS_SYSTEM_BUS_ADDRESS", address_);
        stack_ = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH", "bluez");
        // The devices come while the discovery starts: a short inquiry sees them all.
        inquiry_ = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH_INQUIRY_MS", "300");
    }
    ~MockBluez() { Stop(); }
    MockBluez(const MockBluez&) = delete;
    MockBluez& operator=(const MockBluez&) = delete;

    bool Ok() const { return !address_.empty(); }
    const std::string& Address() const { return address_; }

    // One command and its answer ("" when the mock is gone).
    std::string Ask(const std::string& command)
    {
        if (toMock_ < 0)
            return std::string();
        const std::string line = command + "\n";
        if (::write(toMock_, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return std::string();
        return ReadLine();
    }
    int Number(const std::string& command) { return std::atoi(Ask(command).c_str()); }

    // Takes BlueZ and its bus away (the environment keeps pointing at the
    // bus that is gone).
    void Stop()
    {
        if (pid_ <= 0)
            return;
        Ask("quit");
        ReadLine();  // "stopped"
        ::close(toMock_);
        ::close(fromMock_);
        toMock_ = fromMock_ = -1;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    // A line from the mock; a mock that says nothing for a minute is taken
    // for dead (a hang guard, not a timing).
    std::string ReadLine()
    {
        std::string line;
        char c;
        while (fromMock_ >= 0) {
            pollfd p{fromMock_, POLLIN, 0};
            if (::poll(&p, 1, 60000) <= 0)
                break;
            if (::read(fromMock_, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    int toMock_ = -1;
    int fromMock_ = -1;
    std::string address_;
    std::unique_ptr<ScopedEnv> bus_;
    std::unique_ptr<ScopedEnv> stack_;
    std::unique_ptr<ScopedEnv> inquiry_;
};

// The PIN "1235" stored for the device, as the link monitor stores a paired
// sensor's PIN before its port opens.
inline int StorePin(BT_ADDR device)
{
    unsigned char pin[4] = {'1', '2', '3', '5'};
    return BthSetPIN(&device, 4, pin);
}

// The COM port `index` registered for an RFCOMM link to `device` on channel
// 1, as the program registers a sensor's port (nullptr when refused).
inline HANDLE RegisterRfcommPort(DWORD index, BT_ADDR device)
{
    PORTEMUPortParams params{};
    params.channel = 1;
    params.device = device;
    return RegisterDevice(u"COM", index, u"btd.dll", reinterpret_cast<DWORD_PTR>(&params));
}

// Makes the stack's serial links connect to the simulator while it lives.
class SimConnector {
public:
    explicit SimConnector(SocketSim& sim)
    {
        qplat::SetRfcommConnector([&sim](BT_ADDR address, int channel) { return sim.Connect(address, channel); });
    }
    ~SimConnector() { qplat::SetRfcommConnector(nullptr); }
    SimConnector(const SimConnector&) = delete;
    SimConnector& operator=(const SimConnector&) = delete;
};

}  // namespace bluetest
