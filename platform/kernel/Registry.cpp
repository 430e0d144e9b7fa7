// The registry: a tree of keys and values in memory, loaded from the platform
// folder on first use and written back whole (through a rewrite) after every
// change, as the handheld keeps its registry across a power-off.
//
// The file is UTF-8 text, one line each:
//   QAV5-REGISTRY 1                 first line
//   [HKLM/System/StorageManager]    a key: root, then its parts
//   Folder=sz:\SDMMC\u0000          a value: name, kind, payload
//   Count=dword:0000001a
//   Blob=hex3:0a0b0c                any other type or length: type, then bytes
//   END                             last line (a file without it was cut short)
// Names and texts escape "\", "/", "=", "[", "]" with a backslash, and control
// characters or lone surrogates as \uXXXX.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/kernel/KernelInternal.h"

namespace qplat {

namespace {

const char kRegistryFile[] = "registry.txt";
const char kHeader[] = "QAV5-REGISTRY 1";
const char kEnd[] = "END";

struct Value {
    std::u16string name;
    DWORD type = REG_NONE;
    std::string data;
};

struct Key {
    std::u16string name;
    std::map<std::u16string, std::unique_ptr<Key>> subkeys;  // by folded name
    std::map<std::u16string, Value> values;                   // by folded name
};

const char* const kRootNames[4] = {"HKCR", "HKCU", "HKLM", "HKU"};

struct OpenKey {
    int root;
    std::vector<std::u16string> path;  // folded parts
};

struct Registry {
    std::mutex lock;
    bool loaded = false;
    bool dirty = false;
    // A file that could not be taken for the registry, nor kept aside, is not
    // written over.
    bool heldBack = false;
    Key roots[4];
    std::map<uintptr_t, OpenKey> open;
    uintptr_t nextHandle = 0x1000;
};

Registry& Reg()
{
    static Registry* reg = new Registry;
    return *reg;
}

// ---- escaping

std::string Escape(std::u16string_view s)
{
    std::string out;
    static const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u'\\' || c == u'/' || c == u'=' || c == u'[' || c == u']') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out += ToUtf8(s.substr(i, 2));
            ++i;
        } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(hex[(c >> shift) & 0xF]);
        } else {
            out += ToUtf8(s.substr(i, 1));
        }
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view s, std::u16string& out)
{
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b == '\\') {
            if (i + 1 >= s.size())
                return false;
            char e = s[i + 1];
            if (e == 'u') {
                if (i + 6 > s.size())
                    return false;
                unsigned v = 0;
                for (size_t k = i + 2; k < i + 6; ++k) {
                    int d = HexDigit(s[k]);
                    if (d < 0)
                        return false;
                    v = v * 16 + static_cast<unsigned>(d);
                }
                out.push_back(static_cast<char16_t>(v));
                i += 6;
            } else if (e == '\\' || e == '/' || e == '=' || e == '[' || e == ']') {
                out.push_back(static_cast<char16_t>(e));
                i += 2;
            } else {
                return false;
            }
            continue;
        }
        // A run up to the next escape is plain UTF-8. It must be the canonical
        // form ToUtf8 writes, so a damaged or foreign file is not read silently.
        size_t end = i;
        while (end < s.size() && s[end] != '\\') {
            if (static_cast<unsigned char>(s[end]) < 0x20)
                return false;
            ++end;
        }
        const std::string_view run = s.substr(i, end - i);
        const std::u16string text = FromUtf8(run);
        if (ToUtf8(text) != run)
            return false;
        out += text;
        i = end;
    }
    return true;
}

// Splits at the unescaped separator characters.
std::vector<std::string_view> SplitUnescaped(std::string_view s, char sep, size_t maxParts = 0)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
            continue;
        }
        if (s[i] == sep && (maxParts == 0 || parts.size() + 1 < maxParts)) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

// ---- the file

