// The Bluetooth neighbourhood description: parsing, formatting and the locked
// read-modify-write that simulators and tests use to add and remove devices.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"

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

std::string ReadWhole(const std::string& path, bool& exists)
{
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    if (!in)
        return std::string();
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
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

bool WriteAtomically(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < text.size()) {
        ssize_t r = ::write(fd, text.data() + done, text.size() - done);
        if (r <= 0) {
            if (r < 0 && errno == EINTR)
                continue;
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(r);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
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
    Neighbour current;
    auto finish = [&] {
        if (inBlock) {
            if (blockValid)
                out.devices.push_back(current);
            else
                ok = false;
        }
        inBlock = false;
        blockValid = false;
        current = Neighbour{};
    };
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (Lower(line) == "[device]") {
            finish();
            inBlock = true;
            continue;
        }
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
            if (ParseInt(value, v) && v >= -128 && v <= 127)
                current.rssi = static_cast<int>(v);
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

std::string FormatNeighbourhood(const Neighbourhood& hood)
{
    std::ostringstream out;
    out << "# Bluetooth neighbourhood of this device root: one [device] block per device.\n";
    out << "radio = " << (hood.radioOn ? "on" : "off") << "\n";
    for (const Neighbour& n : hood.devices) {
        out << "\n[device]\n";
        out << "address = " << FormatBtAddress(n.address) << "\n";
        out << "name = " << OneLine(n.name) << "\n";
        out << "pin = " << OneLine(n.pin) << "\n";
        out << "serial = " << OneLine(n.serial) << "\n";
        out << "rssi = " << n.rssi << "\n";
        out << "range = " << (n.inRange ? "in" : "out") << "\n";
        if (n.nameQueryTimesOut)
            out << "name-query = timeout\n";
        if (n.owner != 0)
            out << "owner = " << n.owner << "\n";
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

bool AddNeighbour(const Neighbour& device)
{
    return ModifyHood([&](Neighbourhood& hood) {
        for (Neighbour& n : hood.devices) {
            if (n.address == device.address) {
                n = device;
                return true;
            }
        }
        hood.devices.push_back(device);
        return true;
    });
}

bool RemoveNeighbour(BT_ADDR address)
{
    return ModifyHood([&](Neighbourhood& hood) {
        for (auto it = hood.devices.begin(); it != hood.devices.end(); ++it) {
            if (it->address == address) {
                hood.devices.erase(it);
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
