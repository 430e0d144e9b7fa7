// The injected faults of the card (see StorageFaults.h) and the power-cut
// model behind platform/PowerCut.h.
//
// The model follows, from the first change in a folder on, what the card
// keeps for certain: each file's bytes at its last sync and each folder's
// names at its last sync. What was written or renamed since is what a power
// cut may or may not have kept. A folder is read as it is when the model
// first meets it: the test starts from a card whose changes were synced.
#include "platform/kernel/StorageFaults.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/PowerCut.h"
#include "platform/WinKernel.h"

namespace qplat {

namespace {

std::atomic<long long> g_writeBudget{-1};
std::atomic<long long> g_readBudget{-1};
std::atomic<long long> g_syncBudget{-1};
std::atomic<bool> g_syncWrites{true};
// The changes still to go before the injected kill (0: none armed).
std::atomic<long long> g_killCountdown{0};
std::atomic<bool> g_killTears{false};
// Whether the power-cut model follows the card (only in a cut's child).
std::atomic<bool> g_modelled{false};

// Takes what the budget still allows of `wanted`; below zero allows all.
size_t TakeFromBudget(std::atomic<long long>& left, size_t wanted)
{
    long long budget = left.load();
    while (budget >= 0) {
        const long long take = std::min<long long>(budget, static_cast<long long>(wanted));
        if (left.compare_exchange_weak(budget, budget - take))
            return static_cast<size_t>(take);
    }
    return wanted;
}

// Whether the change about to be made is the one the injected kill strikes.
bool KillDue()
{
    long long left = g_killCountdown.load();
    while (left > 0) {
        if (g_killCountdown.compare_exchange_weak(left, left - 1))
            return left == 1;
    }
    return false;
}

// A change other than a write: the kill strikes before it is made.
void KillPoint()
{
    if (KillDue())
        faults::Die();
}

// ------------------------------------------------------------ the model

constexpr unsigned long long kSector = 512;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LeafOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A host file read whole; empty where it cannot be read.
std::string ReadHost(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

bool WriteHost(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return ::close(fd) == 0 && done == bytes.size();
}

// The regular files of a host folder, by name.
std::map<std::string, std::string> ListHost(const std::string& folder)
{
    std::map<std::string, std::string> files;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return files;
    while (dirent* e = ::readdir(dir)) {
        const std::string path = folder + "/" + e->d_name;
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            files[e->d_name] = std::string();
    }
    ::closedir(dir);
    return files;
}

struct Node {
    std::string kept;                    // its bytes at its last sync
    std::set<unsigned long long> dirty;  // sectors written since
    std::string path;                    // where it is now ("": no name left)
    std::string last;                    // its bytes when its last name went
    std::string Now() const { return path.empty() ? last : ReadHost(path); }
};

struct Op {
    enum Kind { Make, Move, Remove } kind;
    std::string from, to;  // names in the folder (a Make and a Remove use `to`)
    int node;
};

struct Folder {
    std::map<std::string, int> kept;  // names at its last sync
    std::map<std::string, int> now;
    std::vector<Op> ops;              // made since, in order
};

struct Model {
    std::mutex lock;
    std::vector<Node> nodes;
    std::map<std::string, Folder> folders;
    std::map<std::pair<dev_t, ino_t>, int> byId;
    std::map<std::string, CardFolder> before;  // each folder as first met
    long long stepsLeft = 0;               // to the cut; 0 once it struck
    std::string out;                       // where the child tells the parent
};

Model& TheModel()
{
    static Model* model = new Model;
    return *model;
}

void NoteId(Model& m, const std::string& path, int node)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        m.byId[{st.st_dev, st.st_ino}] = node;
}

Folder& Touch(Model& m, const std::string& folder)
{
    auto it = m.folders.find(folder);
    if (it != m.folders.end())
        return it->second;
    Folder f;
    CardFolder& before = m.before[folder];
    before.hostPath = folder;
    for (const auto& entry : ListHost(folder)) {
        const std::string path = folder + "/" + entry.first;
        Node n;
        n.kept = ReadHost(path);
        n.path = path;
        before.files.emplace_back(entry.first, n.kept);
        m.nodes.push_back(n);
        const int id = static_cast<int>(m.nodes.size() - 1);
        NoteId(m, path, id);
        f.kept[entry.first] = f.now[entry.first] = id;
    }
    return m.folders[folder] = f;
}

int NodeOf(Model& m, const std::string& path, int fd)
{
    Touch(m, FolderOf(path));
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        auto it = m.byId.find({st.st_dev, st.st_ino});
        if (it != m.byId.end())
            return it->second;
    }
    // Opened before the model met its folder's change: as it is now.
    Node n;
    n.kept = ReadHost(path);
    n.path = path;
    m.nodes.push_back(n);
    const int id = static_cast<int>(m.nodes.size() - 1);
    NoteId(m, path, id);
    return id;
}

// One way a cut may leave something, and what it says of it.
struct Variant {
    std::string what;
    std::string bytes;
};

// The sectors of `picked` (in order) that a pattern takes as written.
bool Written(int pattern, size_t index, size_t count)
{
    switch (pattern) {
    case 0: return false;
    case 1: return true;
    case 2: return 2 * index < count;
    case 3: return 2 * index >= count;
    default: return index % 2 == 0;
    }
}

const char* const kSectorPatterns[] = {"all old", "all new", "the first half new", "the last half new",
                                       "every other new"};

char StaleByte(unsigned long long at)
{
    return static_cast<char>(0xA7 ^ static_cast<unsigned>(at * 31));
}

// Every content a cut may leave a file in.
std::vector<Variant> Variants(const Node& node, const std::string& name)
{
    const std::string kept = node.kept;
    const std::string now = node.Now();
    std::vector<Variant> out;
    std::set<std::string> seen;
    auto add = [&](const std::string& what, const std::string& bytes) {
        if (seen.insert(bytes).second)
            out.push_back({name + ": " + what, bytes});
    };
    if (node.dirty.empty() && kept == now) {
        add("as kept", now);
        return out;
    }
    std::vector<size_t> lengths{kept.size()};
    if (now.size() != kept.size())
        lengths.push_back(now.size());
    for (size_t length : lengths) {
        // Inside the kept length: each written sector old or new.
        const size_t inside = std::min(length, kept.size());
        std::vector<unsigned long long> sectors;
        for (unsigned long long s : node.dirty)
            if (s * kSector < inside)
                sectors.push_back(s);
        const char* const lengthWhat = length == kept.size() ? "length as kept" : "length as written";
        for (int pattern = 0; pattern < 5; ++pattern) {
            std::string base(length, '\0');
            for (size_t k = 0; k < inside; ++k)
                base[k] = kept[k];
            for (size_t i = 0; i < sectors.size(); ++i) {
                if (!Written(pattern, i, sectors.size()))
                    continue;
                const size_t from = static_cast<size_t>(sectors[i] * kSector);
                for (size_t k = from; k < inside && k < from + kSector; ++k)
                    base[k] = k < now.size() ? now[k] : kept[k];
            }
            const std::string inPlace = std::string(lengthWhat) + ", sectors written " + kSectorPatterns[pattern];
            if (length <= kept.size()) {
                add(inPlace, base);
                continue;
            }
            // Past it: the growth, whose blocks may not have reached the card.
            const size_t grown = length - kept.size();
            const size_t grownSectors = (grown + kSector - 1) / kSector;
            const char* const growths[] = {"as written", "zeros", "stale", "half written, then zeros",
                                           "half written, then stale"};
            for (int g = 0; g < 5; ++g) {
                std::string bytes = base;
                for (size_t k = kept.size(); k < length; ++k) {
                    const size_t sector = (k - kept.size()) / kSector;
                    const bool written = g == 0 || (g >= 3 && 2 * sector < grownSectors);
                    const bool stale = g == 2 || g == 4;
                    bytes[k] = written ? now[k] : stale ? StaleByte(k) : '\0';
                }
                add(inPlace + ", growth " + growths[g], bytes);
            }
        }
    }
    return out;
}

// Every state a cut may leave one folder in.
std::vector<CardShape> FolderStates(Model& m, const std::string& path, const Folder& f)
{
    std::vector<CardShape> out;
    std::set<std::string> seen;
    const size_t ops = f.ops.size();
    // Each change of a name done or not; past ten of them, the first so many
    // in their order (the card does not go back to pick one out).
    const bool subsets = ops <= 10;
    const unsigned long long ways = subsets ? (1ull << ops) : ops + 1;
    std::map<int, std::vector<Variant>> variants;
    for (unsigned long long way = 0; way < ways; ++way) {
        std::map<std::string, int> names = f.kept;
        std::string what;
        for (size_t i = 0; i < ops; ++i) {
            const Op& op = f.ops[i];
            const bool done = subsets ? ((way >> i) & 1) != 0 : i < way;
            if (ops > 0)
                what += std::string(i == 0 ? "" : "; ") +
                        (op.kind == Op::Make ? "made " + op.to
                         : op.kind == Op::Move ? op.from + " renamed " + op.to
                                               : op.to + " deleted") +
                        (done ? " kept" : " lost");
            if (!done)
                continue;
            if (op.kind == Op::Make) {
                names[op.to] = op.node;
            } else if (op.kind == Op::Move) {
                auto it = names.find(op.from);
                if (it != names.end() && it->second == op.node) {
                    names.erase(it);
                    names[op.to] = op.node;
                }
            } else {
                auto it = names.find(op.to);
                if (it != names.end() && it->second == op.node)
                    names.erase(it);
            }
        }
        // Every file in each of its contents.
        std::vector<std::pair<std::string, const std::vector<Variant>*>> files;
        for (const auto& entry : names) {
            auto it = variants.find(entry.second);
            if (it == variants.end())
                it = variants.emplace(entry.second, Variants(m.nodes[static_cast<size_t>(entry.second)], entry.first))
                         .first;
            files.emplace_back(entry.first, &it->second);
        }
        std::vector<size_t> pick(files.size(), 0);
        for (;;) {
            CardShape shape;
            shape.what = what;
            CardFolder folder;
            folder.hostPath = path;
            std::string key;
            for (size_t i = 0; i < files.size(); ++i) {
                const Variant& v = (*files[i].second)[pick[i]];
                folder.files.emplace_back(files[i].first, v.bytes);
                if (files[i].second->size() > 1)
                    shape.what += (shape.what.empty() ? "" : "; ") + v.what;
                key += files[i].first + '\0' + std::to_string(v.bytes.size()) + '\0' + v.bytes;
            }
            if (seen.insert(key).second) {
                shape.folders.push_back(std::move(folder));
                out.push_back(std::move(shape));
            }
            size_t i = 0;
            while (i < files.size() && ++pick[i] == files[i].second->size())
                pick[i++] = 0;
            if (i == files.size())
                break;
        }
    }
    return out;
}

// What the child tells the parent: a flat list of length-prefixed strings.
void Put(std::string& out, const std::string& s)
{
    const uint64_t n = s.size();
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out += s;
}

bool Get(const std::string& in, size_t& at, std::string* s)
{
    uint64_t n = 0;
    if (in.size() - at < sizeof n)
        return false;
    std::memcpy(&n, in.data() + at, sizeof n);
    at += sizeof n;
    if (in.size() - at < n)
        return false;
    *s = in.substr(at, static_cast<size_t>(n));
    at += static_cast<size_t>(n);
    return true;
}

void PutShape(std::string& out, const CardShape& shape)
{
    Put(out, shape.what);
    Put(out, std::to_string(shape.folders.size()));
    for (const CardFolder& f : shape.folders) {
        Put(out, f.hostPath);
        Put(out, std::to_string(f.files.size()));
        for (const auto& file : f.files) {
            Put(out, file.first);
            Put(out, file.second);
        }
    }
}

bool GetCount(const std::string& in, size_t& at, size_t* n)
{
    std::string s;
    if (!Get(in, at, &s) || s.empty() || s.size() > 9)
        return false;
    *n = static_cast<size_t>(std::stoul(s));
    return true;
}

bool GetShape(const std::string& in, size_t& at, CardShape* shape)
{
    size_t folders = 0;
    if (!Get(in, at, &shape->what) || !GetCount(in, at, &folders))
        return false;
    for (size_t i = 0; i < folders; ++i) {
        CardFolder f;
        size_t files = 0;
        if (!Get(in, at, &f.hostPath) || !GetCount(in, at, &files))
            return false;
        for (size_t k = 0; k < files; ++k) {
            std::string name, bytes;
            if (!Get(in, at, &name) || !Get(in, at, &bytes))
                return false;
            f.files.emplace_back(std::move(name), std::move(bytes));
        }
        shape->folders.push_back(std::move(f));
    }
    return true;
}

// Every state the card may be left in now, told to the parent; the child
// then ends.
[[noreturn]] void CutNow(Model& m, bool cut, int result)
{
    g_modelled.store(false);
    std::vector<CardShape> shapes(1);
    CardShape before;
    for (const auto& entry : m.folders) {
        std::vector<CardShape> next;
        for (const CardShape& state : FolderStates(m, entry.first, entry.second)) {
            for (const CardShape& so_far : shapes) {
                CardShape both = so_far;
                both.what += (both.what.empty() || state.what.empty() ? "" : "; ") + state.what;
                both.folders.push_back(state.folders.front());
                next.push_back(std::move(both));
            }
        }
        shapes = std::move(next);
        before.folders.push_back(m.before[entry.first]);
    }
    std::string out;
    Put(out, cut ? "cut" : "ended");
    Put(out, std::to_string(result));
    PutShape(out, before);
    Put(out, std::to_string(shapes.size()));
    for (const CardShape& shape : shapes)
        PutShape(out, shape);
    ::_exit(WriteHost(m.out, out) ? 0 : 3);
}

// A durable step about to be made: where it is the one the cut strikes, the
// power goes now. Returns the model, locked, to follow what the step makes.
std::unique_lock<std::mutex> Step(Model& m, const std::string& folder)
{
    std::unique_lock<std::mutex> guard(m.lock);
    Touch(m, folder);
    if (m.stepsLeft > 0 && --m.stepsLeft == 0)
        CutNow(m, true, 0);
    return guard;
}

}  // namespace

