// Inside the platform layer only: the objects behind kernel HANDLEs. Files,
// find searches, events, serial ports and the stand-in drivers all derive from
// KernelObject; ReadFile, WriteFile, CloseHandle and DeviceIoControl dispatch
// on it. The table keeps objects by shared_ptr, so a handle closed by one
// thread while another is blocked in ReadFile stays valid until that call
// returns.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/WinDef.h"

namespace qplat {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Each returns FALSE with SetLastError on failure; the defaults report
    // ERROR_INVALID_HANDLE (the object does not support the call).
    virtual BOOL Read(void* buffer, DWORD toRead, DWORD* read);
    virtual BOOL Write(const void* buffer, DWORD toWrite, DWORD* written);
    virtual DWORD SetPointer(LONG distance, LONG* distanceHigh, DWORD method);
    virtual DWORD Size(DWORD* sizeHigh);
    virtual BOOL SetEnd();
    virtual BOOL Flush();
    virtual BOOL IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);
    // WaitForSingleObject: events and threads; WAIT_FAILED for the rest.
    virtual DWORD WaitFor(DWORD milliseconds);
    // Called once when the last handle is closed, before the object is released.
    virtual void OnClose() {}
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes the handle; FALSE when it was not open.
BOOL RemoveHandle(HANDLE handle);

// Drivers: CreateFileW on a name "XXXn:" asks the opener registered for the
// prefix "XXX" (upper case), with the index n. Serial ports register "COM".
using DeviceOpener = std::function<std::shared_ptr<KernelObject>(DWORD index, DWORD access, DWORD share)>;
void RegisterDeviceOpener(const std::string& prefix, DeviceOpener opener);
// Opener for a prefix, or an empty function when none is registered.
DeviceOpener FindDeviceOpener(const std::string& prefix);

}  // namespace qplat

namespace qplat {
// Registers the "COM" opener and the serial-port device manager; implemented
// in platform/comm and called once, lazily, by the first driver open.
void RegisterCommDevices();
}  // namespace qplat