bool TextOf(const std::string& data, std::u16string& text)
{
    if (data.size() % 2)
        return false;
    text.resize(data.size() / 2);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                        (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    return true;
}

void WriteKey(std::string& out, const std::string& path, const Key& key)
{
    out += "[" + path + "]\n";
    static const char hex[] = "0123456789abcdef";
    for (const auto& [folded, v] : key.values) {
        out += Escape(v.name) + "=";
        std::u16string text;
        if (v.type == REG_SZ && TextOf(v.data, text)) {
            out += "sz:" + Escape(text);
        } else if (v.type == REG_DWORD && v.data.size() == 4) {
            DWORD d = 0;
            for (int i = 3; i >= 0; --i)
                d = (d << 8) | static_cast<unsigned char>(v.data[static_cast<size_t>(i)]);
            char buf[16];
            std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(d));
            out += std::string("dword:") + buf;
        } else {
            out += "hex" + std::to_string(v.type) + ":";
            for (unsigned char b : v.data) {
                out.push_back(hex[b >> 4]);
                out.push_back(hex[b & 0xF]);
            }
        }
        out += "\n";
    }
    for (const auto& [folded, sub] : key.subkeys)
        WriteKey(out, path + "/" + Escape(sub->name), *sub);
}

std::string Serialize(const Registry& r)
{
    std::string out = std::string(kHeader) + "\n";
    for (int i = 0; i < 4; ++i)
        WriteKey(out, kRootNames[i], r.roots[i]);
    out += std::string(kEnd) + "\n";
    return out;
}

std::string RegistryPath()
{
    return PlatformFolder() + "/" + kRegistryFile;
}

bool ParseValue(std::string_view line, Key& key)
{
    auto parts = SplitUnescaped(line, '=', 2);
    if (parts.size() != 2)
        return false;
    Value v;
    if (!Unescape(parts[0], v.name))
        return false;
    std::string_view rest = parts[1];
    size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view kind = rest.substr(0, colon);
    std::string_view payload = rest.substr(colon + 1);
    if (kind == "sz") {
        std::u16string text;
        if (!Unescape(payload, text))
            return false;
        v.type = REG_SZ;
        for (char16_t c : text) {
            v.data.push_back(static_cast<char>(c & 0xFF));
            v.data.push_back(static_cast<char>(c >> 8));
        }
    } else if (kind == "dword") {
        if (payload.size() != 8)
            return false;
        DWORD d = 0;
        for (char c : payload) {
            int h = HexDigit(c);
            if (h < 0)
                return false;
            d = d * 16 + static_cast<DWORD>(h);
        }
        v.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            v.data.push_back(static_cast<char>((d >> (8 * i)) & 0xFF));
    } else if (kind.substr(0, 3) == "hex" && kind.size() > 3 && kind.size() <= 13) {
        unsigned long long type = 0;
        for (char c : kind.substr(3)) {
            if (c < '0' || c > '9')
                return false;
            type = type * 10 + static_cast<unsigned>(c - '0');
        }
        if (type > 0xFFFFFFFFull || payload.size() % 2)
            return false;
        v.type = static_cast<DWORD>(type);
        for (size_t i = 0; i < payload.size(); i += 2) {
            int hi = HexDigit(payload[i]);
            int lo = HexDigit(payload[i + 1]);
            if (hi < 0 || lo < 0)
                return false;
            v.data.push_back(static_cast<char>(hi * 16 + lo));
        }
    } else {
        return false;
    }
    key.values[FoldName(v.name)] = std::move(v);
    return true;
}

Key* ParseKeyLine(std::string_view line, Registry& r)
{
    if (line.size() < 2 || line.back() != ']')
        return nullptr;
    auto parts = SplitUnescaped(line.substr(1, line.size() - 2), '/');
    int root = -1;
    for (int i = 0; i < 4; ++i) {
        if (parts[0] == kRootNames[i])
            root = i;
    }
    if (root < 0)
        return nullptr;
    Key* key = &r.roots[root];
    for (size_t i = 1; i < parts.size(); ++i) {
        std::u16string name;
        if (!Unescape(parts[i], name) || name.empty())
            return nullptr;
        auto& slot = key->subkeys[FoldName(name)];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = name;
        }
        key = slot.get();
    }
    return key;
}

