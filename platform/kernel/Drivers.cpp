// DeviceIoControl and the stand-in drivers: the power driver "YGI1:" and the
// Bluetooth driver "BTD0:" accept every request, note it and do nothing, since
// what they would do on the handheld (prepare the power-off, switch the radio
// to card mode) has no meaning on the host.
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

namespace {

struct RequestLog {
    std::mutex lock;
    std::vector<DriverRequest> requests;
};

RequestLog& Requests()
{
    static RequestLog* log = new RequestLog;
    return *log;
}

const size_t kRequestsKept = 1000;

class StandInDriver : public KernelObject {
public:
    explicit StandInDriver(std::string name) : name_(std::move(name)) {}

    BOOL IoControl(DWORD code, const void* in, DWORD inSize, void*, DWORD, DWORD* returned) override
    {
        if (returned)
            *returned = 0;
        DriverRequest request{name_, code, std::string()};
        if (in && inSize)
            request.input.assign(static_cast<const char*>(in), inSize);
        RequestLog& log = Requests();
        std::lock_guard<std::mutex> guard(log.lock);
        if (log.requests.size() >= kRequestsKept)
            log.requests.erase(log.requests.begin());
        log.requests.push_back(std::move(request));
        return TRUE;
    }

private:
    std::string name_;
};

DeviceOpener StandIn(const std::string& prefix, DWORD onlyIndex)
{
    return [prefix, onlyIndex](DWORD index, DWORD, DWORD) -> std::shared_ptr<KernelObject> {
        if (index != onlyIndex) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        return std::make_shared<StandInDriver>(prefix + std::to_string(index) + ":");
    };
}

}  // namespace

void RegisterStandInDrivers()
{
    RegisterDeviceOpener("YGI", StandIn("YGI", 1));
    RegisterDeviceOpener("BTD", StandIn("BTD", 0));
}

std::vector<DriverRequest> DriverRequests()
{
    RequestLog& log = Requests();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.requests;
}

void ClearDriverRequests()
{
    RequestLog& log = Requests();
    std::lock_guard<std::mutex> guard(log.lock);
    log.requests.clear();
}

}  // namespace qplat

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
                     LPOVERLAPPED)
{
    auto object = qplat::LookupHandle(device);
    if (!object) {
        if (returned)
            *returned = 0;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->IoControl(code, in, inSize, out, outSize, returned);
}