// ------------------------------------------------------------ the hooks

namespace faults {

size_t AllowedReadBytes(size_t wanted)
{
    return TakeFromBudget(g_readBudget, wanted);
}

size_t AllowedWriteBytes(size_t wanted)
{
    return TakeFromBudget(g_writeBudget, wanted);
}

bool SyncFailureDue()
{
    long long left = g_syncBudget.load();
    while (left > 0) {
        if (g_syncBudget.compare_exchange_weak(left, left - 1))
            return false;
    }
    return left == 0;
}

bool SyncsWait()
{
    return g_syncWrites.load();
}

void Die()
{
    ::raise(SIGKILL);
    ::_exit(137);
}

void BeforeCreate(const std::string& path)
{
    if (g_modelled.load())
        Step(TheModel(), FolderOf(path));
}

void Created(const std::string& path, int fd)
{
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    std::lock_guard<std::mutex> guard(m.lock);
    Folder& f = Touch(m, FolderOf(path));
    Node n;
    n.path = path;
    m.nodes.push_back(n);
    const int id = static_cast<int>(m.nodes.size() - 1);
    struct stat st;
    if (::fstat(fd, &st) == 0)
        m.byId[{st.st_dev, st.st_ino}] = id;
    f.now[LeafOf(path)] = id;
    f.ops.push_back({Op::Make, std::string(), LeafOf(path), id});
}

size_t BeforeWrite(const std::string& path, int fd, unsigned long long offset, size_t size, bool* dieAfter)
{
    *dieAfter = false;
    if (g_modelled.load() && size > 0) {
        Model& m = TheModel();
        auto guard = Step(m, FolderOf(path));
        Node& n = m.nodes[static_cast<size_t>(NodeOf(m, path, fd))];
        for (unsigned long long s = offset / kSector; s <= (offset + size - 1) / kSector; ++s)
            n.dirty.insert(s);
    }
    if (!KillDue())
        return size;
    if (!g_killTears.load() || size < 2)
        Die();
    *dieAfter = true;
    return size / 2;
}

void BeforeTruncate(const std::string& path, bool killPoint)
{
    if (killPoint)
        KillPoint();
    if (g_modelled.load())
        Step(TheModel(), FolderOf(path));
}

void BeforeSync(const std::string& path)
{
    KillPoint();
    if (g_modelled.load())
        Step(TheModel(), FolderOf(path));
}

void Synced(int fd)
{
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    std::lock_guard<std::mutex> guard(m.lock);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return;
    auto it = m.byId.find({st.st_dev, st.st_ino});
    if (it == m.byId.end())
        return;
    Node& n = m.nodes[static_cast<size_t>(it->second)];
    n.kept = n.Now();
    n.dirty.clear();
}

void BeforeFolderSync(const std::string& folder)
{
    KillPoint();
    if (g_modelled.load())
        Step(TheModel(), folder);
}

void FolderSynced(const std::string& folder)
{
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    std::lock_guard<std::mutex> guard(m.lock);
    Folder& f = Touch(m, folder);
    f.kept = f.now;
    f.ops.clear();
}

void BeforeRename(const std::string& from, const std::string& to)
{
    KillPoint();
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    auto guard = Step(m, FolderOf(from));
    Touch(m, FolderOf(to));
    // A file the rename goes over keeps what it held, should the cut undo it.
    Folder& target = m.folders[FolderOf(to)];
    auto over = target.now.find(LeafOf(to));
    if (over != target.now.end())
        m.nodes[static_cast<size_t>(over->second)].last = ReadHost(to);
}

void Renamed(const std::string& from, const std::string& to)
{
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    std::lock_guard<std::mutex> guard(m.lock);
    Folder& source = Touch(m, FolderOf(from));
    auto it = source.now.find(LeafOf(from));
    if (it == source.now.end())
        return;
    const int id = it->second;
    source.now.erase(it);
    Folder& target = Touch(m, FolderOf(to));
    auto over = target.now.find(LeafOf(to));
    if (over != target.now.end() && over->second != id)
        m.nodes[static_cast<size_t>(over->second)].path.clear();
    target.now[LeafOf(to)] = id;
    m.nodes[static_cast<size_t>(id)].path = to;
    if (&source == &target) {
        source.ops.push_back({Op::Move, LeafOf(from), LeafOf(to), id});
    } else {
        source.ops.push_back({Op::Remove, std::string(), LeafOf(from), id});
        target.ops.push_back({Op::Make, std::string(), LeafOf(to), id});
    }
}

void BeforeUnlink(const std::string& path, bool killPoint)
{
    if (killPoint)
        KillPoint();
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    auto guard = Step(m, FolderOf(path));
    Folder& f = m.folders[FolderOf(path)];
    auto it = f.now.find(LeafOf(path));
    if (it != f.now.end())
        m.nodes[static_cast<size_t>(it->second)].last = ReadHost(path);
}

void Unlinked(const std::string& path)
{
    if (!g_modelled.load())
        return;
    Model& m = TheModel();
    std::lock_guard<std::mutex> guard(m.lock);
    Folder& f = Touch(m, FolderOf(path));
    auto it = f.now.find(LeafOf(path));
    if (it == f.now.end())
        return;
    m.nodes[static_cast<size_t>(it->second)].path.clear();
    f.ops.push_back({Op::Remove, std::string(), LeafOf(path), it->second});
    f.now.erase(it);
}

}  // namespace faults

