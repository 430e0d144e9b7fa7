// The Bluetooth neighbourhood description: parsing, formatting and the locked
// read-modify-write that simulators and tests use to add and remove devices.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"

namespace qplat {

namespace {

std::string Trim(const std::string& s)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool ParseInt(const std::string& text, long& out)
{
    if (text.empty() || text.size() > 18)
        return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i >= text.size())
        return false;
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    out = negative ? -v : v;
    return true;
}

// The neighbourhood is read at every lookup: what is passed by in its place
// is named on standard error once, not at each of them; anything else put
// there later (after the file went missing, too) is named again.
struct PassedBy {
    std::mutex lock;
    bool said = false;
    struct stat what {};  // of the thing named (its number may serve the next one)
};

bool SameThing(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT) &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

PassedBy& LastPassedBy()
{
    static PassedBy* passed = new PassedBy;
    return *passed;
}

std::string ReadWhole(const std::string& path, bool& exists)
{
    // Only a regular file is read, like the other files of the platform
    // folder: a pipe in its place held the search until a writer came.
    std::string text;
    exists = false;
    PassedBy& passed = LastPassedBy();
    std::lock_guard<std::mutex> guard(passed.lock);
    struct stat st;
    const bool there = ::lstat(path.c_str(), &st) == 0;
    if (passed.said && there && !S_ISREG(st.st_mode) && SameThing(st, passed.what))
        return text;  // the same thing as before, named already
    passed.said = false;
    const PlatformRead read = ReadPlatformFile(path, text, std::numeric_limits<size_t>::max());
    if (read == PlatformRead::Refused || read == PlatformRead::Unreadable) {
        passed.said = there;
        passed.what = st;
    }
    exists = read == PlatformRead::Read;
    return text;
}

bool MakeFolders(const std::string& path)
{
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
        if (i < path.size())
            part += path[i];
    }
    return true;
}

// As every file of the platform folder: a read-only file stays as it is, and
// the new text counts once its folder keeps it.
bool WriteAtomically(const std::string& path, const std::string& text)
{
    return RewriteHostFile(path, text.data(), text.size()) != FALSE;
}

// Holds the lock file for one read-modify-write of the description.
class HoodLock {
public:
    HoodLock()
    {
        const std::string folder = PlatformFolder();
        MakeFolders(folder);
        fd_ = ::open((folder + "/bluetooth.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~HoodLock()
    {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    HoodLock(const HoodLock&) = delete;
    HoodLock& operator=(const HoodLock&) = delete;
    bool Ok() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

template <class Change>
bool ModifyHood(Change change)
{
    HoodLock lock;
    if (!lock.Ok())
        return false;
    Neighbourhood hood = LoadNeighbourhood();
    if (!change(hood))
        return false;
    return WriteAtomically(NeighbourhoodPath(), FormatNeighbourhood(hood));
}

}  // namespace

std::string NeighbourhoodPath()
{
    return PlatformFolder() + "/bluetooth.txt";
}

bool ParseBtAddress(const std::string& text, BT_ADDR& address)
{
    BT_ADDR v = 0;
    int digits = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c == ':' || c == '-' || c == ' ')
            continue;
        else
            return false;
        if (++digits > 12)
            return false;
        v = (v << 4) | static_cast<BT_ADDR>(d);
    }
    if (digits != 12)
        return false;
    address = v;
    return true;
}

std::string FormatBtAddress(BT_ADDR address)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", static_cast<unsigned>((address >> 40) & 0xFF),
                  static_cast<unsigned>((address >> 32) & 0xFF), static_cast<unsigned>((address >> 24) & 0xFF),
                  static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
                  static_cast<unsigned>(address & 0xFF));
    return buf;
}

