// Inside the platform layer only: one open serial port over a host terminal
// device, or over a connected stream socket (an RFCOMM link) that reads,
// writes and times out as the terminal would.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/WinComm.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

class SerialPort : public KernelObject {
public:
    // Opens the host device in raw mode; nullptr (with the last error set)
    // when it cannot be opened or is not a terminal.
    static std::shared_ptr<SerialPort> Open(const std::string& hostDevice);
    // Takes over a connected stream socket. A socket has no line settings,
    // modem lines or break: the calls that set them succeed and change
    // nothing. `closed` runs once the port is gone.
    static std::shared_ptr<SerialPort> Adopt(int socket, std::function<void()> closed);
    ~SerialPort() override;

    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override;
    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override;
    BOOL Flush() override;
    void OnClose() override;

    BOOL GetState(DCB* dcb);
    BOOL SetState(const DCB* dcb);
    BOOL GetTimeouts(COMMTIMEOUTS* timeouts);
    BOOL SetTimeouts(const COMMTIMEOUTS* timeouts);
    BOOL SetMask(DWORD mask);
    BOOL GetMask(DWORD* mask);
    BOOL Purge(DWORD flags);
    BOOL Escape(DWORD function);
    BOOL QueueSizes(DWORD inQueue, DWORD outQueue);
    BOOL Errors(DWORD* errors, COMSTAT* stat);
    bool Closed() const { return closed_.load(); }

private:
    // What ReadFile and WriteFile check before moving bytes: an open port and
    // a buffer for a non-empty request. Go hands out the time-outs in force.
    enum class Transfer { Failed, Done, Go };
    Transfer BeginTransfer(const void* buffer, DWORD size, DWORD* done, COMMTIMEOUTS& to);
    SerialPort() = default;
    void Wake();
    // Drains the wake pipe; true when the port was closed meanwhile.
    bool DrainWake();

    bool InitCommon();

    int fd_ = -1;
    bool pseudoTerminal_ = false;
    bool socket_ = false;
    std::function<void()> closedCallback_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::mutex lock_;  // guards the settings below
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD mask_ = 0;
    std::atomic<bool> closed_{false};
    std::atomic<unsigned> rxAbort_{0};
    std::atomic<unsigned> txAbort_{0};
};

// One line of debug output about the device `subject` (a host serial device,
// a Bluetooth address), unless it repeats the last line written about it: a
// link monitor retrying every half second writes each failure once.
void DiagnoseComm(const std::string& subject, const std::string& line);
// The next failure of `subject` is written again (it opened or paired).
void ClearCommDiagnosis(const std::string& subject);
// Forgets every line written (ResetCommDevices).
void ClearCommDiagnoses();

// Notes one call that reached an open port (CommCallCount).
void CountCommCall();
// The scaled time-out in milliseconds (SetCommTimeoutScale).
unsigned long long ScaleCommTimeout(unsigned long long ms);

}  // namespace qplat
