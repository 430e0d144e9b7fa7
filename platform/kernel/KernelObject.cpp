// The handle table and the driver registry behind CreateFileW("XXXn:").
#include "platform/kernel/KernelObject.h"

#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/WinKernel.h"

namespace qplat {

BOOL KernelObject::Read(void*, DWORD, DWORD* read)
{
    if (read)
        *read = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL KernelObject::Write(const void*, DWORD, DWORD* written)
{
    if (written)
        *written = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

DWORD KernelObject::SetPointer(LONG, LONG*, DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
}

DWORD KernelObject::Size(DWORD*)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
}

BOOL KernelObject::SetEnd()
{
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL KernelObject::Flush()
{
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL KernelObject::IoControl(DWORD, const void*, DWORD, void*, DWORD, DWORD* returned)
{
    if (returned)
        *returned = 0;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

DWORD KernelObject::WaitFor(DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Handle values are never reused, so a stale handle fails instead of
    // reaching an unrelated object opened later.
    uintptr_t next = 0x10000;
};

HandleTable& Table()
{
    static HandleTable* table = new HandleTable;  // outlives static destructors of other objects
    return *table;
}

struct OpenerTable {
    std::mutex lock;
    std::map<std::string, DeviceOpener> openers;
};

OpenerTable& Openers()
{
    static OpenerTable* table = new OpenerTable;
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    if (!object)
        return nullptr;
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end())
        return nullptr;
    return it->second;
}

BOOL RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        HandleTable& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end())
            return FALSE;
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // Outside the table lock: closing may block briefly (a serial port, a file
    // flush) and must not hold up every other handle.
    object->OnClose();
    return TRUE;
}

void RegisterDeviceOpener(const std::string& prefix, DeviceOpener opener)
{
    OpenerTable& t = Openers();
    std::lock_guard<std::mutex> guard(t.lock);
    if (opener)
        t.openers[prefix] = std::move(opener);
    else
        t.openers.erase(prefix);
}

void RegisterStandInDrivers();

DeviceOpener FindDeviceOpener(const std::string& prefix)
{
    static std::once_flag once;
    // A registration that looks up an opener itself must not wait for its own
    // once-flag.
    static thread_local bool registering = false;
    if (!registering) {
        std::call_once(once, [] {
            registering = true;
            RegisterStandInDrivers();
            RegisterCommDevices();
            registering = false;
        });
    }
    OpenerTable& t = Openers();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.openers.find(prefix);
    if (it == t.openers.end())
        return DeviceOpener();
    return it->second;
}

}  // namespace qplat

BOOL CloseHandle(HANDLE object)
{
    if (!qplat::RemoveHandle(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
