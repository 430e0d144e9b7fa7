// The stack calls of the sensor link: device inquiry, name query, PIN store
// and signal strength, over the neighbourhood description or over BlueZ.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Bluetooth.h"
#include "platform/HeldCall.h"
#include "platform/bluetooth/Bluez.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

namespace {

struct PinStore {
    std::mutex lock;
    std::map<BT_ADDR, std::string> pins;
};

PinStore& Pins()
{
    static PinStore* store = new PinStore;
    return *store;
}

// One inquiry: the devices in range when it began, handed out one per call.
class DeviceLookup : public KernelObject {
public:
    std::mutex lock;
    std::vector<Neighbour> devices;
    size_t next = 0;
};

size_t AlignUp(size_t n)
{
    return (n + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
}

// The golden receive power range of a classic link, as the Bluetooth core
// standard sets it: its lower limit, and its upper one 20 dB above.
constexpr int kGoldenRangeLowDbm = -56;
constexpr int kGoldenRangeHighDbm = kGoldenRangeLowDbm + 20;

// The link's level as the handheld's radio reports it, from a received
// power in dBm (what the neighbourhood file and BlueZ give): the distance
// from the golden range in dB, 0 inside it, negative below, positive above.
unsigned char LinkLevel(int dbm)
{
    const int level = dbm < kGoldenRangeLowDbm ? dbm - kGoldenRangeLowDbm
                      : dbm > kGoldenRangeHighDbm ? dbm - kGoldenRangeHighDbm
                                                  : 0;
    return static_cast<unsigned char>(static_cast<signed char>(std::max(-128, std::min(127, level))));
}

}  // namespace

void TellSettingPassedBy(const char* name, const std::string& value, const char* instead)
{
    static std::mutex* lock = new std::mutex;
    static std::map<std::string, std::string>* told = new std::map<std::string, std::string>;
    std::lock_guard<std::mutex> guard(*lock);
    auto it = told->find(name);
    if (it != told->end() && it->second == value)
        return;
    (*told)[name] = value;
    std::fprintf(stderr, "%s=%s is passed by: %s\n", name, value.c_str(), instead);
    std::fflush(stderr);
}

bool UsingBluez()
{
    if (const char* env = std::getenv("QAV5_BLUETOOTH")) {
        const std::string named = env;
        if (named == "bluez")
            return true;
        if (named == "file")
            return false;
        // Whoever set it expects the stack named, and would otherwise hunt
        // the wrong one.
        if (!named.empty())
            TellSettingPassedBy("QAV5_BLUETOOTH", named, "it takes bluez or file; the stack is chosen as without it");
    }
    struct stat st {};
    if (::stat(NeighbourhoodPath().c_str(), &st) == 0)
        return false;
    return bluez::ServiceAvailable();
}

std::string StoredPin(BT_ADDR address)
{
    PinStore& s = Pins();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.pins.find(address);
    return it == s.pins.end() ? std::string() : it->second;
}

void ClearStoredPins()
{
    PinStore& s = Pins();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.pins.clear();
    }
    bluez::ForgetLinks();
}

}  // namespace qplat

int BthNsLookupServiceBegin(LPWSAQUERYSET querySet, DWORD flags, HANDLE* lookup)
{
    using namespace qplat;
    if (!querySet || !lookup || querySet->dwNameSpace != NS_BTH)
        return WSAEINVAL;
    *lookup = nullptr;
    if (!(flags & LUP_CONTAINERS))
        return WSAEINVAL;  // only the device inquiry is served, not service discovery
    auto object = std::make_shared<DeviceLookup>();
    if (UsingBluez()) {
        std::vector<bluez::FoundDevice> found;
        const int result = bluez::Inquire(found);
        if (result != ERROR_SUCCESS)
            return result;
        for (const bluez::FoundDevice& f : found) {
            Neighbour n;
            n.address = f.address;
            n.name = f.name;
            object->devices.push_back(n);
        }
    } else {
        Neighbourhood hood = LoadNeighbourhood();
        if (!hood.radioOn)
            return ERROR_SERVICE_NOT_ACTIVE;
        for (const Neighbour& n : hood.devices) {
            if (n.inRange)
                object->devices.push_back(n);
        }
    }
    HANDLE h = InsertHandle(object);
    if (!h)
        return ERROR_NOT_ENOUGH_MEMORY;
    *lookup = h;
    return ERROR_SUCCESS;
}