bool ParseNeighbourhood(const std::string& text, Neighbourhood& out)
{
    out = Neighbourhood{};
    bool ok = true;
    bool inBlock = false;
    bool blockValid = false;
    std::string blockStart;  // the "[device]" line as written
    std::vector<std::string> blockLines;
    Neighbour current;
    auto finish = [&] {
        if (inBlock) {
            if (blockValid) {
                current.lines = std::move(blockLines);
                out.devices.push_back(std::move(current));
            } else {
                // A block without a valid address is no device, but it is the
                // hand-edited text of someone: it travels, unread, with the
                // part of the file before it.
                ok = false;
                std::vector<std::string>& before = out.devices.empty() ? out.header : out.devices.back().lines;
                before.push_back(blockStart);
                before.insert(before.end(), blockLines.begin(), blockLines.end());
            }
        }
        inBlock = false;
        blockValid = false;
        blockLines.clear();
        current = Neighbour{};
    };
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = Trim(raw);
        if (Lower(line) == "[device]") {
            finish();
            inBlock = true;
            blockStart = raw;
            continue;
        }
        (inBlock ? blockLines : out.header).push_back(raw);
        if (line.empty() || line[0] == '#')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            ok = false;
            continue;
        }
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (!inBlock) {
            if (key == "radio")
                out.radioOn = Lower(value) != "off";
            continue;
        }
        if (key == "address") {
            blockValid = ParseBtAddress(value, current.address);
        } else if (key == "name") {
            current.name = value;
        } else if (key == "pin") {
            current.pin = value;
        } else if (key == "serial") {
            current.serial = value;
        } else if (key == "rssi") {
            long v;
            if (ParseInt(value, v) && v >= -128 && v <= 127) {
                current.rssi = static_cast<int>(v);
                current.rssiUnread.clear();
            } else {
                current.rssi = Neighbour().rssi;
                current.rssiUnread = line;
            }
        } else if (key == "range") {
            current.inRange = Lower(value) != "out";
        } else if (key == "name-query") {
            current.nameQueryTimesOut = Lower(value) == "timeout";
        } else if (key == "owner") {
            long v;
            if (ParseInt(value, v))
                current.owner = v;
        }
    }
    finish();
    return ok;
}

