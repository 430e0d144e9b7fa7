// The simulated devices' answers to both command sets.
#include "tools/sensorsim/SimDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "measurement/HeadRegisters.h"

namespace sensorsim {

namespace {

constexpr uint8_t REG_LASER = 0;
constexpr uint8_t REG_DISTANCE_SOURCE = 7;
constexpr uint8_t SOURCE_TEMPERATURE = 3;

void PutNibbles(std::vector<uint8_t>& out, unsigned value, int nibbles)
{
    for (int i = 0; i < nibbles; ++i)
        out.push_back(static_cast<uint8_t>((value >> (4 * i)) & 0x0F));
}

unsigned DataValue(const std::vector<uint8_t>& request, size_t at)
{
    return (request[at] & 0x0Fu) | ((request[at + 1] & 0x0Fu) << 4);
}

bool WholeDumpFirmware(uint8_t firmware)
{
    return firmware <= 53;
}

uint16_t Clamp16(double v)
{
    if (v < 0)
        return 0;
    if (v > 65535)
        return 65535;
    return static_cast<uint16_t>(std::lround(v));
}

}  // namespace

bool ParseKind(const std::string& text, Kind* kind)
{
    static const struct {
        const char* name;
        Kind kind;
    } kinds[] = {{"wheel", Kind::Wheel}, {"disc", Kind::Disc}, {"disc2", Kind::Disc2}, {"gauge2", Kind::Gauge2},
                 {"gauge3", Kind::Gauge3}};
    for (const auto& k : kinds) {
        if (text == k.name) {
            *kind = k.kind;
            return true;
        }
    }
    return false;
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Wheel:
        return "wheel";
    case Kind::Disc:
        return "disc";
    case Kind::Disc2:
        return "disc2";
    case Kind::Gauge2:
        return "gauge2";
    case Kind::Gauge3:
        return "gauge3";
    }
    return "?";
}

bool UsesCommandSetB(Kind kind)
{
    return kind == Kind::Gauge2 || kind == Kind::Gauge3;
}

std::array<uint8_t, 256> DefaultRegisters(bool discHead, const int16_t* words, int wordCount)
{
    std::array<uint8_t, 256> regs{};
    const HeadRegister* table = discHead ? g_qodRegisterTable : g_headRegisterTable;
    const int count = discHead ? kQodRegisterCount : kHeadRegisterCount;
    for (int i = 0; i < count; ++i) {
        const HeadRegister& e = table[i];
        for (int j = 0; j < e.width; ++j) {
            const unsigned v = j < 4 ? (static_cast<uint32_t>(e.defaultValue) >> (8 * j)) & 0xFFu : 0u;
            regs[static_cast<size_t>((e.reg + j) & 0xFF)] = static_cast<uint8_t>(v);
        }
    }
    if (words) {
        for (int i = 0; i < count && i < wordCount; ++i) {
            const HeadRegister& e = table[i];
            if (e.width < 1 || e.width > 2)
                continue;
            const uint16_t w = static_cast<uint16_t>(words[i]);
            regs[static_cast<size_t>(e.reg & 0xFF)] = static_cast<uint8_t>(w & 0xFF);
            if (e.width == 2)
                regs[static_cast<size_t>((e.reg + 1) & 0xFF)] = static_cast<uint8_t>(w >> 8);
        }
    }
    regs[REG_DISTANCE_SOURCE] = 4;
    regs[REG_LASER] = 0;
    return regs;
}

uint16_t VoltageWord(double volts)
{
    return Clamp16(volts * 65535.0 / 23.6);
}

uint16_t TiltWord(double tilt)
{
    return Clamp16(32767.0 + tilt * 1638350.0 / 60.0);
}

uint16_t TemperatureWord(double celsius)
{
    return Clamp16((celsius + 273.15) * 65535.0 / 510.0);
}

Device::Device(DeviceConfig config) : config_(std::move(config)), rng_(config_.seed) {}

size_t Device::DataBytes(uint8_t code)
{
    switch (code) {
    case 0x82:
    case 0x84:
    case 0x8C:
    case 0x8E:
        return 2;
    case 0x83:
        return 4;
    default:
        return 0;
    }
}

std::vector<std::vector<uint8_t>> Device::Requests() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

long Device::RequestCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return requestCount_;
}

void Device::ClearRequests()
{
    std::lock_guard<std::mutex> guard(lock_);
    requests_.clear();
    received_.clear();
}

std::vector<uint8_t> Device::Received() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

uint8_t Device::Register(int head, uint8_t number) const
{
    std::lock_guard<std::mutex> guard(lock_);
    return config_.registers[head & 1][number];
}

void Device::SetRegister(int head, uint8_t number, uint8_t value)
{
    std::lock_guard<std::mutex> guard(lock_);
    config_.registers[head & 1][number] = value;
}

