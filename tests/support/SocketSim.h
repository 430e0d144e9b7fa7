// A simulated device behind the socket pair that stands in for the RFCOMM
// connection of a serial link: every connection the program makes gets a
// fresh pair, served from the test's own thread. Kept apart from
// platform/Bluetooth.h, whose socket records clash with the host's.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "tools/sensorsim/SimDevice.h"

namespace bluetest {

// A connected pair of stream sockets, closed on exec; false with errno set.
bool MakeSocketPair(int& ours, int& theirs);

class SocketSim {
public:
    explicit SocketSim(const sensorsim::DeviceConfig& config) : device(config) {}
    ~SocketSim() { Drop(); }
    SocketSim(const SocketSim&) = delete;
    SocketSim& operator=(const SocketSim&) = delete;

    // The program's end of a new connection (the previous one is dropped);
    // -1 with errno set when no pair can be made.
    int Connect(uint64_t address, int channel);

    sensorsim::Device device;
    std::atomic<int> connections{0};
    std::atomic<uint64_t> lastAddress{0};
    std::atomic<int> lastChannel{0};

private:
    void Drop();
    void Serve(int fd);

    std::mutex lock_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int ours_ = -1;
};

}  // namespace bluetest
