// Files and folders of the handheld on the device root, with the Win32 rules the
// program relies on: creation dispositions, sharing between open handles,
// short reads at the end of a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/StorageFaults.h"

namespace qplat {

namespace {

// A sync of a file's data (`folder` empty) or of a folder's names.
int SyncFd(int fd, const std::string& path, bool folder)
{
    if (folder)
        faults::BeforeFolderSync(path);
    else
        faults::BeforeSync(path);
    if (faults::SyncFailureDue()) {
        errno = EIO;
        return -1;
    }
    if (faults::SyncsWait() && ::fsync(fd) != 0)
        return -1;
    if (folder)
        faults::FolderSynced(path);
    else
        faults::Synced(fd);
    return 0;
}

// One open of a host file, for the sharing check.
struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct OpenEntry {
    DWORD access;
    DWORD share;
    const void* owner;
};

struct ShareTable {
    std::mutex lock;
    std::multimap<FileId, OpenEntry> opens;
    // Files this process created whose folder has not been synced since: the
    // name of a new file is kept by its folder, so a flush of the file alone
    // would leave a power cut free to lose the whole of it.
    std::map<FileId, std::string> newFileFolders;
};

ShareTable& Shares()
{
    static ShareTable* table = new ShareTable;
    return *table;
}

bool Compatible(DWORD access, DWORD share, const OpenEntry& other)
{
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    const bool otherReads = (other.access & GENERIC_READ) != 0;
    const bool otherWrites = (other.access & GENERIC_WRITE) != 0;
    if (reads && !(other.share & FILE_SHARE_READ))
        return false;
    if (writes && !(other.share & FILE_SHARE_WRITE))
        return false;
    if (otherReads && !(share & FILE_SHARE_READ))
        return false;
    if (otherWrites && !(share & FILE_SHARE_WRITE))
        return false;
    return true;
}

// Caller holds the share lock.
bool AnyOpenLocked(const FileId& id)
{
    return Shares().opens.count(id) != 0;
}

bool StatId(const std::string& path, FileId& id)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    id = FileId{st.st_dev, st.st_ino};
    return true;
}

// FALSE when an open handle of this process holds the file without sharing
// the given access (deletes and renames count as writes).
bool OpenHandlesAllow(const std::string& hostPath, DWORD access)
{
    FileId id;
    if (!StatId(hostPath, id))
        return true;
    ShareTable& t = Shares();
    std::lock_guard<std::mutex> guard(t.lock);
    auto range = t.opens.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
        if (access == 0)
            return false;
        if (!Compatible(access, FILE_SHARE_READ | FILE_SHARE_WRITE, it->second))
            return false;
    }
    return true;
}

// FALSE with errno set when the folder could not be opened or synced.
bool SyncFolder(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = SyncFd(fd, path, true) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

// Syncs the folder of a file this process created, once: FALSE (errno set)
// while it cannot be synced, so each flush tries again until it can.
bool SyncNewFileFolder(const FileId& id)
{
    ShareTable& t = Shares();
    std::string folder;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.newFileFolders.find(id);
        if (it == t.newFileFolders.end())
            return true;
        folder = it->second;
    }
    // A folder that is gone took the file with it: what flushes now is
    // another file that got the same id, and has nothing of this one to keep.
    if (!SyncFolder(folder) && errno != ENOENT)
        return false;
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.newFileFolders.find(id);
    if (it != t.newFileFolders.end() && it->second == folder)
        t.newFileFolders.erase(it);
    return true;
}

class FileObject : public KernelObject {
public:
    FileObject(int fd, FileId id, DWORD access, std::string path)
        : fd_(fd), id_(id), access_(access), path_(std::move(path))
    {
    }
    ~FileObject() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    BOOL Read(void* buffer, DWORD toRead, DWORD* read) override
    {
        if (!MayTransfer(GENERIC_READ, buffer, toRead, read))
            return FALSE;
        std::lock_guard<std::mutex> guard(lock_);
        DWORD done = 0;
        while (done < toRead) {
            const size_t allowed = faults::AllowedReadBytes(toRead - done);
            ssize_t n = allowed ? ::read(fd_, static_cast<char*>(buffer) + done, allowed) : -1;
            if (n < 0) {
                if (allowed && errno == EINTR)
                    continue;
                if (read)
                    *read = done;
                SetLastError(ERROR_READ_FAULT);
                return FALSE;
            }
            if (n == 0)
                break;  // end of file: a short read is a success
            done += static_cast<DWORD>(n);
        }
        if (read)
            *read = done;
        return TRUE;
    }

