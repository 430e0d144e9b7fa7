// sensorsim: stands in for a laser head, a disc device or a gauge on a
// pseudo-terminal, so the program can pair, connect and measure without
// hardware. The first line on standard output is the terminal's path.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinKernel.h"
#include "tools/democard/SensorFields.h"
#include "tools/profilegen/ProfileGen.h"
#include "tools/sensorsim/PtyServer.h"
#include "tools/sensorsim/SimDevice.h"

namespace {

// A head's dump, whole or in its twelve blocks.
constexpr long kDumpBytes = 12288;

// On standard output when asked for (--help), on standard error after a
// refused argument.
void Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: sensorsim [--root DIR] [--kind wheel|disc|disc2|gauge2|gauge3] [--profile FILE]\n"
                 "                 [--firmware N] [--range MM] [--fault F[,F...]] [--verbose]\n"
                 "                 [--name TEXT] [--address HEX] [--pin NNNN] [--rssi DBM] [--out-of-range]\n"
                 "                 [--busy N] [--value N] [--thickness UM] [--groove UM]\n"
                 "                 [--voltage V] [--tilt T] [--temperature C] [--noisy] [--register R=V ...]\n"
                 "faults: silent, short, garbage, high-nibbles, stall[=BYTES], disconnect[=REQUESTS]\n"
                 "        (stall: BYTES into the 12288-byte dump, its blocks counted in, below 12288)\n"
                 "--root: a device root that exists; --name: 1 to 11 characters, --pin: 1 to 4 digits (what the\n"
                 "        card keeps of a paired sensor); --address: not all zeros (no sensor), nor the address of\n"
                 "        a simulator running on the root; each option once, but --register\n");
}

bool ParseLong(const char* text, long* value)
{
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (!text[0] || *end || errno)
        return false;
    *value = v;
    return true;
}

bool ParseDouble(const char* text, double* value)
{
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (!text[0] || *end)
        return false;
    *value = v;
    return true;
}

