// Lays out a demo storage card in a device root, built from the repository's
// data/ folder:
//
//   \SDMMC\Autorun\            the program folder
//   \SDMMC\Autorun\Language\   the language files and "Language.ini"
//   \SDMMC\Autorun\DB\         the journals
//   \SDMMC\Autorun\Refer\      the reference profiles (Refer_QOD\: the disc device's)
//   \SDMMC\Autorun\Schemes\    the measuring schemes (Schemes_QOD\: the disc device's)
//
// and points the registry value "Folder" (the program folder's card) at
// "\SDMMC". So that a first measurement can be graded and stored, the card also
// gets demo data for each family: an empty journal "Demo" ("DB\Demo.qav",
// "DB\Demo.qod") and a tolerance set "Demo" ("Dopusk.qav", "Dopusk.qod"),
// made current in the settings file where no journal or set is current yet.
//
// Running it again brings the shipped files up to date and changes nothing
// else: the operator's settings ("param.qav"), journals, tolerance sets and
// language choice on the card are never overwritten. A card with a link that
// leads out of the device root is refused as a whole, before anything is
// written: the tool would read or write files that are not the card's.
#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/BTDeviceFile.h"
#include "settings/CatalogFiles.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tools/democard/SensorFields.h"

namespace {

namespace fs = std::filesystem;

constexpr const char16_t* CARD_FOLDER = u"\\SDMMC";
constexpr const char16_t* PROGRAM_FOLDER = u"\\SDMMC\\Autorun\\";

// A folder of data/ copied into a folder of the card. Files named in keep are
// the operator's once they exist on the card and are only put there when
// missing (every file of the folder with keepAll); the others are shipped
// files, refreshed when they differ.
struct CardFolder {
    const char* dataFolder;
    const char16_t* cardFolder;
    std::vector<std::string> keep;
    bool keepAll = false;
};

const CardFolder CARD_FOLDERS[] = {
    {"Language", u"Language\\", {"language.ini"}},
    // The scheme editor rewrites a scheme of the same name: such a scheme is
    // the operator's.
    {"Schemes", u"Schemes\\", {}, true},
    {"Schemes_QOD", u"Schemes_QOD\\", {}, true},
};

// Folders the program expects on the card even when data/ has nothing for them.
// The program never makes the reference folders itself (a handheld's card
// comes with them): without them no profile can be saved as a reference.
const char16_t* const EMPTY_FOLDERS[] = {u"DB\\", u"Refer\\", u"Refer_QOD\\"};

// Registry keys a handheld has from its image; the start-up set-up only writes
// values into keys that exist.
const char16_t* const HANDHELD_KEYS[] = {u"\\Init\\", u"\\Ident\\", u"\\Drivers\\USB\\FunctionDrivers\\"};

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool ReadHostFile(const fs::path& path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The card root as the host resolves it, links and all; set once at start.
fs::path g_cardRoot;

// Whether a host path, with every link on the way resolved, stays inside the
// card root (the root itself included).
bool ResolvesInsideCard(const fs::path& host)
{
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(host, ec);
    if (ec)
        return false;
    const auto [rootEnd, at] = std::mismatch(g_cardRoot.begin(), g_cardRoot.end(), resolved.begin(), resolved.end());
    (void)at;
    return rootEnd == g_cardRoot.end();
}

// Whether a handheld path stays inside the card root. The links were checked
// before anything was written (LinksLeadingOut); this catches a path that
// names the root's outside by itself.
bool InsideCard(const std::u16string& devicePath)
{
    const std::string host = qplat::HostPath(devicePath);
    if (!host.empty() && ResolvesInsideCard(host))
        return true;
    std::fprintf(stderr, "democard: %s leads out of the card root, left alone\n", qplat::ToUtf8(devicePath).c_str());
    return false;
}

// The links anywhere below the card root that lead out of it (each named on
// standard error), or -1 when a folder cannot be read through: then the card
// cannot be shown to be safe to write.
int LinksLeadingOut()
{
    int found = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(g_cardRoot, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        if (!it->is_symlink(linkEc))
            continue;
        // The target itself, so that a dangling link is judged too (the
        // links on the way to it are resolved, and any inside the card is
        // judged on its own).
        const fs::path target = fs::read_symlink(it->path(), linkEc);
        if (!linkEc && ResolvesInsideCard(target.is_relative() ? it->path().parent_path() / target : target))
            continue;
        std::fprintf(stderr, "democard: %s leads out of the card root (to %s)\n",
                     it->path().lexically_relative(g_cardRoot).string().c_str(), target.string().c_str());
        ++found;
    }
    if (ec) {
        std::fprintf(stderr, "democard: cannot read the device root %s through: %s\n", g_cardRoot.string().c_str(),
                     ec.message().c_str());
        return -1;
    }
    return found;
}

bool MakeDeviceFolder(const std::u16string& path)
{
    if (!InsideCard(path))
        return false;
    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    std::fprintf(stderr, "democard: cannot create %s\n", qplat::ToUtf8(path).c_str());
    return false;
}

// Names on the card match in any letter case, as the platform resolves them.
bool DeviceFileExists(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeviceFileEquals(const std::u16string& path, const std::string& bytes)
{
    const std::string host = qplat::HostPath(path);
    std::string current;
    return !host.empty() && ReadHostFile(host, &current) && current == bytes;
}

bool CopyCardFolder(const fs::path& dataRoot, const CardFolder& folder, const std::u16string& programFolder)
{
    const std::u16string target = programFolder + folder.cardFolder;
    if (!MakeDeviceFolder(target))
        return false;
    const fs::path source = dataRoot / folder.dataFolder;
    std::error_code ec;
    fs::directory_iterator it(source, ec);
    if (ec) {
        std::fprintf(stderr, "democard: cannot read %s\n", source.string().c_str());
        return false;
    }
    bool ok = true;
    for (const auto& entry : it) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().filename().string();
        const std::u16string devicePath = target + qplat::FromUtf8(name);
        bool keep = folder.keepAll;
        for (const std::string& kept : folder.keep)
            keep = keep || Lower(name) == kept;
        if (!InsideCard(devicePath)) {
            ok = false;
            continue;
        }
        if (keep && DeviceFileExists(devicePath))
            continue;
        std::string bytes;
        if (!ReadHostFile(entry.path(), &bytes)) {
            std::fprintf(stderr, "democard: cannot read %s\n", entry.path().string().c_str());
            ok = false;
            continue;
        }
        if (DeviceFileEquals(devicePath, bytes))
            continue;
        if (!qplat::RewriteFile(devicePath.c_str(), bytes.data(), bytes.size())) {
            std::fprintf(stderr, "democard: cannot write %s\n", qplat::ToUtf8(devicePath).c_str());
            ok = false;
        }
    }
    return ok;
}

bool SetRegistryText(const char16_t* keyPath, const char16_t* valueName, const std::u16string& value)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS)
        return false;
    WCHAR stored[256] = {};
    DWORD type = 0;
    DWORD size = sizeof(stored) - sizeof(WCHAR);
    bool same = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(stored), &size) == ERROR_SUCCESS &&
                type == REG_SZ && value == stored;
    bool ok = true;
    if (!same)
        ok = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR))) == ERROR_SUCCESS;
    // The value stands in the running registry even when it could not be
    // stored; only the flush tells whether the card will find it next time.
    ok = RegFlushKey(key) == ERROR_SUCCESS && ok;
    RegCloseKey(key);
    return ok;
}