    BOOL Write(const void* buffer, DWORD toWrite, DWORD* written) override
    {
        if (!MayTransfer(GENERIC_WRITE, buffer, toWrite, written))
            return FALSE;
        std::lock_guard<std::mutex> guard(lock_);
        bool dieAfter = false;
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        size_t allowed = faults::BeforeWrite(path_, fd_, at < 0 ? 0 : static_cast<unsigned long long>(at),
                                             faults::AllowedWriteBytes(toWrite), &dieAfter);
        DWORD done = 0;
        while (done < allowed) {
            ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, allowed - done);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (written)
                    *written = done;
                SetLastError(ErrorFromErrno(errno));
                return FALSE;
            }
            done += static_cast<DWORD>(n);
        }
        if (dieAfter)
            faults::Die();
        if (written)
            *written = done;
        if (allowed < toWrite) {
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return TRUE;
    }

    DWORD SetPointer(LONG distance, LONG* distanceHigh, DWORD method) override
    {
        long long move = distanceHigh ? static_cast<long long>((static_cast<unsigned long long>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                                               static_cast<DWORD>(distance))
                                      : static_cast<long long>(distance);
        int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
        if (whence < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        std::lock_guard<std::mutex> guard(lock_);
        off_t base = 0;
        if (whence == SEEK_CUR)
            base = ::lseek(fd_, 0, SEEK_CUR);
        else if (whence == SEEK_END) {
            struct stat st;
            base = ::fstat(fd_, &st) == 0 ? st.st_size : -1;
        }
        if (base < 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_SET_FILE_POINTER;
        }
        long long target = static_cast<long long>(base) + move;
        if (target < 0 || (!distanceHigh && target > 0xFFFFFFFFLL)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        if (::lseek(fd_, static_cast<off_t>(target), SEEK_SET) < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_SET_FILE_POINTER;
        }
        if (distanceHigh)
            *distanceHigh = static_cast<LONG>(static_cast<unsigned long long>(target) >> 32);
        SetLastError(NO_ERROR);
        return static_cast<DWORD>(target & 0xFFFFFFFFu);
    }

    DWORD Size(DWORD* sizeHigh) override
    {
        struct stat st;
        if (::fstat(fd_, &st) != 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_FILE_SIZE;
        }
        unsigned long long size = static_cast<unsigned long long>(st.st_size);
        if (sizeHigh)
            *sizeHigh = static_cast<DWORD>(size >> 32);
        SetLastError(NO_ERROR);
        return static_cast<DWORD>(size & 0xFFFFFFFFu);
    }

    BOOL SetEnd() override
    {
        if (!(access_ & GENERIC_WRITE)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        std::lock_guard<std::mutex> guard(lock_);
        off_t pos = ::lseek(fd_, 0, SEEK_CUR);
        faults::BeforeTruncate(path_);
        if (pos < 0 || ::ftruncate(fd_, pos) != 0) {
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        return TRUE;
    }

    BOOL Flush() override
    {
        if (SyncFd(fd_, path_, false) != 0 || !SyncNewFileFolder(id_)) {
            SetLastError(ErrorFromErrno(errno));
            return FALSE;
        }
        return TRUE;
    }

    void OnClose() override
    {
        ShareTable& t = Shares();
        std::lock_guard<std::mutex> guard(t.lock);
        auto range = t.opens.equal_range(id_);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second.owner == this) {
                t.opens.erase(it);
                break;
            }
        }
    }

private:
    // A refused transfer reports nothing moved, so the count is cleared first.
    bool MayTransfer(DWORD right, const void* buffer, DWORD count, DWORD* moved)
    {
        if (moved)
            *moved = 0;
        if (!(access_ & right)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        if (count && !buffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        return true;
    }

    std::mutex lock_;
    int fd_;
    FileId id_;
    DWORD access_;
    std::string path_;  // where it was opened, for the power-cut model
};

bool ParseDriverName(const std::u16string& name, std::string& prefix, DWORD& index)
{
    // "COM1:", "YGI1:", optionally preceded by "\" as some callers write it.
    size_t start = (!name.empty() && name[0] == u'\\') ? 1 : 0;
    if (name.size() < start + 5 || name.back() != u':')
        return false;
    std::string p;
    for (size_t i = start; i < start + 3; ++i) {
        char16_t c = name[i];
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        if (c < u'A' || c > u'Z')
            return false;
        p.push_back(static_cast<char>(c));
    }
    DWORD n = 0;
    size_t digits = 0;
    for (size_t i = start + 3; i + 1 < name.size(); ++i) {
        if (name[i] < u'0' || name[i] > u'9' || digits >= 3)
            return false;
        n = n * 10 + static_cast<DWORD>(name[i] - u'0');
        ++digits;
    }
    if (digits == 0)
        return false;
    prefix = p;
    index = n;
    return true;
}

HANDLE OpenDriver(const std::string& prefix, DWORD index, DWORD access, DWORD share)
{
    DeviceOpener opener = FindDeviceOpener(prefix);
    if (!opener) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(NO_ERROR);
    std::shared_ptr<KernelObject> object = opener(index, access, share);
    if (!object) {
        if (GetLastError() == NO_ERROR)
            SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(NO_ERROR);
    return InsertHandle(std::move(object));
}

std::u16string Text(LPCWSTR s)
{
    return s ? std::u16string(s) : std::u16string();
}

// Resolves a path argument that must name something inside the root (not the
// root itself); sets the last error and returns FALSE otherwise.
bool ResolveArg(LPCWSTR name, ResolvedPath& r)
{
    if (!name || !name[0]) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    r = ResolveDevicePath(Text(name));
    if (!r.ok) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (r.isRoot) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool IsDir(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The handheld's read-only mark, from the owner's write bit (whoever runs us).
bool IsReadOnly(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
}


std::string FolderOf(const std::string& hostPath)
{
    size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return hostPath.substr(0, slash);
}

}  // namespace

int OpenRegularHostFile(const std::string& hostPath, int flags, unsigned mode)
{
    // Without O_NONBLOCK a pipe blocks the open until a writer or reader
    // comes; the type is known only once it is open.
    const int fd = ::open(hostPath.c_str(), flags | O_NONBLOCK, static_cast<mode_t>(mode));
    if (fd < 0) {
        if (errno == ENXIO)
            errno = EACCES;  // a pipe without a reader, a device without its driver
        return -1;
    }
    struct stat st;
    const int kept = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::fcntl(fd, F_GETFL) : -1;
    if (kept < 0 || ::fcntl(fd, F_SETFL, kept & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

PlatformRead ReadPlatformFile(const std::string& hostPath, std::string& text, size_t limit, bool nameUnreadable)
{
    text.clear();
    const int fd = OpenRegularHostFile(hostPath, O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    struct stat st;
    const char* why = nullptr;
    if (fd < 0 && (error == ENOENT || error == ENOTDIR)) {
        if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return PlatformRead::Missing;
        why = "a link to nothing";
    }
    if (fd >= 0) {
        char chunk[4096];
        while (text.size() < limit) {
            const size_t wanted = std::min(sizeof chunk, limit - text.size());
            const size_t allowed = faults::AllowedReadBytes(wanted);
            if (allowed == 0) {
                error = EIO;
                break;
            }
            const ssize_t n = ::read(fd, chunk, allowed);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error = errno;
            if (n <= 0)
                break;
            text.append(chunk, static_cast<size_t>(n));
        }
        ::close(fd);
        if (error == 0)
            return PlatformRead::Read;
        text.clear();
    }
    // The program goes on as without the file; whoever put a pipe, a folder
    // or a link to nothing there learns which file was passed by.
    PlatformRead result = PlatformRead::Refused;
    if (!why && ::stat(hostPath.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode))
            result = PlatformRead::Unreadable;
        else
            why = "not a regular file";
    }
    if (result == PlatformRead::Unreadable && !nameUnreadable)
        return result;
    std::fprintf(stderr, "%s: %s: passed by as if it were missing\n", hostPath.c_str(),
                 why ? why : std::strerror(error));
    std::fflush(stderr);
    return result;
}

// ---------------------------------------------------------------- rewrite

namespace {
struct RewriteState {
    std::string target;
    std::string temp;
    int fd = -1;
    unsigned long long written = 0;  // bytes of the temporary so far
    bool ok = false;
    bool committed = false;  // renamed into place
    bool durable = false;    // and its folder synced
    DWORD error = NO_ERROR;

    void Fail(DWORD err)
    {
        if (ok)
            error = err;
        ok = false;
    }
    void Abandon()
    {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (!temp.empty() && !committed) {
            faults::BeforeUnlink(temp, false);
            if (::unlink(temp.c_str()) == 0)
                faults::Unlinked(temp);
        }
        if (!temp.empty())
            ReleaseTemp(temp);
    }
};
}  // namespace

struct FileRewrite::State : RewriteState {};

namespace {

void StartRewrite(RewriteState& s, const std::string& hostTarget)
{
    s.target = hostTarget;
    std::string folder = FolderOf(hostTarget);
    if (!IsDir(folder)) {
        s.error = ERROR_PATH_NOT_FOUND;
        return;
    }
    if (IsDir(hostTarget) || IsReadOnly(hostTarget)) {
        s.error = ERROR_ACCESS_DENIED;  // a read-only file stays as it is
        return;
    }
    // What a writer killed half-way left here goes first, so such leftovers
    // never pile up in a folder that is written to.
    RemoveStaleTempsIn(folder);
    static std::atomic<unsigned> counter{0};
    std::string base = hostTarget.substr(folder.size() + 1);
    for (int attempt = 0; attempt < 100 && s.fd < 0; ++attempt) {
        s.temp = RewriteTempName(folder, base, counter++);
        HoldTemp(s.temp);
        faults::BeforeCreate(s.temp);
        s.fd = ::open(s.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (s.fd >= 0)
            faults::Created(s.temp, s.fd);
        if (s.fd < 0) {
            const int err = errno;
            ReleaseTemp(s.temp);
            errno = err;
            if (err != EEXIST)
                break;
        }
    }
    if (s.fd < 0) {
        s.error = ErrorFromErrno(errno, true);
        s.temp.clear();
        return;
    }
    s.ok = true;
}

bool WriteRewrite(RewriteState& s, const void* data, size_t size)
{
    if (!s.ok)
        return false;
    bool dieAfter = false;
    size_t allowed = faults::BeforeWrite(s.temp, s.fd, s.written, faults::AllowedWriteBytes(size), &dieAfter);
    size_t done = 0;
    while (done < allowed) {
        ssize_t n = ::write(s.fd, static_cast<const char*>(data) + done, allowed - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s.Fail(ErrorFromErrno(errno));
            return false;
        }
        done += static_cast<size_t>(n);
        s.written += static_cast<size_t>(n);
    }
    if (dieAfter)
        faults::Die();
    if (allowed < size) {
        s.Fail(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool CommitRewrite(RewriteState& s)
{
    if (s.committed && !s.durable) {
        // Renamed, its folder not synced yet: only that is tried again.
        if (!SyncFolder(FolderOf(s.target)))
            return false;
        s.durable = true;
        return true;
    }
    if (!s.ok)
        return false;
    if (SyncFd(s.fd, s.temp, false) != 0) {
        s.Fail(ErrorFromErrno(errno));
        return false;
    }
    // Keep the permissions of the file being replaced.
    struct stat st;
    if (::stat(s.target.c_str(), &st) == 0)
        ::fchmod(s.fd, st.st_mode & 07777);
    if (::close(s.fd) != 0) {
        s.fd = -1;
        s.Fail(ErrorFromErrno(errno));
        return false;
    }
    s.fd = -1;
    faults::BeforeRename(s.temp, s.target);
    if (::rename(s.temp.c_str(), s.target.c_str()) != 0) {
        s.Fail(ErrorFromErrno(errno));
        return false;
    }
    faults::Renamed(s.temp, s.target);
    s.committed = true;
    ReleaseTemp(s.temp);
    // The rename is kept by the folder: until it is synced a power cut may
    // bring the old file back, so the rewrite is not done before.
    if (!SyncFolder(FolderOf(s.target))) {
        s.Fail(ErrorFromErrno(errno));
        return false;
    }
    s.durable = true;
    return true;
}

// Device path to the host target of a rewrite, with the checks of an open for
// writing; FALSE with the last error set when it cannot be rewritten.
bool RewriteTarget(LPCWSTR devicePath, std::string& host, DWORD& error)
{
    ResolvedPath r;
    if (!ResolveArg(devicePath, r)) {
        error = GetLastError();
        return false;
    }
    if (!r.parentExists) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (r.exists && !OpenHandlesAllow(r.host, GENERIC_WRITE)) {
        error = ERROR_SHARING_VIOLATION;
        return false;
    }
    if (r.exists && IsReadOnly(r.host)) {
        error = ERROR_ACCESS_DENIED;  // a read-only file stays as it is
        return false;
    }
    host = r.host;
    return true;
}

}  // namespace

FileRewrite::FileRewrite(LPCWSTR devicePath) : state_(std::make_unique<State>())
{
    std::string host;
    DWORD error = NO_ERROR;
    if (!RewriteTarget(devicePath, host, error)) {
        state_->error = error;
        return;
    }
    StartRewrite(*state_, host);
}

FileRewrite::~FileRewrite()
{
    state_->Abandon();
}

bool FileRewrite::Ok() const
{
    return state_->ok;
}

bool FileRewrite::Write(const void* data, size_t size)
{
    if (size && !data) {
        state_->Fail(ERROR_INVALID_PARAMETER);
        SetLastError(state_->error);
        return false;
    }
    if (!WriteRewrite(*state_, data, size)) {
        SetLastError(state_->error);
        state_->Abandon();
        return false;
    }
    return true;
}

bool FileRewrite::Commit()
{
    if (state_->durable)
        return true;
    if (!CommitRewrite(*state_)) {
        SetLastError(state_->error == NO_ERROR ? ERROR_WRITE_FAULT : state_->error);
        state_->Abandon();
        return false;
    }
    state_->ok = false;  // nothing more may be written
    return true;
}

bool IsReadOnlyHostFile(const std::string& hostPath)
{
    return IsReadOnly(hostPath);
}

namespace {

// The one rule of a file set aside: the first of "<file><suffix>",
// "<file><suffix>2", ... "<file><suffix>999" that `taken` finds free (it
// answers 1 taken, 0 free, -1 unknown, with the last error set). Its number,
// or 0 with the last error set.
template <class Taken>
int FirstFreeSetAside(Taken taken)
{
    for (int n = 1; n < 1000; ++n) {
        const int answer = taken(n);
        if (answer == 0)
            return n;
        if (answer < 0)
            return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

std::string SetAsideSuffix(int n)
{
    return n == 1 ? std::string() : std::to_string(n);
}

}  // namespace

std::string SetAsideHostName(const std::string& hostPath, const std::string& suffix)
{
    const int n = FirstFreeSetAside([&](int k) {
        struct stat st;
        if (::lstat((hostPath + suffix + SetAsideSuffix(k)).c_str(), &st) == 0)
            return 1;
        if (errno == ENOENT)
            return 0;
        SetLastError(ErrorFromErrno(errno));
        return -1;
    });
    return n == 0 ? std::string() : hostPath + suffix + SetAsideSuffix(n);
}

std::u16string SetAsideName(const std::u16string& devicePath, std::u16string_view suffix)
{
    const std::u16string base = devicePath + std::u16string(suffix);
    const int n = FirstFreeSetAside([&](int k) {
        if (GetFileAttributesW((base + FromUtf8(SetAsideSuffix(k))).c_str()) != INVALID_FILE_ATTRIBUTES)
            return 1;
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 0 : -1;
    });
    return n == 0 ? std::u16string() : base + FromUtf8(SetAsideSuffix(n));
}

BOOL RenameHostFile(const std::string& from, const std::string& to)
{
    faults::BeforeRename(from, to);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    faults::Renamed(from, to);
    const std::string fromFolder = FolderOf(from), toFolder = FolderOf(to);
    // A new file moved before its first flush is kept by its new folder.
    FileId id{};
    if (StatId(to, id)) {
        ShareTable& t = Shares();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.newFileFolders.find(id);
        if (it != t.newFileFolders.end())
            it->second = toFolder;
    }
    // A rename a power cut undoes would bring the old name back (a file set
    // aside as damaged would be read again): done only once both folders
    // keep it.
    if (!SyncFolder(toFolder) || (fromFolder != toFolder && !SyncFolder(fromFolder))) {
        SetLastError(ERROR_CHANGE_NOT_CONFIRMED);
        return FALSE;
    }
    return TRUE;
}

BOOL RewriteHostFile(const std::string& hostPath, const void* data, size_t size)
{
    RewriteState s;
    StartRewrite(s, hostPath);
    bool ok = WriteRewrite(s, data, size) && CommitRewrite(s);
    if (!ok) {
        SetLastError(s.error == NO_ERROR ? ERROR_WRITE_FAULT : s.error);
        s.Abandon();
        return FALSE;
    }
    return TRUE;
}

BOOL RewriteFile(LPCWSTR devicePath, const void* data, size_t size)
{
    if (size && !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string host;
    DWORD error = NO_ERROR;
    if (!RewriteTarget(devicePath, host, error)) {
        SetLastError(error);
        return FALSE;
    }
    return RewriteHostFile(host, data, size);
}

}  // namespace qplat

using namespace qplat;

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD attributes,
                   HANDLE)
{
    if (!name || !name[0]) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string text(name);
    std::string prefix;
    DWORD index = 0;
    if (ParseDriverName(text, prefix, index))
        return OpenDriver(prefix, index, access, share);

    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    ResolvedPath r;
    if (!ResolveArg(name, r))
        return INVALID_HANDLE_VALUE;
    if (!r.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (r.exists && IsDir(r.host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (r.exists && (access & GENERIC_WRITE) && IsReadOnly(r.host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!r.exists && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (r.exists && disposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (attributes & FILE_FLAG_WRITE_THROUGH)
        flags |= O_DSYNC;
    bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    if (creates && !r.exists)
        flags |= O_CREAT | O_EXCL;

    // The whole open runs under the share lock, so two threads opening the
    // same file cannot both pass the sharing check.
    ShareTable& t = Shares();
    std::unique_lock<std::mutex> guard(t.lock);
    if (flags & O_CREAT)
        faults::BeforeCreate(r.host);
    int fd = OpenRegularHostFile(r.host, flags);
    if (fd >= 0 && (flags & O_CREAT))
        faults::Created(r.host, fd);
    if (fd < 0) {
        int err = errno;
        SetLastError(err == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(err));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    FileId id{st.st_dev, st.st_ino};
    auto range = t.opens.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
        if (!Compatible(access, share, it->second)) {
            ::close(fd);
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    if (r.exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        faults::BeforeTruncate(r.host, false);
        if (::ftruncate(fd, 0) != 0) {
            int err = errno;
            ::close(fd);
            SetLastError(ErrorFromErrno(err));
            return INVALID_HANDLE_VALUE;
        }
    }
    if (flags & O_CREAT)
        t.newFileFolders[id] = r.parent;  // O_EXCL: made by this open
    auto object = std::make_shared<FileObject>(fd, id, access, r.host);
    t.opens.emplace(id, OpenEntry{access, share, object.get()});
    guard.unlock();
    HANDLE handle = InsertHandle(object);
    SetLastError(r.exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                           : NO_ERROR);
    return handle;
}

namespace {

// A call on the object behind a handle; an unknown handle fails with the
// value the call uses for failure.
template <typename Result, typename Call>
Result OnFileObject(HANDLE file, Result failed, Call call)
{
    auto object = LookupHandle(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failed;
    }
    return call(*object);
}

}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED)
{
    auto object = LookupHandle(file);
    if (!object) {
        if (read)
            *read = 0;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Read(buffer, toRead, read);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED)
{
    auto object = LookupHandle(file);
    if (!object) {
        if (written)
            *written = 0;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return object->Write(buffer, toWrite, written);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method)
{
    return OnFileObject(file, INVALID_SET_FILE_POINTER, [&](KernelObject& object) { return object.SetPointer(distance, distanceHigh, method); });
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    return OnFileObject(file, INVALID_FILE_SIZE, [&](KernelObject& object) { return object.Size(sizeHigh); });
}

BOOL SetEndOfFile(HANDLE file)
{
    return OnFileObject(file, FALSE, [&](KernelObject& object) { return object.SetEnd(); });
}

BOOL FlushFileBuffers(HANDLE file)
{
    return OnFileObject(file, FALSE, [&](KernelObject& object) { return object.Flush(); });
}

BOOL DeleteFileW(LPCWSTR name)
{
    ResolvedPath r;
    if (!ResolveArg(name, r))
        return FALSE;
    if (!r.exists) {
        SetLastError(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (IsDir(r.host) || IsReadOnly(r.host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ShareTable& t = Shares();
    std::lock_guard<std::mutex> guard(t.lock);
    FileId id{};
    const bool known = StatId(r.host, id);
    if (known && AnyOpenLocked(id)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    faults::BeforeUnlink(r.host);
    if (::unlink(r.host.c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    faults::Unlinked(r.host);
    if (known)
        t.newFileFolders.erase(id);
    // A deletion that is undone by a power cut could bring back a file whose
    // going the caller relies on (a journal's roll-back): not done before its
    // folder is synced.
    if (!SyncFolder(r.parent)) {
        SetLastError(ERROR_CHANGE_NOT_CONFIRMED);
        return FALSE;
    }
    return TRUE;
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists)
{
    ResolvedPath from;
    ResolvedPath to;
    if (!ResolveArg(existing, from) || !ResolveArg(target, to))
        return FALSE;
    if (!from.exists) {
        SetLastError(from.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (IsDir(from.host) || (to.exists && IsDir(to.host))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!to.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (to.exists && failIfExists) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (!OpenHandlesAllow(from.host, GENERIC_READ) || (to.exists && !OpenHandlesAllow(to.host, GENERIC_WRITE))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    FileId a;
    FileId b;
    if (to.exists && StatId(from.host, a) && StatId(to.host, b) && !(a < b) && !(b < a)) {
        // Copying a file onto itself would truncate it first.
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    int in = OpenRegularHostFile(from.host, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    // Through a rewrite: a copy that fails half-way leaves the old target whole.
    RewriteState s;
    StartRewrite(s, to.host);
    char buffer[65536];
    bool ok = s.ok;
    while (ok) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            s.Fail(ERROR_READ_FAULT);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        ok = WriteRewrite(s, buffer, static_cast<size_t>(n));
    }
    ::close(in);
    if (ok)
        ok = CommitRewrite(s);
    if (!ok) {
        SetLastError(s.error == NO_ERROR ? ERROR_WRITE_FAULT : s.error);
        s.Abandon();
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existing, LPCWSTR target)
{
    ResolvedPath from;
    ResolvedPath to;
    if (!ResolveArg(existing, from) || !ResolveArg(target, to))
        return FALSE;
    if (!from.exists) {
        SetLastError(from.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!to.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (to.exists) {
        // A rename that only changes the letter case names the same file.
        FileId a;
        FileId b;
        bool same = StatId(from.host, a) && StatId(to.host, b) && !(a < b) && !(b < a);
        if (!same) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        std::vector<std::u16string> parts;
        SplitDevicePath(Text(target), parts);
        to.host = to.parent + "/" + ToUtf8(parts.back());
    }
    if (!IsDir(from.host) && !OpenHandlesAllow(from.host, GENERIC_WRITE)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (IsDir(from.host) && (to.host + "/").rfind(from.host + "/", 0) == 0 && to.host != from.host) {
        SetLastError(ERROR_ACCESS_DENIED);  // a folder into itself
        return FALSE;
    }
    return RenameHostFile(from.host, to.host);
}

BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES)
{
    ResolvedPath r;
    if (!ResolveArg(name, r))
        return FALSE;
    if (r.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!r.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (::mkdir(r.host.c_str(), 0755) != 0) {
        SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno, true));
        return FALSE;
    }
    // Files made in the new folder are synced into it; the folder itself must
    // be kept by its parent, or a power cut loses them all.
    if (!SyncFolder(r.parent)) {
        SetLastError(ERROR_CHANGE_NOT_CONFIRMED);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR name)
{
    ResolvedPath r;
    if (!ResolveArg(name, r))
        return FALSE;
    if (!r.exists) {
        SetLastError(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!IsDir(r.host)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (::rmdir(r.host.c_str()) != 0) {
        SetLastError(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR name)
{
    if (!name || !name[0]) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    ResolvedPath r = ResolveDevicePath(Text(name));
    if (!r.ok) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat st;
    if (!r.exists || ::stat(r.host.c_str(), &st) != 0) {
        SetLastError(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return qplat::HostAttributes(r.host, st.st_mode);
}