// Reads what parses; FALSE when anything in the file did not.
bool Parse(const std::string& text, Registry& r)
{
    std::istringstream in(text);
    std::string line;
    bool good = true;
    bool header = false;
    bool ended = false;
    Key* key = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!header) {
            header = true;
            if (line == kHeader)
                continue;
            good = false;  // not our header: still try the lines
        }
        if (ended) {
            good = false;
            break;
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        if (line.empty())
            continue;
        if (line[0] == '[') {
            key = ParseKeyLine(line, r);
            if (!key)
                good = false;
            continue;
        }
        if (!key || !ParseValue(line, *key))
            good = false;
    }
    return good && header && ended;
}

bool SaveLocked(Registry& r)
{
    if (r.heldBack) {
        r.dirty = true;
        return false;
    }
    std::string text = Serialize(r);
    r.dirty = !RewriteHostFile(RegistryPath(), text.data(), text.size());
    return !r.dirty;
}

std::string LeafOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why a file could not be kept aside, for the line on standard error.
const char* SetAsideError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_EXISTS: return "every name for it is taken";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_DISK_FULL: return "no room";
    default: return "the card failed";
    }
}

// A file that cannot be taken for the registry is kept aside as
// registry.txt.bad (registry.txt.bad2, ... never over an earlier one), so
// that the next change does not write over it; `what` says why on standard
// error. Where it cannot be moved, or is read-only (a read-only file of the
// platform stays as it is), it stays where it is and is not written over: the
// registry's changes then stand only while the program runs.
void SetAsideLocked(Registry& r, const std::string& path, const char* what)
{
    std::string said;
    const std::string aside = SetAsideHostName(path, ".bad");
    if (IsReadOnlyHostFile(path)) {
        said = "read-only: not kept aside nor written over";
        r.heldBack = true;
    } else if (aside.empty() || !RenameHostFile(path, aside)) {
        const DWORD error = GetLastError();
        if (!aside.empty() && error == ERROR_CHANGE_NOT_CONFIRMED) {
            // Moved: the registry goes on and writes its file beside it. Should
            // a power cut undo the move, the file is found again at a start.
            said = "kept aside as " + LeafOf(aside) + ", not confirmed by the card";
        } else {
            std::fprintf(stderr, "%s: %s nor kept aside (%s): not written over\n", path.c_str(), what,
                         SetAsideError(error));
            std::fflush(stderr);
            r.heldBack = true;
            return;
        }
    } else {
        said = "kept aside as " + LeafOf(aside);
    }
    std::fprintf(stderr, "%s: %s: %s\n", path.c_str(), what, said.c_str());
    std::fflush(stderr);
}

void LoadLocked(Registry& r)
{
    if (r.loaded)
        return;
    r.loaded = true;
    std::string path = RegistryPath();
    std::string text;
    // Read whole: a file cut at some bound would be taken for a damaged one.
    const PlatformRead read = ReadPlatformFile(path, text, std::numeric_limits<size_t>::max(), false);
    if (read == PlatformRead::Unreadable) {
        // Not an empty registry: the next change would write the file anew
        // with that one value. It is kept aside, as a damaged one is.
        SetAsideLocked(r, path, "cannot be read");
        return;
    }
    if (read != PlatformRead::Read)
        return;
    if (Parse(text, r))
        return;
    // Keep the damaged file for inspection and carry on with what it held.
    SetAsideLocked(r, path, "cannot be parsed");
    SaveLocked(r);
}

bool ParseKeyPath(LPCWSTR subKey, std::vector<std::u16string>& parts, std::vector<std::u16string>& spelled)
{
    parts.clear();
    spelled.clear();
    if (!subKey)
        return true;
    std::u16string part;
    for (const WCHAR* p = subKey;; ++p) {
        if (*p == u'\\' || *p == 0) {
            if (!part.empty()) {
                if (part.size() > 255)
                    return false;
                spelled.push_back(part);
                parts.push_back(FoldName(part));
                part.clear();
            }
            if (*p == 0)
                break;
        } else {
            part.push_back(*p);
        }
    }
    return true;
}

int RootIndex(HKEY key)
{
    uintptr_t v = reinterpret_cast<uintptr_t>(key);
    if (v >= 0x80000000u && v <= 0x80000003u)
        return static_cast<int>(v - 0x80000000u);
    return -1;
}

