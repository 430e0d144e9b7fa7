// Carries a simulated device's bytes over a pseudo-terminal: the program opens
// the terminal's device (the path) as its serial port, the server answers on
// the other side from its own thread.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tools/sensorsim/SimDevice.h"

namespace sensorsim {

class PtyServer {
public:
    explicit PtyServer(Device& device);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens the pseudo-terminal (raw mode) and starts answering.
    bool Start(std::string* error);
    void Stop();
    // The serial device the program opens.
    const std::string& Path() const { return path_; }
    // Drops the link as a device switched off would: the terminal goes away.
    void Disconnect();
    bool Disconnected() const { return disconnected_.load(); }
    // Sends bytes nobody asked for (a chattering device). False when the
    // terminal is gone or the bytes could not all be written.
    bool Inject(const uint8_t* data, size_t length);
    // Lines describing each request and reply (--verbose); called on the
    // server's thread.
    void SetLog(std::function<void(const std::string&)> log);

private:
    void Run();
    bool WriteAll(const uint8_t* data, size_t length);
    void CloseTerminal();

    Device& device_;
    std::string path_;
    int master_ = -1;
    int slave_ = -1;  // held so the master never sees a hang-up between the program's opens
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> disconnected_{false};
    std::mutex writeLock_;
    std::mutex logLock_;
    std::function<void(const std::string&)> log_;
};

}  // namespace sensorsim
