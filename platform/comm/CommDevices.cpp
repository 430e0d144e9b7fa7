// The device manager's serial-port side: "COMn:" names bound by RegisterDevice
// (the Bluetooth serial-port driver "btd.dll") or directly to a host device,
// and the opener that CreateFileW reaches for them.
#include <map>
#include <mutex>
#include <string>

#include "platform/Bluetooth.h"
#include "platform/WinComm.h"
#include "platform/bluetooth/Bluez.h"
#include "platform/comm/SerialPort.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

namespace {

constexpr DWORD kMaxComIndex = 9;
constexpr uintptr_t kRegistrationBase = 0x7E000000u;

struct ComEntry {
    enum Kind { Bluetooth, Wired, Reserved } kind = Reserved;
    BT_ADDR address = 0;
    int channel = 1;
    std::string hostDevice;
    uintptr_t registration = 0;       // the handle RegisterDevice returned
    std::weak_ptr<SerialPort> open;   // the port opened on it, while open
};

struct ComTable {
    std::mutex lock;
    std::map<DWORD, ComEntry> entries;
    uintptr_t nextRegistration = kRegistrationBase;
};

ComTable& Table()
{
    static ComTable* table = new ComTable;
    return *table;
}

bool EqualsAscii(LPCWSTR text, const char* ascii)
{
    if (!text)
        return false;
    size_t i = 0;
    for (; ascii[i]; ++i) {
        WCHAR c = text[i];
        if (c >= u'a' && c <= u'z')
            c = static_cast<WCHAR>(c - u'a' + u'A');
        char a = ascii[i];
        if (a >= 'a' && a <= 'z')
            a = static_cast<char>(a - 'a' + 'A');
        if (c != static_cast<WCHAR>(a))
            return false;
    }
    return text[i] == 0;
}

std::shared_ptr<KernelObject> OpenCom(DWORD index, DWORD, DWORD)
{
    ComTable& t = Table();
    std::unique_lock<std::mutex> guard(t.lock);
    auto it = t.entries.find(index);
    if (it == t.entries.end() || it->second.kind == ComEntry::Reserved) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (auto held = it->second.open.lock(); held && !held->Closed()) {
        // A serial port has one owner at a time.
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    std::string device;
    if (it->second.kind == ComEntry::Wired) {
        device = it->second.hostDevice;
    } else if (UsingBluez()) {
        // Pairing and connecting may take seconds: the table is not held
        // meanwhile (the same port is not opened twice by the program, whose
        // link monitor alone opens it).
        const BT_ADDR address = it->second.address;
        const int channel = it->second.channel;
        guard.unlock();
        const int fd = bluez::OpenLink(address, channel);
        if (fd < 0)
            return nullptr;
        std::shared_ptr<SerialPort> port = SerialPort::Adopt(fd, [address] { bluez::LinkClosed(address); });
        if (!port)
            return nullptr;
        guard.lock();
        auto again = t.entries.find(index);
        if (again != t.entries.end())
            again->second.open = port;
        return port;
    } else {
        const BT_ADDR address = it->second.address;
        Neighbourhood hood = LoadNeighbourhood();
        if (!hood.radioOn) {
            SetLastError(ERROR_SERVICE_NOT_ACTIVE);
            return nullptr;
        }
        const Neighbour* n = FindNeighbour(hood, address);
        if (!n || !n->inRange || n->serial.empty()) {
            SetLastError(ERROR_DEVICE_NOT_CONNECTED);
            return nullptr;
        }
        // The link is authenticated with the PIN the program stored: a wrong
        // or missing PIN fails the pairing.
        const std::string subject = "bluetooth " + FormatBtAddress(address);
        if (!n->pin.empty() && StoredPin(address) != n->pin) {
            DiagnoseComm(subject, "bluetooth: pairing with " + FormatBtAddress(address) + " \"" + n->name +
                                      "\" failed: the device refused the PIN (error " +
                                      std::to_string(ERROR_ACCESS_DENIED) + ")");
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        ClearCommDiagnosis(subject);
        device = n->serial;
    }
    std::shared_ptr<SerialPort> port = SerialPort::Open(device);
    if (!port)
        return nullptr;
    it->second.open = port;
    return port;
}

}  // namespace

void RegisterCommDevices()
{
    RegisterDeviceOpener("COM", OpenCom);
}

BOOL BindCommPort(DWORD index, const std::string& hostDevice)
{
    if (index > kMaxComIndex)
        return FALSE;
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.entries.count(index))
        return FALSE;
    ComEntry e;
    e.kind = ComEntry::Wired;
    e.hostDevice = hostDevice;
    t.entries[index] = e;
    return TRUE;
}

void ReserveCommIndex(DWORD index, bool reserved)
{
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.entries.find(index);
    if (reserved) {
        if (it == t.entries.end())
            t.entries[index] = ComEntry{};
    } else if (it != t.entries.end() && it->second.kind == ComEntry::Reserved) {
        t.entries.erase(it);
    }
}

void ResetCommDevices()
{
    ClearCommDiagnoses();
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.entries.clear();
}

int RegisteredCommDeviceCount()
{
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    int n = 0;
    for (const auto& kv : t.entries)
        n += kv.second.kind == ComEntry::Bluetooth ? 1 : 0;
    return n;
}

}  // namespace qplat

HANDLE RegisterDevice(LPCWSTR prefix, DWORD index, LPCWSTR library, DWORD_PTR context)
{
    using namespace qplat;
    if (!EqualsAscii(prefix, "COM")) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (index > kMaxComIndex) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!EqualsAscii(library, "btd.dll")) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    const auto* params = reinterpret_cast<const PORTEMUPortParams*>(context);
    if (!params || params->flocal != 0) {
        // Only client ports to a remote device are emulated.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.entries.count(index)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    ComEntry e;
    e.kind = ComEntry::Bluetooth;
    e.address = params->device;
    e.channel = params->channel;
    e.registration = t.nextRegistration;
    t.nextRegistration += 4;
    t.entries[index] = e;
    return reinterpret_cast<HANDLE>(e.registration);
}

BOOL DeregisterDevice(HANDLE device)
{
    using namespace qplat;
    const auto value = reinterpret_cast<uintptr_t>(device);
    ComTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto it = t.entries.begin(); it != t.entries.end(); ++it) {
        if (it->second.kind == ComEntry::Bluetooth && value != 0 && it->second.registration == value) {
            t.entries.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