// The key a handle names, plus its path; caller holds the lock.
Key* KeyOf(Registry& r, HKEY handle, OpenKey& where, LONG& error)
{
    int root = RootIndex(handle);
    if (root >= 0) {
        where = OpenKey{root, {}};
        return &r.roots[root];
    }
    auto it = r.open.find(reinterpret_cast<uintptr_t>(handle));
    if (it == r.open.end()) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    where = it->second;
    Key* key = &r.roots[where.root];
    for (const auto& part : where.path) {
        auto sub = key->subkeys.find(part);
        if (sub == key->subkeys.end()) {
            error = ERROR_KEY_DELETED;
            return nullptr;
        }
        key = sub->second.get();
    }
    return key;
}

HKEY NewHandle(Registry& r, OpenKey where)
{
    uintptr_t value = r.nextHandle;
    r.nextHandle += 4;
    r.open.emplace(value, std::move(where));
    return reinterpret_cast<HKEY>(value);
}

// One call's hold on the registry: the lock, the loaded tree and the key the
// handle names (null, with the error, when it names none).
struct LockedKey {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard{r.lock};
    OpenKey where;
    LONG error = ERROR_SUCCESS;
    Key* key = nullptr;

    explicit LockedKey(HKEY handle)
    {
        LoadLocked(r);
        key = KeyOf(r, handle, where, error);
    }
};

}  // namespace

void ResetRegistryCache()
{
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    r.loaded = false;
    r.dirty = false;
    r.heldBack = false;
    for (auto& root : r.roots)
        root = Key{};
    r.open.clear();
}

}  // namespace qplat

using namespace qplat;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts, spelled;
    if (!ParseKeyPath(subKey, parts, spelled))
        return ERROR_INVALID_PARAMETER;
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    for (const auto& part : parts) {
        auto it = k->subkeys.find(part);
        if (it == k->subkeys.end())
            return ERROR_FILE_NOT_FOUND;
        k = it->second.get();
        at.where.path.push_back(part);
    }
    *result = NewHandle(at.r, std::move(at.where));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::u16string> parts, spelled;
    if (!ParseKeyPath(subKey, parts, spelled))
        return ERROR_INVALID_PARAMETER;
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    bool created = false;
    for (size_t i = 0; i < parts.size(); ++i) {
        auto& slot = k->subkeys[parts[i]];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = spelled[i];
            created = true;
        }
        k = slot.get();
        at.where.path.push_back(parts[i]);
    }
    if (created)
        SaveLocked(at.r);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(at.r, std::move(at.where));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    auto it = k->values.find(FoldName(valueName ? valueName : u""));
    if (it == k->values.end())
        return ERROR_FILE_NOT_FOUND;
    const Value& v = it->second;
    if (type)
        *type = v.type;
    DWORD needed = static_cast<DWORD>(v.data.size());
    if (!data) {
        if (dataSize)
            *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    std::copy(v.data.begin(), v.data.end(), data);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    Value v;
    v.name = valueName ? valueName : u"";
    v.type = type;
    if (dataSize)
        v.data.assign(reinterpret_cast<const char*>(data), dataSize);
    k->values[FoldName(v.name)] = std::move(v);
    // The value stands in the running registry even when the file cannot be
    // written now; RegFlushKey reports that and the next change tries again.
    SaveLocked(at.r);
    return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    if (k->values.erase(FoldName(valueName ? valueName : u"")) == 0)
        return ERROR_FILE_NOT_FOUND;
    SaveLocked(at.r);
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey)
{
    std::vector<std::u16string> parts, spelled;
    if (!subKey || !ParseKeyPath(subKey, parts, spelled) || parts.empty())
        return ERROR_INVALID_PARAMETER;
    LockedKey at(key);
    if (!at.key)
        return at.error;
    Key* k = at.key;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto it = k->subkeys.find(parts[i]);
        if (it == k->subkeys.end())
            return ERROR_FILE_NOT_FOUND;
        k = it->second.get();
    }
    if (k->subkeys.erase(parts.back()) == 0)
        return ERROR_FILE_NOT_FOUND;
    SaveLocked(at.r);
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key)
{
    LockedKey at(key);
    if (!at.key)
        return at.error;
    if (at.r.dirty && !SaveLocked(at.r))
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (RootIndex(key) >= 0)
        return ERROR_SUCCESS;
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.open.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
