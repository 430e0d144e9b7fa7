// The stack calls over BlueZ's D-Bus interface (org.bluez on the system bus),
// through sd-bus.
#include "platform/bluetooth/Bluez.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>

#include "platform/HeldCall.h"
#include "platform/WinKernel.h"
#include "platform/bluetooth/Rfcomm.h"
#include "platform/comm/SerialPort.h"

namespace qplat {

namespace {

constexpr const char* kService = "org.bluez";
constexpr const char* kAdapterIface = "org.bluez.Adapter1";
constexpr const char* kDeviceIface = "org.bluez.Device1";
constexpr const char* kAgentIface = "org.bluez.Agent1";
constexpr uint64_t kUsecPerMs = 1000;
// A plain call (a property read, the start of a discovery) answers at once
// when bluetoothd runs; one that does not answer in this time counts as a
// bus that went away.
constexpr uint64_t kCallTimeoutUs = 5000 * kUsecPerMs;
// Pairing waits for the device and for our agent; a device that is switched
// off fails long before this.
constexpr uint64_t kPairTimeoutUs = 20000 * kUsecPerMs;
// As long as the handheld's inquiry: eight inquiry windows of 1.28 s.
constexpr long kInquiryMs = 10240;
// A minute: a longer search would hold the program past any use.
constexpr long kLongestInquiryMs = 60000;
// A wrong PIN is tried this often; then the device is left alone until a
// different PIN is stored for it (the sensor would otherwise be asked to
// pair every half second).
constexpr int kPairAttempts = 3;

// ---------------------------------------------------------------- sd-bus

struct BusError {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~BusError() { sd_bus_error_free(&e); }
    bool Is(const char* name) const { return sd_bus_error_has_name(&e, name) != 0; }
    std::string Text() const
    {
        std::string t = e.name ? e.name : "error";
        if (e.message)
            t += std::string(": ") + e.message;
        return t;
    }
};

struct Message {
    sd_bus_message* m = nullptr;
    Message() = default;
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
    ~Message() { sd_bus_message_unref(m); }
};

// How long opening a connection may take. A bus that accepts the connection
// and never answers would otherwise hold the caller for sd-bus's own
// authentication time-out (a minute and a half) on every open.
constexpr auto kOpenTimeout = std::chrono::microseconds(kCallTimeoutUs);
// A bus or a BlueZ that let a call or an open run out of time is left alone
// this long: the calls meanwhile fail at once instead of each waiting out its
// own time-out, and it is tried again after.
constexpr auto kSilenceHold = std::chrono::seconds(5);
// Whether BlueZ is on the bus is asked again after this long (sooner when
// the connection that told it broke).
constexpr auto kServiceAnswerHold = std::chrono::seconds(3);

std::string SystemBusAddress()
{
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return env && *env ? env : "unix:path=/run/dbus/system_bus_socket";
}

// The bus address that did not answer in time, and until when it is left
// alone; for the whole process, so the link monitor's thread and the screens
// do not each wait it out.
struct SilentBus {
    std::mutex lock;
    std::string address;
    std::chrono::steady_clock::time_point until;
};

SilentBus& Silence()
{
    static SilentBus* s = new SilentBus;
    return *s;
}

bool Silenced(const std::string& address)
{
    SilentBus& s = Silence();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.address == address && std::chrono::steady_clock::now() < s.until;
}

void MarkSilent(const std::string& address)
{
    SilentBus& s = Silence();
    std::lock_guard<std::mutex> guard(s.lock);
    s.address = address;
    s.until = std::chrono::steady_clock::now() + kSilenceHold;
}

// A connection to the bus at `address` that has said hello, or nullptr when
// none could be had in time (`timedOut`) or at all.
sd_bus* OpenBus(const std::string& address, bool& timedOut)
{
    timedOut = false;
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0)
        return nullptr;
    const auto end = std::chrono::steady_clock::now() + kOpenTimeout;
    // As sd_bus_open_system() sets it up, but started here, so that waiting
    // for the bus's answers keeps to our own time.
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_set_trusted(bus, 0) < 0 || sd_bus_set_method_call_timeout(bus, kCallTimeoutUs) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_close_unref(bus);
        return nullptr;
    }
    for (;;) {
        if (sd_bus_is_ready(bus) > 0)
            return bus;
        int r = sd_bus_process(bus, nullptr);
        if (r < 0)
            break;
        if (r > 0)
            continue;
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        r = sd_bus_wait(bus, static_cast<uint64_t>(left));
        if (r < 0 && r != -EINTR)
            break;
    }
    sd_bus_close_unref(bus);
    return nullptr;
}