namespace {

// A value never spans lines: a name with a line break would break the file.
std::string OneLine(const std::string& value)
{
    std::string s = value;
    for (char& c : s) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return Trim(s);
}

// One key the writer owns, with the value it is to have. An optional key
// whose value is the default (no name-query time-out, no owner) is not
// written at all.
struct KnownKey {
    const char* key;
    std::string value;
    bool present;
    // What a reader takes when the line is missing: such a value is not
    // added to a block written by someone else.
    bool readerDefault;
    // Whether a value as written means the same (then the line is kept as
    // it was, spacing and spelling included).
    std::function<bool(const std::string&)> same;
};

std::vector<KnownKey> DeviceKeys(const Neighbour& n)
{
    const std::string rssi = std::to_string(n.rssi);
    const std::string owner = std::to_string(n.owner);
    const Neighbour absent;
    return {
        {"address", FormatBtAddress(n.address), true, false,
         [&n](const std::string& v) {
             BT_ADDR a = 0;
             return ParseBtAddress(v, a) && a == n.address;
         }},
        {"name", OneLine(n.name), true, n.name.empty(), [&n](const std::string& v) { return v == OneLine(n.name); }},
        {"pin", OneLine(n.pin), true, n.pin.empty(), [&n](const std::string& v) { return v == OneLine(n.pin); }},
        {"serial", OneLine(n.serial), true, n.serial.empty(),
         [&n](const std::string& v) { return v == OneLine(n.serial); }},
        {"rssi", rssi, true, n.rssi == absent.rssi, [rssi](const std::string& v) { return v == rssi; }},
        {"range", n.inRange ? "in" : "out", true, n.inRange == absent.inRange,
         [&n](const std::string& v) { return (Lower(v) != "out") == n.inRange; }},
        {"name-query", "timeout", n.nameQueryTimesOut, false,
         [](const std::string& v) { return Lower(v) == "timeout"; }},
        {"owner", owner, n.owner != 0, false, [owner](const std::string& v) { return v == owner; }},
    };
}

bool Meaningful(const std::string& raw)
{
    const std::string t = Trim(raw);
    return !t.empty() && t[0] != '#';
}

bool BlockStart(const std::string& raw)
{
    return Lower(Trim(raw)) == "[device]";
}

// Writes one part of the file (the lines before the first device, or one
// device's lines) as it was read, with the known keys' lines carrying the
// current values: a known key's first line is rewritten when its value
// changed, its repeats are dropped (they would override it when read), keys
// missing so far follow the part's last key line (in a part read from the
// file, only those whose value a reader would not assume), and everything else
// (comments, blank lines, unknown keys, a damaged block that followed) stays
// as it was.
void WriteSection(std::ostringstream& out, const std::vector<std::string>& lines, std::vector<KnownKey> keys)
{
    // Where the part's own text ends: a damaged block after it is not read.
    size_t own = 0;
    while (own < lines.size() && !BlockStart(lines[own]))
        ++own;
    size_t lastMeaningful = own;  // none
    for (size_t i = 0; i < own; ++i) {
        if (Meaningful(lines[i]))
            lastMeaningful = i;
    }
    std::vector<bool> written(keys.size(), false);
    // A part made in code is written whole; one read from the file gets only
    // the lines that say something a reader would not assume.
    const bool fromFile = !lines.empty();
    auto writeMissing = [&] {
        for (size_t k = 0; k < keys.size(); ++k) {
            if (keys[k].present && !written[k] && !(fromFile && keys[k].readerDefault))
                out << keys[k].key << " = " << keys[k].value << "\n";
            written[k] = true;
        }
    };
    if (lastMeaningful == own)
        lastMeaningful = own == 0 ? own : own - 1;  // no key line: new keys at the end of the part's own text
    if (own == 0)
        writeMissing();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& raw = lines[i];
        bool keep = true;
        if (i < own && Meaningful(raw)) {
            const std::string t = Trim(raw);
            const size_t eq = t.find('=');
            if (eq != std::string::npos) {
                const std::string key = Lower(Trim(t.substr(0, eq)));
                for (size_t k = 0; k < keys.size(); ++k) {
                    if (key != keys[k].key)
                        continue;
                    keep = false;
                    if (!written[k] && keys[k].present) {
                        if (keys[k].same(Trim(t.substr(eq + 1))))
                            out << raw << "\n";
                        else
                            out << keys[k].key << " = " << keys[k].value << "\n";
                    }
                    written[k] = true;
                    break;
                }
            }
        }
        if (keep)
            out << raw << "\n";
        if (i == lastMeaningful && i < own)
            writeMissing();
    }
}

bool EndsWithBlankLine(const std::string& text)
{
    return text.empty() || (text.size() >= 2 && text.compare(text.size() - 2, 2, "\n\n") == 0);
}

// Whether the process that added a block still runs. A zombie has ended:
// its terminal is gone and its number may serve another program already.
bool ProcessAlive(long pid)
{
    if (pid <= 0)
        return true;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return true;  // no process table to ask: taken as alive
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size())
        return true;
    const char state = text[close + 2];
    return state != 'Z' && state != 'X';
}

// A level the file gives that cannot be read would silently show as a good
// link: named on standard error, once while the device's block keeps that
// value (the file is read at every lookup), again when it is given anew.
void TellUnreadLevels(const Neighbourhood& hood)
{
    static std::mutex* lock = new std::mutex;
    static std::map<BT_ADDR, std::string>* told = new std::map<BT_ADDR, std::string>;
    std::lock_guard<std::mutex> guard(*lock);
    std::map<BT_ADDR, std::string> unread;
    for (const Neighbour& n : hood.devices) {
        if (n.rssiUnread.empty())
            continue;
        unread[n.address] = n.rssiUnread;
        auto before = told->find(n.address);
        if (before != told->end() && before->second == n.rssiUnread)
            continue;
        std::fprintf(stderr,
                     "%s: device %s: \"%s\" is no level in dBm (a whole number from -128 to 127): %d dBm taken\n",
                     NeighbourhoodPath().c_str(), FormatBtAddress(n.address).c_str(), n.rssiUnread.c_str(), n.rssi);
        std::fflush(stderr);
    }
    *told = std::move(unread);
}