int BthNsLookupServiceNext(HANDLE lookup, DWORD flags, LPDWORD bufferLength, LPWSAQUERYSET results)
{
    using namespace qplat;
    auto object = LookupHandleAs<DeviceLookup>(lookup);
    if (!object)
        return ERROR_INVALID_HANDLE;
    if (!bufferLength)
        return WSAEFAULT;
    // The search holds the user-interface thread one device after the other:
    // the screen goes on meanwhile, and a program asked to close looks at no
    // more devices.
    if (HeldCallEnds())
        return WSA_E_NO_MORE;
    std::lock_guard<std::mutex> guard(object->lock);
    if (object->next >= object->devices.size())
        return WSA_E_NO_MORE;
    const Neighbour& n = object->devices[object->next];
    const std::u16string name = FromUtf8(n.name);
    const bool wantName = (flags & LUP_RETURN_NAME) != 0;
    const bool wantAddr = (flags & LUP_RETURN_ADDR) != 0;

    size_t size = AlignUp(sizeof(WSAQUERYSET));
    const size_t nameAt = size;
    if (wantName)
        size = AlignUp(size + (name.size() + 1) * sizeof(WCHAR));
    const size_t csaAt = size;
    if (wantAddr)
        size = AlignUp(size + sizeof(CSADDR_INFO));
    const size_t sockAt = size;
    if (wantAddr)
        size += sizeof(SOCKADDR_BTH);
    if (!results || *bufferLength < size) {
        *bufferLength = static_cast<DWORD>(size);
        return WSAEFAULT;
    }
    BYTE* base = reinterpret_cast<BYTE*>(results);
    std::memset(base, 0, size);
    results->dwSize = sizeof(WSAQUERYSET);
    results->dwNameSpace = NS_BTH;
    if (wantName) {
        WCHAR* text = reinterpret_cast<WCHAR*>(base + nameAt);
        std::memcpy(text, name.data(), name.size() * sizeof(WCHAR));
        text[name.size()] = 0;
        results->lpszServiceInstanceName = text;
    }
    if (wantAddr) {
        auto* csa = reinterpret_cast<CSADDR_INFO*>(base + csaAt);
        auto* sock = reinterpret_cast<SOCKADDR_BTH*>(base + sockAt);
        sock->addressFamily = AF_BTH;
        sock->btAddr = n.address;
        csa->RemoteAddr.lpSockaddr = reinterpret_cast<LPSOCKADDR>(sock);
        csa->RemoteAddr.iSockaddrLength = sizeof(SOCKADDR_BTH);
        csa->iProtocol = BTHPROTO_RFCOMM;
        results->lpcsaBuffer = csa;
        results->dwNumberOfCsAddrs = 1;
    }
    ++object->next;
    return ERROR_SUCCESS;
}

int BthNsLookupServiceEnd(HANDLE lookup)
{
    using namespace qplat;
    if (!LookupHandleAs<DeviceLookup>(lookup))
        return ERROR_INVALID_HANDLE;
    RemoveHandle(lookup);
    return ERROR_SUCCESS;
}

int BthRemoteNameQuery(BT_ADDR* address, unsigned int length, unsigned int* required, WCHAR* name)
{
    using namespace qplat;
    if (!address)
        return ERROR_INVALID_PARAMETER;
    // As a device that does not answer: the search then gives up its name.
    if (HeldCallEnds())
        return ERROR_TIMEOUT;
    std::string utf8;
    if (UsingBluez()) {
        const int result = bluez::RemoteName(*address, utf8);
        if (result != ERROR_SUCCESS)
            return result;
    } else {
        Neighbourhood hood = LoadNeighbourhood();
        if (!hood.radioOn)
            return ERROR_SERVICE_NOT_ACTIVE;
        const Neighbour* n = FindNeighbour(hood, *address);
        if (!n || !n->inRange || n->nameQueryTimesOut)
            return ERROR_TIMEOUT;
        utf8 = n->name;
    }
    const std::u16string text = FromUtf8(utf8);
    const unsigned int need = static_cast<unsigned int>(text.size() + 1);
    if (required)
        *required = need;
    if (!name || length < need)
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(name, text.data(), text.size() * sizeof(WCHAR));
    name[text.size()] = 0;
    return ERROR_SUCCESS;
}

int BthSetPIN(BT_ADDR* address, int length, unsigned char* pin)
{
    using namespace qplat;
    if (!address || !pin || length < 1 || length > 16)
        return ERROR_INVALID_PARAMETER;
    const bool bluezStack = UsingBluez();
    if (bluezStack) {
        const int state = bluez::RadioState();
        if (state != ERROR_SUCCESS)
            return state;
    } else if (!LoadNeighbourhood().radioOn) {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    const std::string text(reinterpret_cast<const char*>(pin), static_cast<size_t>(length));
    bool changed = false;
    {
        PinStore& s = Pins();
        std::lock_guard<std::mutex> guard(s.lock);
        auto it = s.pins.find(*address);
        changed = it == s.pins.end() || it->second != text;
        s.pins[*address] = text;
    }
    if (changed)
        bluez::PinChanged(*address);
    return ERROR_SUCCESS;
}

int BthRevokePIN(BT_ADDR* address)
{
    using namespace qplat;
    if (!address)
        return ERROR_INVALID_PARAMETER;
    PinStore& s = Pins();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.pins.erase(*address) ? ERROR_SUCCESS : ERROR_NOT_FOUND;
}

int BthReadRSSI(BT_ADDR* address, unsigned char* rssi)
{
    using namespace qplat;
    if (!address || !rssi)
        return ERROR_INVALID_PARAMETER;
    if (UsingBluez()) {
        int dbm = 0;
        const int result = bluez::ReadRssi(*address, dbm);
        if (result == ERROR_SUCCESS)
            *rssi = LinkLevel(dbm);
        return result;
    }
    Neighbourhood hood = LoadNeighbourhood();
    if (!hood.radioOn)
        return ERROR_SERVICE_NOT_ACTIVE;
    const Neighbour* n = FindNeighbour(hood, *address);
    if (!n || !n->inRange)
        return ERROR_DEVICE_NOT_CONNECTED;
    *rssi = LinkLevel(n->rssi);
    return ERROR_SUCCESS;
}
