// Per-thread last error, local memory, debug output and the program's own name.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"

namespace {

thread_local DWORD t_lastError = 0;

// The handheld has 64 MB; anything far beyond that is a corrupt count, and
// failing it here keeps the sanitizers from aborting on a huge request.
const SIZE_T kLargestLocalAlloc = SIZE_T(256) * 1024 * 1024;

struct DebugLog {
    std::mutex lock;
    std::deque<std::u16string> lines;
};

DebugLog& Log()
{
    static DebugLog* log = new DebugLog;
    return *log;
}

const size_t kDebugLinesKept = 200;

struct ModuleName {
    std::mutex lock;
    bool set = false;
    std::u16string path;
};

ModuleName& Module()
{
    static ModuleName* m = new ModuleName;
    return *m;
}

}  // namespace

DWORD GetLastError()
{
    return t_lastError;
}

void SetLastError(DWORD error)
{
    t_lastError = error;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes)
{
    if (bytes > kLargestLocalAlloc) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t size = bytes ? bytes : 1;
    void* p = (flags & LMEM_ZEROINIT) ? std::calloc(1, size) : std::malloc(size);
    if (!p)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HLOCAL LocalFree(HLOCAL memory)
{
    std::free(memory);
    return nullptr;
}

void OutputDebugStringW(LPCWSTR text)
{
    if (!text)
        return;
    std::u16string line(text);
    if (std::getenv("QAV5_DEBUG")) {
        std::string utf8 = qplat::ToUtf8(line);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        std::fflush(stderr);
    }
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.lines.push_back(std::move(line));
    while (log.lines.size() > kDebugLinesKept)
        log.lines.pop_front();
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR name, DWORD size)
{
    if (!name || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::u16string path = qplat::ModuleDevicePath();
    if (path.size() >= size) {
        // Cut and terminated, as the handheld does with a short buffer.
        std::copy(path.begin(), path.begin() + (size - 1), name);
        name[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::copy(path.begin(), path.end(), name);
    name[path.size()] = 0;
    SetLastError(NO_ERROR);
    return static_cast<DWORD>(path.size());
}

namespace qplat {

std::vector<std::u16string> DebugOutput()
{
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    return std::vector<std::u16string>(log.lines.begin(), log.lines.end());
}

void ClearDebugOutput()
{
    DebugLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.lines.clear();
}

void SetModuleDevicePath(const std::u16string& devicePath)
{
    ModuleName& m = Module();
    std::lock_guard<std::mutex> guard(m.lock);
    m.set = !devicePath.empty();
    m.path = devicePath;
}

std::u16string ModuleDevicePath()
{
    {
        ModuleName& m = Module();
        std::lock_guard<std::mutex> guard(m.lock);
        if (m.set)
            return m.path;
    }
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("/program");
    std::string root = DeviceRoot();
    std::string inside;
    if (exe.size() > root.size() + 1 && exe.compare(0, root.size(), root) == 0 && exe[root.size()] == '/')
        inside = exe.substr(root.size());
    else
        inside = exe.substr(exe.rfind('/'));
    std::u16string path = FromUtf8(inside);
    for (auto& c : path) {
        if (c == u'/')
            c = u'\\';
    }
    return path;
}

}  // namespace qplat
