// What tests may do to the card: fail reads, writes or syncs once a budget
// is spent, kill the process at its nth change of the card, or cut the power
// at its nth durable step and tell every state the card may then be left in
// (platform/PowerCut.h). The file code reports each change of a regular file
// or of its folder here before it makes it (where the kill and the power cut
// strike), and what it made once it is made (what the power-cut model
// follows). Without an armed fault each call costs an atomic load.
#pragma once

#include <cstddef>
#include <string>

namespace qplat::faults {

// How many of `wanted` bytes the injected budget still lets through.
size_t AllowedReadBytes(size_t wanted);
size_t AllowedWriteBytes(size_t wanted);
// Whether the sync about to be made is the one the injected failure strikes.
bool SyncFailureDue();
// Whether syncs wait for the storage (SyncFileWrites).
bool SyncsWait();

[[noreturn]] void Die();

// A new regular file, made by an open with O_CREAT | O_EXCL.
void BeforeCreate(const std::string& path);
void Created(const std::string& path, int fd);
// A write of `size` bytes at `offset` of the open file `fd`: how many of them
// go out before the injected kill, which then strikes (*dieAfter).
size_t BeforeWrite(const std::string& path, int fd, unsigned long long offset, size_t size, bool* dieAfter);
// A cut of a file's length; a disposition's (CREATE_ALWAYS) is no kill point.
void BeforeTruncate(const std::string& path, bool killPoint = true);
// A sync of a file's data, and of a folder's names.
void BeforeSync(const std::string& path);
void Synced(int fd);
void BeforeFolderSync(const std::string& folder);
void FolderSynced(const std::string& folder);
void BeforeRename(const std::string& from, const std::string& to);
void Renamed(const std::string& from, const std::string& to);
// A deletion; a clean-up of a rewrite's temporary is no kill point.
void BeforeUnlink(const std::string& path, bool killPoint = true);
void Unlinked(const std::string& path);

}  // namespace qplat::faults
