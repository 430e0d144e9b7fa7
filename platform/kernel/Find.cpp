// FindFirstFileW / FindNextFileW over the device root, and the attributes a
// host file shows on the handheld.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"
#include "platform/kernel/KernelObject.h"

namespace qplat {

namespace {

bool HasWildcard(std::u16string_view s)
{
    return s.find_first_of(u"*?") != std::u16string_view::npos;
}

bool MatchFrom(std::u16string_view p, std::u16string_view n)
{
    // Iterative glob with single-star backtracking: linear in practice and no
    // recursion depth to exhaust on a long pattern.
    size_t pi = 0, ni = 0, starP = std::u16string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || (p[pi] != u'*' && SameName(p.substr(pi, 1), n.substr(ni, 1))))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u16string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

class FindObject : public KernelObject {
public:
    std::mutex lock;
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

FILETIME ToFileTime(const struct timespec& ts)
{
    // 100 ns units since 1601-01-01.
    long long t = (static_cast<long long>(ts.tv_sec) + 11644473600LL) * 10000000LL + ts.tv_nsec / 100;
    if (t < 0)
        t = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) >> 32);
    return ft;
}

bool FillEntry(const std::string& hostPath, const std::u16string& name, WIN32_FIND_DATAW& data)
{
    struct stat st;
    if (name.size() >= MAX_PATH || ::stat(hostPath.c_str(), &st) != 0)
        return false;
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = HostAttributes(hostPath, st.st_mode);
    data.ftCreationTime = ToFileTime(st.st_mtim);
    data.ftLastAccessTime = ToFileTime(st.st_atim);
    data.ftLastWriteTime = ToFileTime(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        unsigned long long size = static_cast<unsigned long long>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    std::copy(name.begin(), name.end(), data.cFileName);
    data.cFileName[name.size()] = 0;
    return true;
}

}  // namespace

bool MatchFilePattern(std::u16string_view pattern, std::u16string_view name)
{
    if (MatchFrom(pattern, name))
        return true;
    // A name without an extension also matches as "name." does, so "*.*"
    // finds "README" and "*." finds only names without a dot.
    if (name.find(u'.') == std::u16string_view::npos) {
        std::u16string dotted(name);
        dotted.push_back(u'.');
        return MatchFrom(pattern, dotted);
    }
    return false;
}

DWORD HostAttributes(const std::string&, unsigned mode)
{
    if (S_ISDIR(mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
    // By the mode bits, not by access(): the read-only mark must not depend on
    // who runs the program.
    if (!(mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

}  // namespace qplat

using namespace qplat;

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    if (!pattern || !pattern[0] || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string text(pattern);
    size_t sep = text.find_last_of(u"\\/");
    std::u16string folder = sep == std::u16string::npos ? std::u16string() : text.substr(0, sep);
    std::u16string leaf = sep == std::u16string::npos ? text : text.substr(sep + 1);
    auto object = std::make_shared<FindObject>();

    if (!HasWildcard(leaf)) {
        // A plain name finds that one file or folder.
        ResolvedPath r = ResolveDevicePath(text);
        if (!r.ok) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
        WIN32_FIND_DATAW entry;
        if (r.isRoot || !r.exists || !FillEntry(r.host, r.leaf, entry)) {
            SetLastError(r.isRoot || r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        object->entries.push_back(entry);
    } else {
        if (HasWildcard(folder)) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
        ResolvedPath r = ResolveDevicePath(folder);
        if (!r.ok) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
        DIR* d = r.exists ? ::opendir(r.host.c_str()) : nullptr;
        if (!d) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        std::vector<std::pair<std::u16string, std::string>> names;
        while (struct dirent* e = ::readdir(d)) {
            std::string host = e->d_name;
            if (host == "." || host == "..")
                continue;
            if (r.isRoot && host == ".qav5-platform")
                continue;
            std::u16string name = FromUtf8(host);
            if (MatchFilePattern(leaf, name))
                names.emplace_back(std::move(name), std::move(host));
        }
        ::closedir(d);
        // Host folders have no stable order; the handheld's card lists in a
        // fixed one, so sort to keep listings reproducible.
        std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
            std::u16string fa = FoldName(a.first), fb = FoldName(b.first);
            return fa != fb ? fa < fb : a.first < b.first;
        });
        for (const auto& [name, host] : names) {
            WIN32_FIND_DATAW entry;
            if (FillEntry(r.host + "/" + host, name, entry))
                object->entries.push_back(entry);
        }
        if (object->entries.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
    }
    *data = object->entries[0];
    object->next = 1;
    SetLastError(NO_ERROR);
    return InsertHandle(object);
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data)
{
    auto object = LookupHandleAs<FindObject>(find);
    if (!object || !data) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    if (object->next >= object->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = object->entries[object->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    if (!LookupHandleAs<FindObject>(find)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(find);
}