// FALSE with `error` naming the item and what it may be.
bool ParseFaults(const std::string& list, sensorsim::Faults* f, std::string* error)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::string name = item;
        std::string arg;
        const bool hasArg = item.find('=') != std::string::npos;
        if (hasArg) {
            name = item.substr(0, item.find('='));
            arg = item.substr(item.find('=') + 1);
        }
        const bool counted = name == "stall" || name == "disconnect";
        long n = -1;
        if (hasArg && !counted) {
            *error = item + ": " + name + " takes no count";
            return false;
        }
        if (hasArg && (!ParseLong(arg.c_str(), &n) || n < 0)) {
            *error = item + ": the count must be a whole number, 0 or more";
            return false;
        }
        if (name == "silent")
            f->silent = true;
        else if (name == "short")
            f->shortReplies = true;
        else if (name == "garbage")
            f->garbage = true;
        else if (name == "high-nibbles")
            f->highNibbles = true;
        else if (name == "stall" && n >= kDumpBytes) {
            // Past the dump's end it would never stall.
            *error = item + ": the dump has " + std::to_string(kDumpBytes) + " bytes, so stall takes 0 to " +
                     std::to_string(kDumpBytes - 1);
            return false;
        } else if (name == "stall")
            f->stallAfter = n >= 0 ? n : 600;
        else if (name == "disconnect")
            f->disconnectAfter = n >= 0 ? n : 3;
        else {
            *error = "no fault \"" + name + "\" (silent, short, garbage, high-nibbles, stall[=BYTES], disconnect[=N])";
            return false;
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

const char* DefaultName(sensorsim::Kind kind)
{
    switch (kind) {
    case sensorsim::Kind::Wheel:
        return "LX412 12345";
    case sensorsim::Kind::Disc:
    case sensorsim::Kind::Disc2:
        return "LX413 12345";
    case sensorsim::Kind::Gauge2:
        return "QUN 12345";
    case sensorsim::Kind::Gauge3:
        return "QEM 12345";
    }
    return "LX412 12345";
}

// The pairing PIN of a sensor is its serial: the 1st, 2nd, 3rd and 5th
// characters after the name's blank.
std::string PinOfName(const std::string& name)
{
    size_t blank = name.find(' ');
    std::string pin;
    if (blank == std::string::npos)
        return "0000";
    for (size_t k : {1u, 2u, 3u, 5u}) {
        if (blank + k < name.size())
            pin += name[blank + k];
    }
    return pin;
}

// A simulator running on the root holds the address: taken over, its block
// would point the program at another terminal, and the first of the two to
// end would unlist the other. `given`: the address came from --address.
void SayTaken(const qplat::Neighbour& holder, bool given)
{
    std::fprintf(stderr,
                 "sensorsim: %s %s is taken: the simulator of process %ld (\"%s\" on %s) is listed with it in %s;"
                 " end that one or give another --address\n",
                 given ? "--address" : "the address", qplat::FormatBtAddress(holder.address).c_str(), holder.owner,
                 holder.name.c_str(), holder.serial.c_str(), qplat::NeighbourhoodPath().c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    std::string kindText = "wheel";
    std::string profileFile;
    std::string name;
    std::string pin;
    std::string addressText;
    BT_ADDR address = 0;
    long firmware = -1;
    long range = -1;
    long rssi = -48;
    long busy = -1;
    long gaugeValue = -1;
    double thickness = -1;
    double groove = -1;
    double voltage = -1;
    double tilt = 1e9;
    double temperature = 1e9;
    bool verbose = false;
    bool outOfRange = false;
    bool noisy = false;
    sensorsim::Faults faults;
    std::vector<std::pair<long, long>> registerBytes;  // --register: head register byte := value
    std::vector<std::string> given;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        // Each option once, as democard takes them: a second one would
        // silently win over the first. The registers are a list.
        if (a != "--register" && std::find(given.begin(), given.end(), a) != given.end()) {
            std::fprintf(stderr, "sensorsim: option %s is given twice\n", a.c_str());
            Usage(stderr);
            return 2;
        }
        given.push_back(a);
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "sensorsim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        bool ok = true;
        std::string why;  // what is wrong, where more than the option can be said
        if (a == "--root") {
            root = next();
            ok = !root.empty();
            if (!ok)
                why = "needs a folder";
        }
        else if (a == "--kind")
            kindText = next();
        else if (a == "--profile") {
            // Empty, it would measure the standard wheel as if none were given.
            profileFile = next();
            ok = !profileFile.empty();
            if (!ok)
                why = "needs a points file";
        }
        else if (a == "--firmware")
            ok = ParseLong(next(), &firmware) && firmware >= 0 && firmware <= 255;
        else if (a == "--range")
            ok = ParseLong(next(), &range) && range > 0 && range <= 65535;
        else if (a == "--fault")
            ok = ParseFaults(next(), &faults, &why);
        else if (a == "--verbose")
            verbose = true;
        else if (a == "--name") {
            name = next();
            why = sensorfields::LengthProblem(name, sensorfields::kNameChars);
            ok = why.empty();
        } else if (a == "--pin") {
            pin = next();
            why = sensorfields::PinProblem(pin);
            ok = why.empty();
        } else if (a == "--address") {
            addressText = next();
            ok = qplat::ParseBtAddress(addressText, address);
            if (!ok)
                why = addressText + " is not 12 hexadecimal digits";
            else if (sensorfields::MeansNoSensor(address)) {
                ok = false;
                why = addressText + " means no sensor: nothing could link";
            }
        } else if (a == "--rssi")
            ok = ParseLong(next(), &rssi) && rssi >= -128 && rssi <= 127;
        else if (a == "--out-of-range")
            outOfRange = true;
        else if (a == "--noisy")
            noisy = true;
        else if (a == "--busy")
            ok = ParseLong(next(), &busy) && busy >= 0 && busy < 1000000;
        else if (a == "--value")
            ok = ParseLong(next(), &gaugeValue) && gaugeValue >= 0 && gaugeValue <= 0xFFFFFF;
        else if (a == "--thickness")
            ok = ParseDouble(next(), &thickness) && thickness > 0;
        else if (a == "--groove")
            ok = ParseDouble(next(), &groove) && groove >= 0;
        else if (a == "--voltage")
            ok = ParseDouble(next(), &voltage) && voltage >= 0;
        else if (a == "--tilt")
            ok = ParseDouble(next(), &tilt);
        else if (a == "--temperature")
            ok = ParseDouble(next(), &temperature);
        else if (a == "--register") {
            const std::string item = next();
            const size_t eq = item.find('=');
            long reg = -1, value = -1;
            ok = eq != std::string::npos && ParseLong(item.substr(0, eq).c_str(), &reg) &&
                 ParseLong(item.substr(eq + 1).c_str(), &value) && reg >= 0 && reg <= 255 && value >= 0 &&
                 value <= 255;
            if (ok)
                registerBytes.emplace_back(reg, value);
        } else if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else {
            ok = false;
            why = "is not an option";
        }
        if (!ok) {
            // The value as given, unless more can be said about it.
            if (why.empty())
                why = argv[i];
            std::fprintf(stderr, "sensorsim: bad argument %s %s\n", a.c_str(), why.c_str());
            Usage(stderr);
            return 2;
        }
    }
    // The root is a card's, laid out by democard or made by the program: a
    // missing one is a mistyped path more likely than a card to make, and
    // the program on the intended root would never find the simulator.
    if (!root.empty()) {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(root, ec);
        if (!std::filesystem::is_directory(status)) {
            std::fprintf(stderr, "sensorsim: --root %s %s\n", root.c_str(),
                         std::filesystem::exists(status) ? "is not a folder"
                                                         : "does not exist (lay out a card there with democard first)");
            return 2;
        }
    }

    sensorsim::DeviceConfig config;
    if (!sensorsim::ParseKind(kindText, &config.kind)) {
        std::fprintf(stderr, "sensorsim: unknown kind %s\n", kindText.c_str());
        return 2;
    }
    config.faults = faults;
    config.seed = static_cast<uint32_t>(getpid());
    const bool disc = config.kind == sensorsim::Kind::Disc || config.kind == sensorsim::Kind::Disc2;
    if (firmware >= 0)
        config.head.firmware = static_cast<uint8_t>(firmware);
    if (busy >= 0)
        config.head.busyPolls = static_cast<int>(busy);
    if (gaugeValue >= 0)
        config.gaugeRaw = static_cast<uint32_t>(gaugeValue);
    if (voltage >= 0)
        config.head.voltage = voltage;
    if (tilt < 1e8)
        config.head.tilt = tilt;
    if (temperature < 1e8)
        config.head.temperature = temperature;

    if (!sensorsim::UsesCommandSetB(config.kind)) {
        profilegen::HeadEncoding head = disc ? profilegen::DefaultDiscHead() : profilegen::DefaultWheelHead();
        if (range > 0)
            head.rangeMm = static_cast<uint16_t>(range);
        head.noisyHighNibbles = noisy;
        config.head.rangeMm = head.rangeMm;
        if (disc) {
            profilegen::DiscShape shape;
            if (thickness > 0)
                shape.thicknessUm = thickness;
            if (groove >= 0)
                shape.grooveDepthUm[0] = shape.grooveDepthUm[1] = groove;
            config.dump[0] = profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 1), head);
            config.dump[1] = profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 2), head);
        } else {
            std::vector<profilegen::Point> profile;
            if (!profileFile.empty()) {
                std::string error;
                if (!profilegen::ReadPointsFile(profileFile, &profile, &error)) {
                    std::fprintf(stderr, "sensorsim: %s: %s\n", profileFile.c_str(), error.c_str());
                    return 2;
                }
            } else {
                profile = profilegen::S1002Profile();
            }
            config.dump[0] = profilegen::EncodeDump(profile, head);
        }
        config.registers[0] = sensorsim::DefaultRegisters(disc, head.words.data(), static_cast<int>(head.words.size()));
        for (const auto& [reg, value] : registerBytes)
            config.registers[0][static_cast<size_t>(reg)] = static_cast<uint8_t>(value);
        config.registers[1] = config.registers[0];
    }

    // The last refusal before anything is opened: the address a running
    // simulator of the root holds (its block outlives no owner).
    const BT_ADDR listedAddress =
        addressText.empty() ? 0x00126F000000ULL | (static_cast<unsigned long long>(getpid()) & 0xFFFFFFULL) : address;
    if (!root.empty()) {
        qplat::SetDeviceRoot(root);
        const qplat::Neighbourhood hood = qplat::LoadNeighbourhood();
        const qplat::Neighbour* holder = qplat::FindNeighbour(hood, listedAddress);
        if (holder && holder->owner > 0) {
            SayTaken(*holder, !addressText.empty());
            return 2;
        }
    }

    sensorsim::Device device(config);
    sensorsim::PtyServer server(device);
    const bool setB = sensorsim::UsesCommandSetB(config.kind);
    if (verbose) {
        device.onRequest = [setB](const std::vector<uint8_t>& request, size_t replyBytes) {
            std::printf("<- %s -> %zu bytes\n", sensorsim::Device::Describe(request, setB).c_str(), replyBytes);
            std::fflush(stdout);
        };
        server.SetLog([](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        });
    }

    // Signals are taken synchronously by the main thread only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // The terminal's path is printed once the simulator is listed too, so a
    // run that fails prints none; stdout stays locked till then, so a
    // request logged meanwhile (--verbose) cannot come before it.
    flockfile(stdout);
    std::string error;
    if (!server.Start(&error)) {
        funlockfile(stdout);
        std::fprintf(stderr, "sensorsim: %s\n", error.c_str());
        return 1;
    }

    qplat::Neighbour self;
    bool listed = false;
    if (!root.empty()) {
        if (name.empty())
            name = DefaultName(config.kind);
        if (pin.empty())
            pin = PinOfName(name);
        self.address = listedAddress;
        self.name = name;
        self.pin = pin;
        self.serial = server.Path();
        self.rssi = static_cast<int>(rssi);
        self.inRange = !outOfRange;
        self.owner = static_cast<long>(getpid());
        qplat::Neighbour holder;
        if (!qplat::AddNeighbour(self, &holder)) {
            funlockfile(stdout);
            // Another simulator may have listed itself since the look above.
            if (holder.owner > 0) {
                SayTaken(holder, !addressText.empty());
                return 2;
            }
            std::fprintf(stderr, "sensorsim: cannot write the Bluetooth neighbourhood of %s\n", root.c_str());
            return 1;
        }
        listed = true;
    }
    std::printf("%s\n", server.Path().c_str());
    if (verbose && listed)
        std::printf("added \"%s\" %s pin %s to %s\n", name.c_str(), qplat::FormatBtAddress(self.address).c_str(),
                    pin.c_str(), qplat::NeighbourhoodPath().c_str());
    std::fflush(stdout);
    funlockfile(stdout);
    if (verbose) {
        std::printf("%s ready, firmware %u, range %u\n", sensorsim::KindName(config.kind),
                    static_cast<unsigned>(config.head.firmware), static_cast<unsigned>(config.head.rangeMm));
        std::fflush(stdout);
    }

    for (;;) {
        timespec wait{0, 200 * 1000 * 1000};
        int sig = sigtimedwait(&signals, nullptr, &wait);
        if (sig == SIGINT || sig == SIGTERM)
            break;
        if (server.Disconnected())
            break;
    }
    server.Stop();
    if (listed) {
        // Left listed, it is dropped at the next read once this process is
        // gone; still, whoever watches should know the file was not changed.
        if (!qplat::RemoveNeighbour(self.address, self.owner)) {
            std::fprintf(stderr, "sensorsim: could not remove itself from %s\n",
                         qplat::NeighbourhoodPath().c_str());
            return 1;
        }
        if (verbose)
            std::printf("removed itself from the neighbourhood\n");
    }
    return 0;
}