// Each thread keeps one connection (sd-bus connections are not to be shared
// between threads) instead of opening one for every call: every new
// connection is announced to every listener on the bus, and the link
// monitor calls the stack several times a second while the link is down.
class ThreadConnection {
public:
    ThreadConnection() = default;
    ~ThreadConnection() { Drop(); }
    ThreadConnection(const ThreadConnection&) = delete;
    ThreadConnection& operator=(const ThreadConnection&) = delete;

    // The thread's connection to the system bus, opened anew when it has
    // none, the bus address changed or the connection broke (the bus
    // restarted); nullptr when the bus cannot be reached.
    sd_bus* Get()
    {
        const std::string address = SystemBusAddress();
        if (bus_ && (address != address_ || !Alive()))
            Drop();
        if (bus_)
            return bus_;
        if (Silenced(address))
            return nullptr;
        bool timedOut = false;
        bus_ = OpenBus(address, timedOut);
        address_ = address;
        if (timedOut)
            MarkSilent(address);
        return bus_;
    }
    void Drop()
    {
        if (bus_)
            sd_bus_close_unref(bus_);
        bus_ = nullptr;
        hasServiceAnswer_ = false;
    }
    const std::string& Address() const { return address_; }

    // The last answer whether BlueZ is on the bus, while it holds.
    bool ServiceAnswer(bool& has) const
    {
        if (!hasServiceAnswer_ || std::chrono::steady_clock::now() >= serviceAnswerUntil_)
            return false;
        has = serviceAnswer_;
        return true;
    }
    void SetServiceAnswer(bool has)
    {
        hasServiceAnswer_ = true;
        serviceAnswer_ = has;
        serviceAnswerUntil_ = std::chrono::steady_clock::now() + kServiceAnswerHold;
    }

private:
    // Lets what came since the last call run (nothing waits for it any more)
    // and tells whether the connection still stands.
    bool Alive()
    {
        int r = 0;
        while ((r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        return r >= 0 && sd_bus_is_open(bus_) > 0;
    }

    sd_bus* bus_ = nullptr;
    std::string address_;
    bool hasServiceAnswer_ = false;
    bool serviceAnswer_ = false;
    std::chrono::steady_clock::time_point serviceAnswerUntil_;
};

ThreadConnection& Connection()
{
    thread_local ThreadConnection connection;
    return connection;
}

// The calling thread's connection for the time of one stack call.
class Bus {
public:
    Bus() : bus_(sd_bus_ref(Connection().Get())) {}
    ~Bus()
    {
        // A call that got no answer in time leaves the bus silent for a
        // while; a connection that broke is opened anew by the next call.
        if (bus_ && (silent_ || sd_bus_is_open(bus_) <= 0)) {
            if (silent_)
                MarkSilent(Connection().Address());
            Connection().Drop();
        }
        sd_bus_unref(bus_);
    }
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;
    bool Ok() const { return bus_ != nullptr; }
    sd_bus* Get() const { return bus_; }

    // A call's result, passed on; one that ran out of time is noted.
    int Check(int r)
    {
        if (r == -ETIMEDOUT)
            silent_ = true;
        return r;
    }
    // A call ran out of time: the bus or BlueZ does not answer.
    bool Silent() const { return silent_; }

    // Lets queued callbacks run; false when the connection broke.
    bool Pump(uint64_t waitUs)
    {
        for (;;) {
            int r = sd_bus_process(bus_, nullptr);
            if (r < 0)
                return false;
            if (r > 0)
                continue;
            if (waitUs == 0)
                return true;
            r = sd_bus_wait(bus_, waitUs);
            if (r < 0 && r != -EINTR)
                return false;
            waitUs = 0;
        }
    }

private:
    sd_bus* bus_ = nullptr;
    bool silent_ = false;
};

// The properties of one interface of one object, as far as the stack needs them.
struct Props {
    bool hasAddress = false;
    std::string address;
    bool hasName = false;
    std::string name;
    bool hasRssi = false;
    int rssi = 0;
    bool hasPowered = false;
    bool powered = false;
    bool hasPaired = false;
    bool paired = false;
    std::string adapter;
};

// Reads one variant of the basic D-Bus type `Wire` (its signature one of
// `types`) into `out`; a variant of any other type is skipped.
template <class Wire, class Out>
int ReadVariant(sd_bus_message* m, const char* types, Out& out, bool& has)
{
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(m, nullptr, &contents);
    if (r < 0)
        return r;
    if (!contents || contents[0] == 0 || contents[1] != 0 || !std::strchr(types, contents[0]))
        return sd_bus_message_skip(m, "v");
    Wire value{};
    r = sd_bus_message_read(m, "v", contents, &value);
    if (r < 0)
        return r;
    if constexpr (std::is_pointer_v<Wire>) {
        if (!value)
            return r;
        out = value;
    } else {
        out = static_cast<Out>(value);
    }
    has = true;
    return r;
}

int ReadVariantString(sd_bus_message* m, std::string& out, bool& has)
{
    return ReadVariant<const char*>(m, "so", out, has);
}

int ReadVariantBool(sd_bus_message* m, bool& out, bool& has)
{
    return ReadVariant<int>(m, "b", out, has);
}

int ReadVariantInt16(sd_bus_message* m, int& out, bool& has)
{
    return ReadVariant<int16_t>(m, "n", out, has);
}

// An a{sv} dictionary of properties.
int ReadProps(sd_bus_message* m, Props& p)
{
    int r = sd_bus_message_enter_container(m, 'a', "{sv}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        r = sd_bus_message_read(m, "s", &key);
        if (r < 0)
            return r;
        bool unused = false;
        const std::string k = key ? key : "";
        if (k == "Address")
            r = ReadVariantString(m, p.address, p.hasAddress);
        else if (k == "Name")
            r = ReadVariantString(m, p.name, p.hasName);
        else if (k == "Adapter")
            r = ReadVariantString(m, p.adapter, unused);
        else if (k == "RSSI")
            r = ReadVariantInt16(m, p.rssi, p.hasRssi);
        else if (k == "Powered")
            r = ReadVariantBool(m, p.powered, p.hasPowered);
        else if (k == "Paired")
            r = ReadVariantBool(m, p.paired, p.hasPaired);
        else
            r = sd_bus_message_skip(m, "v");
        if (r < 0)
            return r;
        r = sd_bus_message_exit_container(m);
        if (r < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(m);
}

// One object's interfaces, a{sa{sv}}: the adapter or device part only.
int ReadInterfaces(sd_bus_message* m, bool& isAdapter, bool& isDevice, Props& p)
{
    int r = sd_bus_message_enter_container(m, 'a', "{sa{sv}}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sa{sv}")) > 0) {
        const char* iface = nullptr;
        r = sd_bus_message_read(m, "s", &iface);
        if (r < 0)
            return r;
        const std::string name = iface ? iface : "";
        if (name == kAdapterIface || name == kDeviceIface) {
            (name == kAdapterIface ? isAdapter : isDevice) = true;
            r = ReadProps(m, p);
        } else {
            r = sd_bus_message_skip(m, "a{sv}");
        }
        if (r < 0)
            return r;
        r = sd_bus_message_exit_container(m);
        if (r < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(m);
}

struct DeviceObject {
    std::string path;
    BT_ADDR address = 0;
    Props props;
};

// The adapter in use and its devices, as BlueZ's object tree has them.
struct Tree {
    std::string adapter;  // empty: none
    bool powered = false;
    std::vector<DeviceObject> devices;

    const DeviceObject* Find(BT_ADDR address) const
    {
        for (const DeviceObject& d : devices) {
            if (d.address == address)
                return &d;
        }
        return nullptr;
    }
};

bool UnderAdapter(const std::string& path, const std::string& adapter)
{
    return !adapter.empty() && path.size() > adapter.size() + 1 && path.compare(0, adapter.size(), adapter) == 0 &&
           path[adapter.size()] == '/';
}

// ERROR_SUCCESS with the tree read; ERROR_SERVICE_NOT_ACTIVE when BlueZ
// cannot be asked, there is no adapter or the adapter is off.
int ReadTree(Bus& bus, Tree& tree)
{
    tree = Tree{};
    if (!bus.Ok())
        return ERROR_SERVICE_NOT_ACTIVE;
    BusError error;
    Message reply;
    if (bus.Check(sd_bus_call_method(bus.Get(), kService, "/", "org.freedesktop.DBus.ObjectManager",
                                     "GetManagedObjects", &error.e, &reply.m, "")) < 0)
        return ERROR_SERVICE_NOT_ACTIVE;
    sd_bus_message* m = reply.m;
    std::map<std::string, bool> adapters;  // path -> powered (sorted: the first is hci0)
    std::vector<DeviceObject> devices;
    int r = sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}")) > 0) {
        const char* path = nullptr;
        if ((r = sd_bus_message_read(m, "o", &path)) < 0)
            break;
        bool isAdapter = false;
        bool isDevice = false;
        Props p;
        if ((r = ReadInterfaces(m, isAdapter, isDevice, p)) < 0)
            break;
        if (isAdapter) {
            adapters[path] = p.powered;
        } else if (isDevice) {
            DeviceObject d;
            d.path = path;
            d.props = p;
            if (p.hasAddress && ParseBtAddress(p.address, d.address))
                devices.push_back(std::move(d));
        }
        r = sd_bus_message_exit_container(m);
    }
    if (r < 0 || adapters.empty())
        return ERROR_SERVICE_NOT_ACTIVE;
    // The handheld has one radio: with several adapters the first is used.
    tree.adapter = adapters.begin()->first;
    tree.powered = adapters.begin()->second;
    for (DeviceObject& d : devices) {
        if (UnderAdapter(d.path, tree.adapter))
            tree.devices.push_back(std::move(d));
    }
    return tree.powered ? ERROR_SUCCESS : ERROR_SERVICE_NOT_ACTIVE;
}

long InquiryMs()
{
    // The inquiry time may be shortened (or lengthened) for a quieter radio.
    const char* env = std::getenv("QAV5_BLUETOOTH_INQUIRY_MS");
    if (!env || !env[0])
        return kInquiryMs;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(env, &end, 10);
    if (errno == 0 && end && end != env && *end == 0 && v >= 0 && v <= kLongestInquiryMs)
        return v;
    TellSettingPassedBy("QAV5_BLUETOOTH_INQUIRY_MS", env,
                        ("it takes 0 to " + std::to_string(kLongestInquiryMs) + " ms; the inquiry takes " +
                         std::to_string(kInquiryMs) + " ms")
                            .c_str());
    return kInquiryMs;
}

// ---------------------------------------------------------------- inquiry

struct Discovery {
    std::string adapter;
    std::vector<std::string> order;                  // device paths in the order first seen
    std::map<std::string, bluez::FoundDevice> seen;  // path -> device
};

void SeeDevice(Discovery& d, const std::string& path, const Props& p)
{
    if (!UnderAdapter(path, d.adapter))
        return;
    auto it = d.seen.find(path);
    if (it == d.seen.end()) {
        bluez::FoundDevice f;
        if (p.hasAddress)
            ParseBtAddress(p.address, f.address);
        it = d.seen.emplace(path, f).first;
        d.order.push_back(path);
    }
    if (p.hasName)
        it->second.name = p.name;
}

int OnInterfacesAdded(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    auto* d = static_cast<Discovery*>(userdata);
    const char* path = nullptr;
    if (sd_bus_message_read(m, "o", &path) < 0 || !path)
        return 0;
    bool isAdapter = false;
    bool isDevice = false;
    Props p;
    if (ReadInterfaces(m, isAdapter, isDevice, p) < 0 || !isDevice)
        return 0;
    SeeDevice(*d, path, p);
    return 0;
}

// A cached device that answers the inquiry shows by a new signal strength.
int OnPropertiesChanged(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    auto* d = static_cast<Discovery*>(userdata);
    const char* iface = nullptr;
    if (sd_bus_message_read(m, "s", &iface) < 0 || !iface || std::strcmp(iface, kDeviceIface) != 0)
        return 0;
    Props p;
    if (ReadProps(m, p) < 0)
        return 0;
    const char* path = sd_bus_message_get_path(m);
    if (!path || !(p.hasRssi || d->seen.count(path)))
        return 0;
    SeeDevice(*d, path, p);
    return 0;
}

// ---------------------------------------------------------------- pairing

struct PairState {
    std::mutex lock;
    std::map<BT_ADDR, int> failures;   // pairings the device refused, per address
    std::map<BT_ADDR, int> openLinks;  // serial links open, per address
    RfcommConnector connector;
    unsigned long long linkOpens = 0;
    unsigned long long pairings = 0;
};

PairState& State()
{
    static PairState* s = new PairState;
    return *s;
}

struct PairCall {
    std::string devicePath;
    std::string pin;
    std::string bluetoothd;  // the bus connection of BlueZ itself
    bool done = false;
    bool ok = false;
    std::string error;  // the D-Bus error name of a failed pairing
    std::string errorText;
};

int AgentRequestPinCode(sd_bus_message* m, void* userdata, sd_bus_error* err)
{
    auto* call = static_cast<PairCall*>(userdata);
    const char* device = nullptr;
    if (sd_bus_message_read(m, "o", &device) < 0 || !device)
        return sd_bus_error_set(err, "org.bluez.Error.Rejected", "no device");
    // Only BlueZ may ask, only for the device being paired right now, and it
    // gets only the PIN the program stored for it: no other program on the
    // bus learns the PIN.
    const char* sender = sd_bus_message_get_sender(m);
    if (!sender || call->bluetoothd != sender)
        return sd_bus_error_set(err, "org.bluez.Error.Rejected", "not asked by BlueZ");
    if (call->devicePath != device || call->pin.empty())
        return sd_bus_error_set(err, "org.bluez.Error.Rejected", "not the device being paired");
    return sd_bus_reply_method_return(m, "s", call->pin.c_str());
}

int AgentReject(sd_bus_message*, void*, sd_bus_error* err)
{
    return sd_bus_error_set(err, "org.bluez.Error.Rejected", "the program pairs with a PIN only");
}

int AgentAcknowledge(sd_bus_message* m, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(m, "");
}

const sd_bus_vtable kAgentVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Release", "", "", AgentAcknowledge, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestPinCode", "o", "s", AgentRequestPinCode, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("DisplayPinCode", "os", "", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestPasskey", "o", "u", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("DisplayPasskey", "ouq", "", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestConfirmation", "ou", "", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("RequestAuthorization", "o", "", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AuthorizeService", "os", "", AgentReject, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Cancel", "", "", AgentAcknowledge, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

int OnPairReply(sd_bus_message* m, void* userdata, sd_bus_error*)
{
    auto* call = static_cast<PairCall*>(userdata);
    call->done = true;
    const sd_bus_error* e = sd_bus_message_get_error(m);
    call->ok = e == nullptr;
    if (e) {
        call->error = e->name ? e->name : "";
        call->errorText = call->error + (e->message ? std::string(": ") + e->message : std::string());
    }
    return 0;
}

// The program's agent: one per process, so its path carries the process
// number.
std::string AgentPath()
{
    return "/org/qav5/agent_" + std::to_string(::getpid());
}

bool AuthenticationRefused(const std::string& error)
{
    return error == "org.bluez.Error.AuthenticationFailed" || error == "org.bluez.Error.AuthenticationRejected" ||
           error == "org.bluez.Error.AuthenticationCanceled";
}

// Pairs the device over the bus with the program's agent answering its PIN
// request. Returns ERROR_SUCCESS, ERROR_ACCESS_DENIED (the PIN was refused)
// or ERROR_DEVICE_NOT_CONNECTED (the device or the bus did not answer).
int Pair(Bus& bus, const DeviceObject& device, const std::string& pin, std::string& why)
{
    PairCall call;
    call.devicePath = device.path;
    call.pin = pin;
    {
        BusError error;
        Message reply;
        const char* owner = nullptr;
        if (bus.Check(sd_bus_call_method(bus.Get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus", "GetNameOwner", &error.e, &reply.m, "s",
                                         kService)) < 0 ||
            sd_bus_message_read(reply.m, "s", &owner) < 0 || !owner) {
            why = "BlueZ left the bus";
            return ERROR_DEVICE_NOT_CONNECTED;
        }
        call.bluetoothd = owner;
    }
    const std::string agent = AgentPath();
    sd_bus_slot* objectSlot = nullptr;
    if (sd_bus_add_object_vtable(bus.Get(), &objectSlot, agent.c_str(), kAgentIface, kAgentVtable, &call) < 0) {
        why = "the pairing agent could not be set up";
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    {
        BusError error;
        if (bus.Check(sd_bus_call_method(bus.Get(), kService, "/org/bluez", "org.bluez.AgentManager1",
                                         "RegisterAgent", &error.e, nullptr, "os", agent.c_str(),
                                         "KeyboardOnly")) < 0 &&
            !error.Is("org.bluez.Error.AlreadyExists")) {
            sd_bus_slot_unref(objectSlot);
            why = "BlueZ refused the pairing agent (" + error.Text() + ")";
            return ERROR_DEVICE_NOT_CONNECTED;
        }
    }
    int result = ERROR_DEVICE_NOT_CONNECTED;
    Message request;
    sd_bus_slot* replySlot = nullptr;
    if (sd_bus_message_new_method_call(bus.Get(), &request.m, kService, device.path.c_str(), kDeviceIface, "Pair") <
            0 ||
        sd_bus_call_async(bus.Get(), &replySlot, request.m, OnPairReply, &call, kPairTimeoutUs) < 0) {
        why = "the pairing request could not be sent";
    } else {
        // The reply comes after BlueZ asked our agent: serve it meanwhile.
        const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(kPairTimeoutUs + kCallTimeoutUs);
        while (!call.done && std::chrono::steady_clock::now() < end) {
            if (!bus.Pump(200 * kUsecPerMs))
                break;
        }
        if (call.ok) {
            result = ERROR_SUCCESS;
        } else if (call.done && AuthenticationRefused(call.error)) {
            result = ERROR_ACCESS_DENIED;
            why = "the device refused the PIN (" + call.errorText + ")";
        } else {
            why = call.done ? "the pairing failed (" + call.errorText + ")" : "the pairing got no answer";
        }
        sd_bus_slot_unref(replySlot);
    }
    bus.Check(sd_bus_call_method(bus.Get(), kService, "/org/bluez", "org.bluez.AgentManager1", "UnregisterAgent",
                                 nullptr, nullptr, "o", agent.c_str()));
    sd_bus_slot_unref(objectSlot);
    return result;
}

}  // namespace

void SetRfcommConnector(RfcommConnector connector)
{
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.connector = std::move(connector);
}

namespace bluez {

bool ServiceAvailable()
{
    Bus bus;
    if (!bus.Ok())
        return false;
    // Asked for every stack call in turn: the answer is kept a little while
    // on the connection that gave it.
    bool known = false;
    if (Connection().ServiceAnswer(known))
        return known;
    int has = 0;
    BusError error;
    Message reply;
    if (bus.Check(sd_bus_call_method(bus.Get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "NameHasOwner", &error.e, &reply.m, "s", kService)) < 0 ||
        sd_bus_message_read(reply.m, "b", &has) < 0)
        return false;
    Connection().SetServiceAnswer(has != 0);
    return has != 0;
}

int RadioState()
{
    Bus bus;
    Tree tree;
    return ReadTree(bus, tree);
}

int Inquire(std::vector<FoundDevice>& found)
{
    found.clear();
    Bus bus;
    Tree tree;
    const int state = ReadTree(bus, tree);
    if (state != ERROR_SUCCESS)
        return state;
    Discovery d;
    d.adapter = tree.adapter;
    // The signals are subscribed to before the discovery starts, so no
    // device seen at its very beginning is missed.
    sd_bus_slot* slots[2] = {};
    if (bus.Check(sd_bus_match_signal(bus.Get(), &slots[0], kService, nullptr, "org.freedesktop.DBus.ObjectManager",
                                      "InterfacesAdded", OnInterfacesAdded, &d)) < 0 ||
        bus.Check(sd_bus_match_signal(bus.Get(), &slots[1], kService, nullptr, "org.freedesktop.DBus.Properties",
                                      "PropertiesChanged", OnPropertiesChanged, &d)) < 0) {
        for (sd_bus_slot* s : slots)
            sd_bus_slot_unref(s);
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    int result = ERROR_SUCCESS;
    {
        // The sensors speak classic Bluetooth only: no low-energy scan.
        BusError error;
        Message filter;
        if (sd_bus_message_new_method_call(bus.Get(), &filter.m, kService, tree.adapter.c_str(), kAdapterIface,
                                           "SetDiscoveryFilter") >= 0 &&
            sd_bus_message_append(filter.m, "a{sv}", 1, "Transport", "s", "bredr") >= 0)
            // An old BlueZ has no filter: its refusal is no failure.
            bus.Check(sd_bus_call(bus.Get(), filter.m, kCallTimeoutUs, &error.e, nullptr));
    }
    BusError startError;
    if (bus.Silent() ||
        (bus.Check(sd_bus_call_method(bus.Get(), kService, tree.adapter.c_str(), kAdapterIface, "StartDiscovery",
                                      &startError.e, nullptr, "")) < 0 &&
         !startError.Is("org.bluez.Error.InProgress"))) {
        result = ERROR_SERVICE_NOT_ACTIVE;
    } else {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(InquiryMs());
        // BlueZ tells a device's signal strength only when it first sees the
        // device or the strength moves by 8 dBm or more. A device it knows
        // already, seen by a discovery another program keeps running, shows
        // only by the strength it has now (BlueZ clears it when the
        // discovery ends), so that is read once the discovery runs; the
        // signals that came meanwhile go first, in their order.
        bool alive = bus.Pump(0);
        Tree known;
        if (alive && ReadTree(bus, known) == ERROR_SUCCESS) {
            for (const DeviceObject& o : known.devices) {
                if (o.props.hasRssi)
                    SeeDevice(d, o.path, o.props);
            }
        }
        // A BlueZ that did not answer that is not waited for any longer.
        alive = alive && !bus.Silent();
        while (alive) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                break;
            // The program makes the inquiry on its user-interface thread: the
            // screen goes on meanwhile, and a close asked for ends the
            // inquiry with what it saw so far.
            unsigned long sliceMs = 100;
            if (HeldCallEnds(&sliceMs))
                break;
            const uint64_t slice = static_cast<uint64_t>(sliceMs) * 1000;
            if (!bus.Pump(std::min(static_cast<uint64_t>(left), slice))) {
                alive = false;
                break;
            }
        }
        // What arrived up to the end still counts.
        alive = alive && bus.Pump(0);
        if (!bus.Silent())
            bus.Check(sd_bus_call_method(bus.Get(), kService, tree.adapter.c_str(), kAdapterIface, "StopDiscovery",
                                         nullptr, nullptr, ""));
        if (!alive)
            result = ERROR_SERVICE_NOT_ACTIVE;
    }
    for (sd_bus_slot* s : slots)
        sd_bus_slot_unref(s);
    if (result != ERROR_SUCCESS)
        return result;
    // Names learnt late, and devices gone meanwhile (BlueZ drops the object of
    // a device out of reach), from the tree as it is now.
    Tree now;
    if (ReadTree(bus, now) != ERROR_SUCCESS)
        return ERROR_SERVICE_NOT_ACTIVE;
    for (const std::string& path : d.order) {
        FoundDevice f = d.seen[path];
        const DeviceObject* o = nullptr;
        for (const DeviceObject& x : now.devices) {
            if (x.path == path)
                o = &x;
        }
        if (!o)
            continue;
        f.address = o->address;
        if (o->props.hasName)
            f.name = o->props.name;
        found.push_back(f);
    }
    return ERROR_SUCCESS;
}

int RemoteName(BT_ADDR address, std::string& name)
{
    Bus bus;
    Tree tree;
    const int state = ReadTree(bus, tree);
    if (state != ERROR_SUCCESS)
        return state;
    const DeviceObject* d = tree.Find(address);
    if (!d || !d->props.hasName)
        return ERROR_TIMEOUT;
    name = d->props.name;
    return ERROR_SUCCESS;
}

int ReadRssi(BT_ADDR address, int& dbm)
{
    Bus bus;
    Tree tree;
    const int state = ReadTree(bus, tree);
    if (state != ERROR_SUCCESS)
        return state;
    const DeviceObject* d = tree.Find(address);
    if (d && d->props.hasRssi) {
        dbm = d->props.rssi;
        return ERROR_SUCCESS;
    }
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.openLinks.find(address);
    if (it == s.openLinks.end() || it->second <= 0)
        return ERROR_DEVICE_NOT_CONNECTED;
    dbm = kOpenLinkRssi;
    return ERROR_SUCCESS;
}

int OpenLink(BT_ADDR address, int channel)
{
    const std::string subject = "bluetooth " + FormatBtAddress(address);
    auto fail = [&](DWORD error, const std::string& why) {
        DiagnoseComm(subject, "bluetooth: " + FormatBtAddress(address) + ": " + why + " (error " +
                                  std::to_string(error) + ")");
        SetLastError(error);
        return -1;
    };
    PairState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        ++s.linkOpens;
    }
    Bus bus;
    Tree tree;
    if (ReadTree(bus, tree) != ERROR_SUCCESS)
        return fail(ERROR_SERVICE_NOT_ACTIVE, "no Bluetooth adapter switched on");
    const DeviceObject* device = tree.Find(address);
    if (!device)
        return fail(ERROR_DEVICE_NOT_CONNECTED, "unknown to BlueZ: search for it first");
    if (!device->props.paired) {
        const std::string pin = StoredPin(address);
        {
            std::lock_guard<std::mutex> guard(s.lock);
            if (s.failures[address] >= kPairAttempts)
                return fail(ERROR_ACCESS_DENIED, "the device refused the PIN " + std::to_string(kPairAttempts) +
                                                     " times; not paired again until the PIN changes");
        }
        if (pin.empty())
            return fail(ERROR_ACCESS_DENIED, "no PIN to pair with");
        std::string why;
        {
            std::lock_guard<std::mutex> guard(s.lock);
            ++s.pairings;
        }
        const int paired = Pair(bus, *device, pin, why);
        if (paired != ERROR_SUCCESS) {
            if (paired == ERROR_ACCESS_DENIED) {
                std::lock_guard<std::mutex> guard(s.lock);
                ++s.failures[address];
            }
            return fail(static_cast<DWORD>(paired), "pairing with \"" + device->props.name + "\" failed: " + why);
        }
        std::lock_guard<std::mutex> guard(s.lock);
        s.failures.erase(address);
    }
    RfcommConnector connector;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        connector = s.connector;
    }
    const int fd = connector ? connector(address, channel) : ConnectRfcomm(address, channel);
    if (fd < 0) {
        const int err = errno;
        return fail(ERROR_DEVICE_NOT_CONNECTED, "no serial link to channel " + std::to_string(channel) + ": " +
                                                    std::strerror(err));
    }
    ClearCommDiagnosis(subject);
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.openLinks[address];
    return fd;
}

void LinkClosed(BT_ADDR address)
{
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.openLinks.find(address);
    if (it != s.openLinks.end() && --it->second <= 0)
        s.openLinks.erase(it);
}

void PinChanged(BT_ADDR address)
{
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failures.erase(address);
}

void ForgetLinks()
{
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failures.clear();
    s.openLinks.clear();
    s.linkOpens = 0;
    s.pairings = 0;
}

}  // namespace bluez

BluezCounts BluezLinkCounts()
{
    PairState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return BluezCounts{s.linkOpens, s.pairings};
}

}  // namespace qplat
