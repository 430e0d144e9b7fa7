// The temporary files of whole-file rewrites, and the removal of those that a
// writer which died half-way (killed, power cut, crash) left behind.
//
// A temporary is named ".<file>.tmp<pid>-<serial>" beside the file it will
// replace, so its writer can be told from its name. It is stale when that
// process no longer runs, or, for our own process id, when no rewrite of this
// process holds it (a reset starts the program again under the same id). A
// process id the system has since given to another program keeps its stale
// temporaries until that program ends: they are never taken for live ones
// the other way round, which is what matters.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"
#include "platform/kernel/StorageFaults.h"

namespace qplat {

namespace {

// Deep enough for every folder of a card; a deeper tree is not the program's.
constexpr int kMaxFolderDepth = 24;

struct HeldTemps {
    std::mutex lock;
    std::set<std::string> paths;
};

HeldTemps& Held()
{
    static HeldTemps* held = new HeldTemps;
    return *held;
}

bool AllDigits(const std::string& s)
{
    if (s.empty() || s.size() > 12)
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// The writer's process id from a temporary's name, or 0 when the name is not
// one of a rewrite's temporaries.
long TempOwner(const std::string& name)
{
    if (name.size() < 2 || name[0] != '.')
        return 0;
    const size_t tmp = name.rfind(".tmp");
    if (tmp == std::string::npos || tmp < 2)  // a file name of at least one character before it
        return 0;
    const std::string tail = name.substr(tmp + 4);
    const size_t dash = tail.find('-');
    if (dash == std::string::npos || !AllDigits(tail.substr(0, dash)) || !AllDigits(tail.substr(dash + 1)))
        return 0;
    return std::strtol(tail.substr(0, dash).c_str(), nullptr, 10);
}

// The name alone identifies a temporary of this process: the serial never
// repeats within it.
std::string LeafOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ProcessRuns(long pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool IsStale(const std::string& name)
{
    const long owner = TempOwner(name);
    if (owner == 0)
        return false;
    if (owner == static_cast<long>(::getpid())) {
        HeldTemps& h = Held();
        std::lock_guard<std::mutex> guard(h.lock);
        return h.paths.count(name) == 0;
    }
    return !ProcessRuns(owner);
}

size_t RemoveIn(const std::string& folder, int depth, bool recurse)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    size_t removed = 0;
    std::set<std::string> subfolders;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // Only a rewrite's name or, in a walk of the tree, a folder needs a
        // look at the entry itself: a folder of many journals stays cheap.
        if (!recurse && TempOwner(name) == 0)
            continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        // lstat: a link is never followed out of the tree, nor removed.
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (recurse && depth < kMaxFolderDepth)
                subfolders.insert(path);
        } else if (S_ISREG(st.st_mode) && IsStale(name)) {
            faults::BeforeUnlink(path, false);
            if (::unlink(path.c_str()) == 0) {
                faults::Unlinked(path);
                ++removed;
            }
        }
    }
    ::closedir(dir);
    for (const std::string& sub : subfolders)
        removed += RemoveIn(sub, depth + 1, true);
    return removed;
}

}  // namespace

std::string RewriteTempName(const std::string& folder, const std::string& fileName, unsigned serial)
{
    return folder + "/." + fileName + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial);
}

void HoldTemp(const std::string& path)
{
    HeldTemps& h = Held();
    std::lock_guard<std::mutex> guard(h.lock);
    h.paths.insert(LeafOf(path));
}

void ReleaseTemp(const std::string& path)
{
    HeldTemps& h = Held();
    std::lock_guard<std::mutex> guard(h.lock);
    h.paths.erase(LeafOf(path));
}

size_t RemoveStaleTempsIn(const std::string& hostFolder)
{
    return RemoveIn(hostFolder, 0, false);
}

size_t RemoveStaleTemporaries()
{
    const std::string& root = DeviceRoot();
    if (root.empty())
        return 0;
    return RemoveIn(root, 0, true);
}

}  // namespace qplat