void Device::SetFaults(const Faults& faults)
{
    std::lock_guard<std::mutex> guard(lock_);
    config_.faults = faults;
}

void Device::SetHead(const HeadConfig& head)
{
    std::lock_guard<std::mutex> guard(lock_);
    config_.head = head;
}

void Device::SetDump(int head, std::vector<uint8_t> dump)
{
    std::lock_guard<std::mutex> guard(lock_);
    config_.dump[head & 1] = std::move(dump);
}

void Device::SetGaugeRaw(uint32_t raw)
{
    std::lock_guard<std::mutex> guard(lock_);
    config_.gaugeRaw = raw;
}

void Device::Reply(std::vector<uint8_t> bytes, bool nibbleCoded, bool transfer, Output* out, size_t dumpAt)
{
    const Faults& f = config_.faults;
    if (f.silent)
        return;
    if (std::find(f.dropReplies.begin(), f.dropReplies.end(), requestCount_) != f.dropReplies.end())
        return;
    if (f.garbage) {
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(rng_());
    } else if (f.highNibbles && nibbleCoded) {
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>((b & 0x0F) | ((rng_() % 15 + 1) << 4));
    }
    if (f.shortReplies && !bytes.empty())
        bytes.resize(bytes.size() / 2);
    if (transfer && f.stallAfter >= 0) {
        // The stall lies at a place in the dump: a block that begins at or
        // past it stops before its first byte.
        const size_t stallAt = static_cast<size_t>(f.stallAfter);
        const size_t keep = stallAt > dumpAt ? stallAt - dumpAt : 0;
        if (bytes.size() > keep) {
            bytes.resize(keep);
            out->stalled = true;
        }
    }
    out->bytes.insert(out->bytes.end(), bytes.begin(), bytes.end());
}

void Device::Receive(const uint8_t* data, size_t length, Output* out)
{
    std::lock_guard<std::mutex> guard(lock_);
    received_.insert(received_.end(), data, data + length);
    pending_.insert(pending_.end(), data, data + length);
    const bool setB = UsesCommandSetB(config_.kind);
    while (!pending_.empty() && !out->disconnect) {
        std::vector<uint8_t> request;
        if (setB) {
            request.push_back(pending_[0]);
            pending_.erase(pending_.begin());
        } else {
            const uint8_t address = pending_[0];
            if (address != 1 && address != 2) {
                pending_.erase(pending_.begin());  // not the start of a request
                continue;
            }
            if (pending_.size() < 2)
                break;
            const uint8_t code = pending_[1];
            if (code < 0x81 || code > 0x8E) {
                pending_.erase(pending_.begin());
                continue;
            }
            const size_t need = 2 + DataBytes(code);
            if (pending_.size() < need)
                break;
            request.assign(pending_.begin(), pending_.begin() + static_cast<long>(need));
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(need));
        }
        requests_.push_back(request);
        ++requestCount_;
        const size_t before = out->bytes.size();
        if (setB)
            HandleSetB(request[0], out);
        else
            HandleSetA(request, out);
        if (onRequest)
            onRequest(request, out->bytes.size() - before);
        if (config_.faults.disconnectAfter >= 0 && requestCount_ >= config_.faults.disconnectAfter)
            out->disconnect = true;
        if (out->stalled)
            pending_.clear();
    }
}

