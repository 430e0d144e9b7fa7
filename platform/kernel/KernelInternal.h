// Shared between the kernel's own source files: path resolution on the host,
// error translation and the hooks that let a new device root drop cached state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/WinDef.h"

namespace qplat {

// Win32 error for a failed host call (errno). `missingIsPath` chooses
// ERROR_PATH_NOT_FOUND over ERROR_FILE_NOT_FOUND for ENOENT/ENOTDIR.
DWORD ErrorFromErrno(int err, bool missingIsPath = false);

// A handheld path split into its parts, as given. Empty parts and "." are
// dropped. FALSE for ".." or a part the handheld could not name.
bool SplitDevicePath(const std::u16string& devicePath, std::vector<std::u16string>& parts);

// Where a handheld path lies on the host.
struct ResolvedPath {
    bool ok = false;          // FALSE: refused (".." , the platform folder, bad name)
    std::string host;         // host path (existing parts in their stored spelling)
    std::string parent;       // host path of the folder that holds the last part
    bool parentExists = false;
    bool exists = false;      // the whole path exists
    bool isRoot = false;      // the path names "\" itself
    std::u16string leaf;      // last part as stored (or as given when missing)
};
ResolvedPath ResolveDevicePath(const std::u16string& devicePath);

// Case folding used for every name comparison of the file system and registry.
std::u16string FoldName(std::u16string_view name);
bool SameName(std::u16string_view a, std::u16string_view b);

// Whole-file rewrite on a host path (the registry and the other platform files
// use it; the handheld's paths go through RewriteFile).
BOOL RewriteHostFile(const std::string& hostPath, const void* data, size_t size);

// The handheld's read-only mark of a file (not a folder) on the host.
bool IsReadOnlyHostFile(const std::string& hostPath);

// Renames a host file as MoveFileW does once its checks are passed: FALSE with
// the storage's error when it was not made, with ERROR_CHANGE_NOT_CONFIRMED
// when it was made but its folders could not be synced.
BOOL RenameHostFile(const std::string& from, const std::string& to);
// Where a platform file is set aside, by the rule of SetAsideName: the first
// free "<path><suffix>", "<path><suffix>2", ...; empty (last error set) where
// none is.
std::string SetAsideHostName(const std::string& hostPath, const std::string& suffix);

// Temporaries of whole-file rewrites (RewriteTemps.cpp). A rewrite holds its
// temporary's name from before the file is created until it is renamed or
// removed, so no clean-up in another thread takes it for a dead writer's.
std::string RewriteTempName(const std::string& folder, const std::string& fileName, unsigned serial);
void HoldTemp(const std::string& path);
void ReleaseTemp(const std::string& path);
// Removes the stale temporaries of one host folder (not its subfolders).
size_t RemoveStaleTempsIn(const std::string& hostFolder);

// Called when the device root changes: each cache drops what it read from the
// old root.
void ResetRegistryCache();
void ResetClockCache();

// Win32 wildcard match ("*", "?", no case; a name without a dot also matches
// as "name." so that "*.*" finds it).
bool MatchFilePattern(std::u16string_view pattern, std::u16string_view name);

// Opens a file of the device root (open(2) flags and mode). Only a regular
// file is opened: anything else in its place (a pipe, a device, a socket) is
// refused at once with errno EACCES, without waiting for the other end of a
// pipe. -1 with errno set on failure.
int OpenRegularHostFile(const std::string& hostPath, int flags, unsigned mode = 0644);

// A file of the platform folder read whole, at most `limit` bytes. Only a
// regular file is read (see OpenRegularHostFile); anything else in its place
// (a pipe, a folder, a link to nothing) is Refused with one line on standard
// error naming it, and the caller goes on as when it is Missing. A regular
// file that cannot be read whole (a read error half-way, no permission) is
// Unreadable: named likewise, unless `nameUnreadable` is false for a caller
// that says itself what becomes of it. `text` is empty unless Read.
enum class PlatformRead { Read, Missing, Refused, Unreadable };
PlatformRead ReadPlatformFile(const std::string& hostPath, std::string& text, size_t limit,
                              bool nameUnreadable = true);

// FILE_ATTRIBUTE_* of a host file (mode from stat).
DWORD HostAttributes(const std::string& hostPath, unsigned mode);

// Host wall clock in milliseconds since 1970-01-01 UTC.
long long HostUnixMillis();

}  // namespace qplat