bool MakeRegistryKey(const char16_t* keyPath)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS)
        return false;
    const bool ok = RegFlushKey(key) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

const char kUsage[] =
    "usage: democard --root DIR --data DATA_DIR [--sensor ADDRESS NAME PIN]\n"
    "  --sensor  pairs a laser head (device type 1) on a card that has none yet:\n"
    "            12 hexadecimal digits (not all zeros: that is no sensor), its name\n"
    "            (\"LX412 12345\", at most 11 characters) and PIN (1 to 4 digits); each option once\n";

struct DemoSensor {
    std::string address, name, pin;
};

void CopyAscii(WCHAR* field, size_t chars, const std::string& text)
{
    qplat::CopyField(field, chars, qplat::FromUtf8(text).c_str());
}

// The demo journal and tolerance set of each family.
constexpr const char16_t* DEMO_NAME = u"Demo";

// Demo tolerance limits of the wheel family, in micrometres, for the standard
// wheel the simulated head measures (the S1002 profile: flange height 28 mm,
// flange thickness 32.5 mm, flange slope 10.8 mm), so that such a wheel is in
// tolerance and a worn one is flagged. They are demo data, not the limits of
// any railway's rules. Only the three values the factory settings switch on
// are graded; every other limit pair stays 0 (ungraded).
DopuskQavRecord DemoWheelTolerances()
{
    DopuskQavRecord r;
    std::memset(&r, 0, sizeof r);
    qplat::CopyField(r.name, CATALOG_NAME_CHARS, DEMO_NAME);
    struct Limits {
        int entry;
        LONG lower, lowerWarning, upperWarning, upper;
    };
    const Limits limits[] = {
        {0, 26000, 26500, 33000, 36000},  // flange height
        {1, 22000, 24000, 33500, 34000},  // flange thickness
        {2, 6500, 7500, 13000, 20000},    // flange slope (as a length)
    };
    for (const Limits& l : limits) {
        r.lower[l.entry] = l.lower;
        r.lowerWarning[l.entry] = l.lowerWarning;
        r.upperWarning[l.entry] = l.upperWarning;
        r.upper[l.entry] = l.upper;
    }
    return r;
}