// ------------------------------------------------------------ test hooks

void SyncFileWrites(bool sync)
{
    g_syncWrites.store(sync);
}

void FailFileWritesAfter(long long bytes)
{
    g_writeBudget.store(bytes < 0 ? -1 : bytes);
}

void FailFileReadsAfter(long long bytes)
{
    g_readBudget.store(bytes < 0 ? -1 : bytes);
}

void FailFileSyncsAfter(long long syncs)
{
    g_syncBudget.store(syncs < 0 ? -1 : syncs);
}

void KillAtStorageChange(long long n, bool tearWrite)
{
    g_killTears.store(tearWrite);
    g_killCountdown.store(n > 0 ? n : 0);
}

const std::string* CardFolder::Find(const std::string& name) const
{
    for (const auto& file : files)
        if (file.first == name)
            return &file.second;
    return nullptr;
}

const std::string* CardShape::Find(const std::string& hostPath, const std::string& name) const
{
    for (const CardFolder& f : folders)
        if (f.hostPath == hostPath)
            return f.Find(name);
    return nullptr;
}

PowerCutRun CutPowerAtStep(long long n, const std::function<int()>& change)
{
    PowerCutRun run;
    char out[] = "/tmp/qav5-power-cut-XXXXXX";
    const int fd = ::mkstemp(out);
    if (fd < 0)
        return run;
    ::close(fd);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        Model& m = TheModel();
        m.out = out;
        m.stepsLeft = n > 0 ? n : 1;
        g_modelled.store(true);
        const int result = change();
        std::lock_guard<std::mutex> guard(m.lock);
        CutNow(m, false, result);
    }
    int status = 0;
    const bool ended = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const std::string told = ended ? ReadHost(out) : std::string();
    ::unlink(out);
    size_t at = 0, count = 0;
    std::string how, result;
    if (!Get(told, at, &how) || !Get(told, at, &result) || !GetShape(told, at, &run.before) ||
        !GetCount(told, at, &count))
        return run;
    run.shapes.resize(count);
    for (CardShape& shape : run.shapes)
        if (!GetShape(told, at, &shape))
            return run;
    run.cut = how == "cut";
    run.result = std::atoi(result.c_str());
    run.ran = at == told.size();
    return run;
}

bool LeaveCardAs(const CardShape& shape)
{
    bool ok = true;
    for (const CardFolder& f : shape.folders) {
        for (const auto& entry : ListHost(f.hostPath))
            if (!f.Find(entry.first))
                ok = ::unlink((f.hostPath + "/" + entry.first).c_str()) == 0 && ok;
        for (const auto& file : f.files)
            ok = WriteHost(f.hostPath + "/" + file.first, file.second) && ok;
    }
    return ok;
}

CardShape CardAsItIs(const CardShape& like)
{
    CardShape now;
    for (const CardFolder& f : like.folders) {
        CardFolder folder;
        folder.hostPath = f.hostPath;
        for (const auto& entry : ListHost(f.hostPath))
            folder.files.emplace_back(entry.first, ReadHost(f.hostPath + "/" + entry.first));
        now.folders.push_back(std::move(folder));
    }
    return now;
}

}  // namespace qplat
