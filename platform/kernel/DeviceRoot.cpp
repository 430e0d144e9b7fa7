// The device root: the host folder that stands for "\" of the handheld, and the
// translation of the handheld's paths (backslashes, any letter case) to host
// paths below it.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"

namespace qplat {

namespace {

// Hidden below the root; the handheld's own paths can never name it.
const char kPlatformFolderName[] = ".qav5-platform";

struct RootState {
    std::mutex lock;
    // Every root ever chosen stays allocated: DeviceRoot() hands out a
    // reference, and a thread still holding the previous one (a worker that
    // outlived a test's root) must not read freed memory.
    std::list<std::string> roots;
    const std::string* root = nullptr;
};

RootState& State()
{
    static RootState* state = new RootState;
    return *state;
}

bool MakeFolders(const std::string& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Absolute(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec)
        return path;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

void ChooseRootLocked(RootState& s, const std::string& folder)
{
    std::string root = Absolute(folder);
    MakeFolders(root);
    for (const auto& known : s.roots) {
        if (known == root) {
            s.root = &known;
            return;
        }
    }
    s.roots.push_back(root);
    s.root = &s.roots.back();
}

bool IsForbiddenNameChar(char16_t c)
{
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

bool HostExists(const std::string& path, bool* isDir = nullptr)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (isDir)
        *isDir = S_ISDIR(st.st_mode);
    return true;
}

// Finds `name` in the host folder `dir`, as a path of that name opens it.
bool FindInFolder(const std::string& dir, const std::u16string& name, std::string& found)
{
    std::string exact = ToUtf8(name);
    if (HostExists(dir + "/" + exact)) {
        found = exact;
        return true;
    }
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return false;
    std::vector<std::u16string> names;
    while (struct dirent* e = ::readdir(d)) {
        std::string entry = e->d_name;
        if (entry != "." && entry != "..")
            names.push_back(FromUtf8(entry));
    }
    ::closedir(d);
    const std::u16string opened = OpenedSpelling(names, name);
    found = ToUtf8(opened);
    return !opened.empty();
}

}  // namespace

DWORD ErrorFromErrno(int err, bool missingIsPath)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
        return missingIsPath ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ENOTEMPTY:
    case EBUSY:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
    case EINVAL:
        return ERROR_INVALID_NAME;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_WRITE_FAULT;
    }
}

std::u16string FoldName(std::u16string_view name)
{
    std::u16string out(name);
    for (auto& c : out)
        c = towupper(c);
    return out;
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && towupper(a[i]) != towupper(b[i]))
            return false;
    }
    return true;
}

bool SameFileName(std::u16string_view a, std::u16string_view b)
{
    return SameName(a, b);
}

std::u16string OpenedSpelling(const std::vector<std::u16string>& names, std::u16string_view name)
{
    std::u16string opened;
    std::string openedBytes;
    for (const std::u16string& candidate : names) {
        if (candidate == name)
            return candidate;
        if (!SameName(candidate, name))
            continue;
        const std::string bytes = ToUtf8(candidate);
        if (opened.empty() || bytes < openedBytes) {
            opened = candidate;
            openedBytes = bytes;
        }
    }
    return opened;
}

std::string DefaultDeviceRootPath()
{
    std::string base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && home[0] ? home : "/tmp") + "/.local/share";
    }
    return base + "/qav5/root";
}

std::string DefaultDeviceRoot()
{
    std::string root = DefaultDeviceRootPath();
    MakeFolders(root);
    return root;
}

void SetDeviceRoot(const std::string& hostFolder)
{
    {
        RootState& s = State();
        std::lock_guard<std::mutex> guard(s.lock);
        ChooseRootLocked(s, hostFolder.empty() ? DefaultDeviceRoot() : hostFolder);
    }
    // What was read from the old root no longer applies.
    ResetRegistryCache();
    ResetClockCache();
}

const std::string& DeviceRoot()
{
    RootState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.root) {
        const char* env = std::getenv("QAV5_ROOT");
        ChooseRootLocked(s, env && env[0] ? std::string(env) : DefaultDeviceRoot());
    }
    return *s.root;
}

std::string PlatformFolder()
{
    std::string folder = DeviceRoot() + "/" + kPlatformFolderName;
    MakeFolders(folder);
    return folder;
}

bool SplitDevicePath(const std::u16string& devicePath, std::vector<std::u16string>& parts)
{
    parts.clear();
    std::u16string part;
    auto finish = [&]() -> bool {
        if (part.empty() || part == u".") {
            part.clear();
            return true;
        }
        if (part == u"..")
            return false;
        // Trailing blanks and dots are not part of a name on the handheld's
        // file system; "a." and "a" are the same file there.
        while (!part.empty() && (part.back() == u' ' || part.back() == u'.'))
            part.pop_back();
        if (part.empty())
            return false;
        for (char16_t c : part) {
            if (IsForbiddenNameChar(c))
                return false;
        }
        parts.push_back(part);
        part.clear();
        return true;
    };
    for (char16_t c : devicePath) {
        if (c == u'\\' || c == u'/') {
            if (!finish())
                return false;
        } else {
            part.push_back(c);
        }
    }
    return finish();
}

ResolvedPath ResolveDevicePath(const std::u16string& devicePath)
{
    ResolvedPath r;
    std::vector<std::u16string> parts;
    if (!SplitDevicePath(devicePath, parts))
        return r;
    if (!parts.empty() && SameName(parts[0], u".qav5-platform"))
        return r;
    std::string cur = DeviceRoot();
    r.ok = true;
    if (parts.empty()) {
        r.host = cur;
        r.parent = cur;
        r.parentExists = true;
        r.exists = true;
        r.isRoot = true;
        return r;
    }
    bool existing = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i + 1 == parts.size()) {
            r.parent = cur;
            bool isDir = false;
            r.parentExists = existing && HostExists(cur, &isDir) && isDir;
        }
        std::string found;
        if (existing && FindInFolder(cur, parts[i], found)) {
            cur += '/';
            cur += found;
            if (i + 1 == parts.size())
                r.leaf = FromUtf8(found);
        } else {
            existing = false;
            cur += '/';
            cur += ToUtf8(parts[i]);
            if (i + 1 == parts.size())
                r.leaf = parts[i];
        }
    }
    r.host = cur;
    r.exists = existing;
    return r;
}

std::string HostPath(const std::u16string& devicePath)
{
    ResolvedPath r = ResolveDevicePath(devicePath);
    return r.ok ? r.host : std::string();
}

}  // namespace qplat