// Demo tolerance limits of the disc device, in micrometres, for the unworn
// standard disc the simulated disc device measures. Demo data as above.
DopuskQodRecord DemoDiscTolerances()
{
    DopuskQodRecord r;
    std::memset(&r, 0, sizeof r);
    qplat::CopyField(r.name, CATALOG_NAME_CHARS, DEMO_NAME);
    r.limits[2] = 98000;   // least disc thickness: out below
    r.limits[14] = 102000; //   warning below
    r.limits[7] = 3000;    // unevenness of a side: out above
    r.limits[11] = 1500;   //   warning above
    return r;
}

// Adds the demo tolerance set to its file unless a set of that name is there
// already (the operator's, or the demo's from an earlier run).
template <typename File, typename Record>
bool AddDemoSet(File& file, const Record& record)
{
    const std::string name = qplat::ToUtf8(file.FileName());
    const int count = file.GetCount();
    std::vector<Record> records(static_cast<size_t>(std::max(0, count)));
    if (count < 0 || (count > 0 && !file.ReadAll(records.data(), count))) {
        std::fprintf(stderr, "democard: cannot read %s\n", name.c_str());
        return false;
    }
    for (const Record& r : records)
        if (qplat::FieldText(r.name, CATALOG_NAME_CHARS) == DEMO_NAME)
            return true;
    if (file.Append(&record) != 1) {
        std::fprintf(stderr, "democard: cannot write %s\n", name.c_str());
        return false;
    }
    return true;
}

// Makes the demo journal and tolerance set of one family current where the
// settings name none, and lays out the ones the settings name as the demo's.
// What the operator chose is left alone. Sets *changed when a name was set.
template <typename Journal, typename SetFile, typename Record>
bool SetUpFamily(WCHAR* journalName, WCHAR* toleranceName, const Record& demoSet, bool* changed)
{
    bool ok = true;
    if (qplat::FieldText(journalName, PARAM_NAME_CHARS).empty()) {
        qplat::CopyField(journalName, PARAM_NAME_CHARS, DEMO_NAME);
        *changed = true;
    }
    if (qplat::FieldText(journalName, PARAM_NAME_CHARS) == DEMO_NAME) {
        // Asking for the count makes a missing journal, empty.
        Journal journal;
        if (journal.GetCount(DEMO_NAME) < 0) {
            std::fprintf(stderr, "democard: cannot create the journal %s\n", qplat::ToUtf8(DEMO_NAME).c_str());
            ok = false;
        }
    }
    if (qplat::FieldText(toleranceName, PARAM_NAME_CHARS).empty()) {
        qplat::CopyField(toleranceName, PARAM_NAME_CHARS, DEMO_NAME);
        *changed = true;
    }
    if (qplat::FieldText(toleranceName, PARAM_NAME_CHARS) == DEMO_NAME) {
        SetFile file;
        ok = AddDemoSet(file, demoSet) && ok;
    }
    return ok;
}

