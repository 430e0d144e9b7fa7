// The protocol side of the sensor simulator: a laser head (command set A), a
// disc device of one or two heads, or a gauge (command set B), fed with the
// bytes the program sends and producing the bytes a real device would answer.
// A laser head answers only the dump command of its firmware: 0x8D (the whole
// dump) up to firmware 53, 0x8E (1024-byte blocks) above.
// No I/O here: PtyServer carries the bytes over a pseudo-terminal, and the
// tests drive the same engine in-process.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace sensorsim {

enum class Kind { Wheel, Disc, Disc2, Gauge2, Gauge3 };

bool ParseKind(const std::string& text, Kind* kind);
const char* KindName(Kind kind);
// Set A for the laser heads, set B for the gauges.
bool UsesCommandSetB(Kind kind);

struct Faults {
    bool silent = false;        // answers nothing
    bool shortReplies = false;  // every reply loses its second half
    bool garbage = false;       // every reply byte replaced by a random byte
    bool highNibbles = false;   // the unused upper four bits of set A replies set
    long stallAfter = -1;       // a dump transfer stops after this many bytes of the dump, blocks counted in
    long disconnectAfter = -1;  // the link drops after this many requests
    std::vector<long> dropReplies;  // numbers (from 1) of requests whose reply is lost
};

// The measurable state of one head.
struct HeadConfig {
    uint8_t kind = 1;
    uint8_t firmware = 60;
    uint16_t firstValue = 0x1234;
    uint16_t secondValue = 0x0042;
    uint16_t rangeMm = 100;
    double voltage = 3.95;       // volts
    double tilt = 0.2;           // as the converted state reply reports it
    double temperature = 21.5;   // degrees Celsius
    uint8_t rawCharge = 80;      // raw state reply (firmware below 84)
    uint16_t rawTilt = 517;
    uint16_t rawVoltage = 3950;
    uint8_t rawFlags = 8;
    uint16_t distanceRaw = 8192;  // command 0x86 with register 7 = 4 and the laser on
    uint16_t temperatureRaw = 2150;  // command 0x86 with register 7 = 3
    int busyPolls = 2;            // status polls answered busy after a start
    int stateWords[3] = {-1, -1, -1};  // converted state words r1 r2 r3 as sent (-1: from the values above)
};

struct DeviceConfig {
    Kind kind = Kind::Wheel;
    HeadConfig head;
    std::vector<uint8_t> dump[2];  // the dump of head 1 and head 2
    std::array<uint8_t, 256> registers[2]{};
    uint32_t gaugeRaw = 12345;      // the gauge's 24-bit reading
    int zeroEcho = -1;              // the byte a gauge answers to 0x98 (-1: the echo)
    Faults faults;
    uint32_t seed = 7;
};

// The registers of a head from the defaults of the head register tables
// (the disc table for disc heads), with the encoder's settings words written
// over them so that a dump read back decodes as it was encoded.
std::array<uint8_t, 256> DefaultRegisters(bool discHead, const int16_t* words, int wordCount);

// Converted state reply values (what a head of firmware 84 and above sends).
uint16_t VoltageWord(double volts);
uint16_t TiltWord(double tilt);
uint16_t TemperatureWord(double celsius);

class Device {
public:
    explicit Device(DeviceConfig config);

    // Feeds received bytes. Reply bytes are appended to `out`. When a
    // transfer stalls, `stalled` is set and the rest of that reply is never
    // sent; when the link is to drop, `disconnect` is set.
    struct Output {
        std::vector<uint8_t> bytes;
        bool stalled = false;
        bool disconnect = false;
    };
    void Receive(const uint8_t* data, size_t length, Output* out);

    // Every complete request received, in order (for tests and --verbose).
    std::vector<std::vector<uint8_t>> Requests() const;
    // Every byte received, as it came off the line (bytes that began no
    // request included); cleared with the requests.
    std::vector<uint8_t> Received() const;
    void ClearRequests();
    // Requests received over the device's whole life (Faults::dropReplies counts these).
    long RequestCount() const;
    uint8_t Register(int head, uint8_t number) const;
    void SetRegister(int head, uint8_t number, uint8_t value);
    void SetFaults(const Faults& faults);
    void SetHead(const HeadConfig& head);
    void SetDump(int head, std::vector<uint8_t> dump);
    void SetGaugeRaw(uint32_t raw);
    // Describes a request in words (for --verbose).
    static std::string Describe(const std::vector<uint8_t>& request, bool commandSetB);

    // Called for every complete request (PtyServer's --verbose).
    std::function<void(const std::vector<uint8_t>&, size_t replyBytes)> onRequest;

private:
    void HandleSetA(const std::vector<uint8_t>& request, Output* out);
    void HandleSetB(uint8_t command, Output* out);
    // `dumpAt`: where in the dump a transfer's first byte lies.
    void Reply(std::vector<uint8_t> bytes, bool nibbleCoded, bool transfer, Output* out, size_t dumpAt = 0);
    static size_t DataBytes(uint8_t code);

    mutable std::mutex lock_;
    DeviceConfig config_;
    std::vector<uint8_t> pending_;
    std::vector<std::vector<uint8_t>> requests_;
    std::vector<uint8_t> received_;
    int busyLeft_[2] = {0, 0};
    long requestCount_ = 0;
    std::mt19937 rng_;
};

}  // namespace sensorsim