// Takes a device out; a damaged block that travelled with it stays in the
// file with the part before it.
void EraseDevice(Neighbourhood& hood, size_t index)
{
    std::vector<std::string>& lines = hood.devices[index].lines;
    size_t own = 0;
    while (own < lines.size() && !BlockStart(lines[own]))
        ++own;
    std::vector<std::string>& before = index == 0 ? hood.header : hood.devices[index - 1].lines;
    before.insert(before.end(), lines.begin() + static_cast<long>(own), lines.end());
    hood.devices.erase(hood.devices.begin() + static_cast<long>(index));
}

}  // namespace

std::string FormatNeighbourhood(const Neighbourhood& hood)
{
    std::ostringstream out;
    if (hood.header.empty())
        out << "# Bluetooth neighbourhood of this device root: one [device] block per device.\n";
    const std::string radio = hood.radioOn ? "on" : "off";
    const bool on = hood.radioOn;
    WriteSection(out, hood.header,
                 {{"radio", radio, true, on, [on](const std::string& v) { return (Lower(v) != "off") == on; }}});
    for (const Neighbour& n : hood.devices) {
        if (n.lines.empty() && !EndsWithBlankLine(out.str()))
            out << "\n";
        out << "[device]\n";
        WriteSection(out, n.lines, DeviceKeys(n));
    }
    return out.str();
}

Neighbourhood LoadNeighbourhood()
{
    Neighbourhood hood;
    bool exists = false;
    std::string text = ReadWhole(NeighbourhoodPath(), exists);
    if (exists)
        ParseNeighbourhood(text, hood);  // damaged blocks are left out
    // A device whose simulator was killed is gone with it.
    for (size_t i = hood.devices.size(); i-- > 0;) {
        if (!ProcessAlive(hood.devices[i].owner))
            EraseDevice(hood, i);
    }
    TellUnreadLevels(hood);
    return hood;
}

const Neighbour* FindNeighbour(const Neighbourhood& hood, BT_ADDR address)
{
    for (const Neighbour& n : hood.devices) {
        if (n.address == address)
            return &n;
    }
    return nullptr;
}

bool AddNeighbour(const Neighbour& device, Neighbour* holder)
{
    return ModifyHood([&](Neighbourhood& hood) {
        for (Neighbour& n : hood.devices) {
            if (n.address == device.address) {
                // A running simulator answers on this address: taken over,
                // its block would point the program at another terminal,
                // and its end would take the newcomer's block with it.
                // (Blocks of ended owners were dropped on loading.)
                if (n.owner > 0 && n.owner != device.owner) {
                    if (holder)
                        *holder = n;
                    return false;
                }
                // The block keeps its place and its hand-written lines.
                std::vector<std::string> lines = std::move(n.lines);
                n = device;
                if (n.lines.empty())
                    n.lines = std::move(lines);
                return true;
            }
        }
        hood.devices.push_back(device);
        return true;
    });
}

bool RemoveNeighbour(BT_ADDR address, long owner)
{
    return ModifyHood([&](Neighbourhood& hood) {
        for (size_t i = 0; i < hood.devices.size(); ++i) {
            if (hood.devices[i].address == address && hood.devices[i].owner == owner) {
                EraseDevice(hood, i);
                return true;
            }
        }
        return false;
    });
}

bool SetNeighbourInRange(BT_ADDR address, bool inRange)
{
    return ModifyHood([&](Neighbourhood& hood) {
        for (Neighbour& n : hood.devices) {
            if (n.address == address) {
                n.inRange = inRange;
                return true;
            }
        }
        return false;
    });
}

bool SetBluetoothRadio(bool on)
{
    return ModifyHood([&](Neighbourhood& hood) {
        hood.radioOn = on;
        return true;
    });
}

}  // namespace qplat