// Pairs the demo's simulated head: in the settings file when its laser-head
// record is empty, and in the paired-sensor list when no sensor of that name
// is listed. What the operator paired is left alone. Sets *changed when the
// settings record was filled.
bool PairDemoSensor(const DemoSensor& sensor, ParamBlock* block, bool* changed)
{
    std::string address = sensor.address;
    for (char& c : address)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    ParamBTRecord* record = SensorRecordOf(block, 1);
    // The factory settings name no real sensor: an address of zeros.
    const std::u16string stored = qplat::FieldText(record->address, 20);
    if (stored.find_first_not_of(u'0') == std::u16string::npos) {
        std::memset(record, 0, sizeof *record);
        CopyAscii(record->address, 20, address);
        CopyAscii(record->name, 12, sensor.name);
        CopyAscii(record->pin, 5, sensor.pin);
        *changed = true;
    }
    CBTDeviceFile list;
    BTDeviceRecord records[64];
    const int count = std::max(0, list.ReadAll(records, 64));
    for (int i = 0; i < count; ++i)
        if (qplat::FieldText(records[i].name, 12) == qplat::FromUtf8(sensor.name))
            return true;
    BTDeviceRecord added;
    std::memset(&added, 0, sizeof added);
    added.deviceType = 1;
    CopyAscii(added.name, 12, sensor.name);
    CopyAscii(added.address, 20, address);
    CopyAscii(added.serial, 6, sensor.pin);
    if (list.Append(&added) != 1) {
        std::fprintf(stderr, "democard: cannot save the paired-sensor list\n");
        return false;
    }
    return true;
}

// The settings file: the factory settings on a card without one, the demo
// journals and tolerance sets, and the demo's sensor when asked for.
bool SetUpSettings(const DemoSensor& sensor)
{
    CParamFile file;
    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    bool changed = false;
    if (!file.Load(&block)) {
        std::memset(&block, 0, sizeof block);
        file.WriteDefaults(&block);
        changed = true;  // WriteDefaults does not tell whether it saved
    }
    bool ok = SetUpFamily<CDBJournalQav, CDopuskQavFile>(block.qavJournalName, block.qavToleranceName,
                                                         DemoWheelTolerances(), &changed);
    ok = SetUpFamily<CDBJournalQod, CDopuskQodFile>(block.qodJournalName, block.qodToleranceName,
                                                    DemoDiscTolerances(), &changed) &&
         ok;
    if (!sensor.address.empty())
        ok = PairDemoSensor(sensor, &block, &changed) && ok;
    if (changed && !file.Save(&block)) {
        std::fprintf(stderr, "democard: cannot save the settings file\n");
        ok = false;
    }
    return ok;
}

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// A sensor the card's fields cannot hold would be stored cut or unusable,
// and the head would never link: it is refused before anything is made.
bool UsableSensor(const DemoSensor& sensor)
{
    constexpr size_t kAddressDigits = 12;
    BT_ADDR address = 0;
    const bool hex = sensor.address.size() == kAddressDigits &&
                     sensor.address.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos &&
                     qplat::ParseBtAddress(sensor.address, address);
    if (!hex) {
        std::fprintf(stderr, "democard: --sensor address \"%s\" is not %zu hexadecimal digits\n",
                     sensor.address.c_str(), kAddressDigits);
        return false;
    }
    if (sensorfields::MeansNoSensor(address)) {
        std::fprintf(stderr, "democard: --sensor address \"%s\" means no sensor: nothing could link\n",
                     sensor.address.c_str());
        return false;
    }
    auto fits = [](const char* what, const std::string& problem) {
        if (!problem.empty())
            std::fprintf(stderr, "democard: --sensor %s %s\n", what, problem.c_str());
        return problem.empty();
    };
    return fits("name", sensorfields::LengthProblem(sensor.name, sensorfields::kNameChars)) &&
           fits("PIN", sensorfields::PinProblem(sensor.pin));
}