void Device::HandleSetA(const std::vector<uint8_t>& request, Output* out)
{
    const int head = request[0] - 1;
    const bool twoHeads = config_.kind == Kind::Disc2;
    if (head == 1 && !twoHeads)
        return;  // no second head: nobody answers
    const HeadConfig& h = config_.head;
    auto& regs = config_.registers[head];
    std::vector<uint8_t> reply;
    switch (request[1]) {
    case 0x81:
        PutNibbles(reply, h.kind, 2);
        PutNibbles(reply, h.firmware, 2);
        PutNibbles(reply, h.firstValue, 4);
        PutNibbles(reply, h.secondValue, 4);
        PutNibbles(reply, h.rangeMm, 4);
        Reply(reply, true, false, out);
        break;
    case 0x82:
        PutNibbles(reply, regs[DataValue(request, 2)], 2);
        Reply(reply, true, false, out);
        break;
    case 0x83:
        regs[DataValue(request, 2)] = static_cast<uint8_t>(DataValue(request, 4));
        break;
    case 0x84:
        PutNibbles(reply, DataValue(request, 2), 2);
        Reply(reply, true, false, out);
        break;
    case 0x86: {
        unsigned raw;
        if (regs[REG_DISTANCE_SOURCE] == SOURCE_TEMPERATURE)
            raw = h.temperatureRaw;
        else
            raw = regs[REG_LASER] ? h.distanceRaw : 0;
        PutNibbles(reply, raw, 4);
        Reply(reply, true, false, out);
        break;
    }
    case 0x87:
        if (h.firmware >= 84) {
            uint16_t words[3] = {VoltageWord(h.voltage), TiltWord(h.tilt), TemperatureWord(h.temperature)};
            for (int k = 0; k < 3; ++k) {
                if (h.stateWords[k] >= 0)
                    words[k] = static_cast<uint16_t>(h.stateWords[k]);
            }
            for (uint16_t w : words) {
                PutNibbles(reply, static_cast<unsigned>(w >> 8), 2);
                PutNibbles(reply, static_cast<unsigned>(w & 0xFF), 2);
            }
        } else {
            PutNibbles(reply, h.rawCharge, 2);
            PutNibbles(reply, h.rawTilt, 4);
            PutNibbles(reply, h.rawVoltage, 4);
            PutNibbles(reply, h.rawFlags, 2);
        }
        Reply(reply, true, false, out);
        break;
    case 0x8B: {
        unsigned status = 0;
        if (busyLeft_[head] > 0) {
            status = 1;
            --busyLeft_[head];
        }
        PutNibbles(reply, status, 2);
        PutNibbles(reply, 0, 4);
        Reply(reply, true, false, out);
        break;
    }
    case 0x8C:
        busyLeft_[head] = h.busyPolls;
        break;
    case 0x8D: {
        // A head has one dump command: the whole dump up to firmware 53,
        // blocks above. The other one goes unanswered.
        if (!WholeDumpFirmware(h.firmware))
            break;
        std::vector<uint8_t> dump = config_.dump[head];
        dump.resize(12288, 0);
        Reply(dump, true, true, out);
        break;
    }
    case 0x8E: {
        if (WholeDumpFirmware(h.firmware))
            break;
        const size_t block = DataValue(request, 2);
        const std::vector<uint8_t>& dump = config_.dump[head];
        std::vector<uint8_t> bytes(1024, 0);
        for (size_t i = 0; i < 1024; ++i) {
            const size_t at = block * 1024 + i;
            if (at < dump.size())
                bytes[i] = dump[at];
        }
        Reply(bytes, true, true, out, block * 1024);
        break;
    }
    default:
        break;  // codes the heads do not know get no answer
    }
}

void Device::HandleSetB(uint8_t command, Output* out)
{
    switch (command) {
    case 0x97:
        Reply({command}, false, false, out);
        break;
    case 0x98:
        Reply({config_.zeroEcho >= 0 ? static_cast<uint8_t>(config_.zeroEcho) : command}, false, false, out);
        break;
    case 0x96: {
        const uint32_t v = config_.gaugeRaw & 0xFFFFFFu;
        Reply({static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF),
               static_cast<uint8_t>((v >> 16) & 0xFF), 0x12, 0x34},
              false, false, out);
        break;
    }
    default:
        break;
    }
}

std::string Device::Describe(const std::vector<uint8_t>& request, bool commandSetB)
{
    char buf[96];
    if (request.empty())
        return "empty";
    if (commandSetB) {
        const char* what = request[0] == 0x96 ? "value" : request[0] == 0x97 ? "trigger" : request[0] == 0x98 ? "zero" : "?";
        std::snprintf(buf, sizeof buf, "0x%02X %s", request[0], what);
        return buf;
    }
    const int head = request[0];
    const uint8_t code = request.size() > 1 ? request[1] : 0;
    switch (code) {
    case 0x81:
        std::snprintf(buf, sizeof buf, "head %d: identify", head);
        break;
    case 0x82:
        std::snprintf(buf, sizeof buf, "head %d: read register 0x%02X", head, DataValue(request, 2));
        break;
    case 0x83:
        std::snprintf(buf, sizeof buf, "head %d: write register 0x%02X := 0x%02X", head, DataValue(request, 2),
                      DataValue(request, 4));
        break;
    case 0x84:
        std::snprintf(buf, sizeof buf, "head %d: echo 0x%02X", head, DataValue(request, 2));
        break;
    case 0x86:
        std::snprintf(buf, sizeof buf, "head %d: distance", head);
        break;
    case 0x87:
        std::snprintf(buf, sizeof buf, "head %d: state", head);
        break;
    case 0x8B:
        std::snprintf(buf, sizeof buf, "head %d: status", head);
        break;
    case 0x8C:
        std::snprintf(buf, sizeof buf, "head %d: start %u", head, DataValue(request, 2));
        break;
    case 0x8D:
        std::snprintf(buf, sizeof buf, "head %d: dump", head);
        break;
    case 0x8E:
        std::snprintf(buf, sizeof buf, "head %d: block %u", head, DataValue(request, 2));
        break;
    default:
        std::snprintf(buf, sizeof buf, "head %d: code 0x%02X", head, code);
        break;
    }
    return buf;
}

}  // namespace sensorsim