// The folders of data/ the card is built from: a wrong --data would
// otherwise leave a card laid out half before the first copy fails.
bool UsableData(const fs::path& data)
{
    std::error_code ec;
    if (!fs::is_directory(data, ec)) {
        std::fprintf(stderr, "democard: --data %s is not a folder\n", data.string().c_str());
        return false;
    }
    for (const CardFolder& folder : CARD_FOLDERS) {
        if (!fs::is_directory(data / folder.dataFolder, ec)) {
            std::fprintf(stderr, "democard: --data %s has no folder %s\n", data.string().c_str(), folder.dataFolder);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    std::string data;
    DemoSensor sensor;
    bool pairing = false;
    std::vector<std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        // Each option once: a second one would silently win over the first,
        // and a card names one program folder and pairs one head.
        if (std::find(given.begin(), given.end(), arg) != given.end()) {
            std::fprintf(stderr, "democard: option %s is given twice\n", arg.c_str());
            return Usage();
        }
        given.push_back(arg);
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--data" && i + 1 < argc)
            data = argv[++i];
        else if (arg == "--sensor" && i + 3 < argc) {
            sensor.address = argv[++i];
            sensor.name = argv[++i];
            sensor.pin = argv[++i];
            pairing = true;
        } else {
            if (arg == "--root" || arg == "--data" || arg == "--sensor")
                std::fprintf(stderr, "democard: option %s needs %s\n", arg.c_str(),
                             arg == "--sensor" ? "ADDRESS NAME PIN" : "a folder");
            else
                std::fprintf(stderr, "democard: unknown option %s\n", arg.c_str());
            return Usage();
        }
    }
    if (root.empty() || data.empty()) {
        std::fprintf(stderr, "democard: %s is needed\n", root.empty() ? "--root DIR" : "--data DATA_DIR");
        return Usage();
    }
    if (!UsableData(data) || (pairing && !UsableSensor(sensor)))
        return 2;
    // A root that is a file, or lies below one, is a mistyped argument like
    // the others: refused before anything is made.
    std::error_code ec;
    const fs::file_status rootStatus = fs::status(root, ec);
    if (fs::exists(rootStatus) && !fs::is_directory(rootStatus)) {
        std::fprintf(stderr, "democard: --root %s is not a folder\n", root.c_str());
        return 2;
    }
    fs::create_directories(root, ec);
    if (ec == std::errc::not_a_directory) {
        std::fprintf(stderr, "democard: --root %s lies below a file, not a folder\n", root.c_str());
        return 2;
    }
    if (ec) {
        std::fprintf(stderr, "democard: cannot create the device root %s\n", root.c_str());
        return 1;
    }
    qplat::SetDeviceRoot(fs::absolute(root).string());
    g_cardRoot = fs::canonical(qplat::DeviceRoot(), ec);
    if (ec) {
        std::fprintf(stderr, "democard: cannot resolve the device root %s\n", root.c_str());
        return 1;
    }
    // Nothing is read or written while a link leads elsewhere: the registry in
    // the platform folder, the settings or the paired-sensor list could be
    // another card's or no card's.
    if (const int links = LinksLeadingOut(); links != 0) {
        if (links > 0)
            std::fprintf(stderr, "democard: links out of the card root are not followed; nothing was written\n");
        return 1;
    }

    bool ok = MakeDeviceFolder(CARD_FOLDER) && MakeDeviceFolder(PROGRAM_FOLDER);
    if (ok) {
        for (const CardFolder& folder : CARD_FOLDERS)
            ok = CopyCardFolder(data, folder, PROGRAM_FOLDER) && ok;
        for (const char16_t* folder : EMPTY_FOLDERS)
            ok = MakeDeviceFolder(std::u16string(PROGRAM_FOLDER) + folder) && ok;
    }
    for (const char16_t* key : HANDHELD_KEYS) {
        if (!MakeRegistryKey(key)) {
            std::fprintf(stderr, "democard: cannot save the registry key %s\n", qplat::ToUtf8(key).c_str());
            ok = false;
        }
    }
    if (!SetRegistryText(PROGRAM_FOLDER_KEY, PROGRAM_FOLDER_VALUE, CARD_FOLDER)) {
        std::fprintf(stderr, "democard: cannot save the registry value \"Folder\"\n");
        ok = false;
    }
    if (ok)
        ok = SetUpSettings(sensor);
    if (!ok)
        return 1;
    CProgramFolder folder;
    std::printf("demo card ready: program folder %s in %s\n", qplat::ToUtf8(folder.GetPath()).c_str(),
                qplat::DeviceRoot().c_str());
    return 0;
}
