// Command set A over the sensor's serial port.
#include "sensor/SensorLink.h"

#include <cmath>
#include <cstring>

#include "platform/WinComm.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/PortIo.h"

using sensorio::Nibble;

namespace {

constexpr BYTE CMD_IDENTIFY = 0x81;
constexpr BYTE CMD_READ_REGISTER = 0x82;
constexpr BYTE CMD_WRITE_REGISTER = 0x83;
constexpr BYTE CMD_ECHO = 0x84;
constexpr BYTE CMD_DISTANCE = 0x86;
constexpr BYTE CMD_STATE = 0x87;
constexpr BYTE CMD_STATUS = 0x8B;
constexpr BYTE CMD_START = 0x8C;
constexpr BYTE CMD_DUMP = 0x8D;
constexpr BYTE CMD_BLOCK = 0x8E;

constexpr BYTE REG_LASER = 0;
constexpr BYTE REG_DISTANCE_SOURCE = 7;
constexpr BYTE DISTANCE_SOURCE_TEMPERATURE = 3;
constexpr BYTE DISTANCE_SOURCE_MEASURED = 4;

bool Invalid(HANDLE port)
{
    return port == INVALID_HANDLE_VALUE;
}

unsigned N(const BYTE* reply, int k)
{
    return reply[k] & 0x0Fu;
}

unsigned Byte8(const BYTE* reply, int k)
{
    return N(reply, k) | (N(reply, k + 1) << 4);
}

unsigned Word16(const BYTE* reply, int k)
{
    return N(reply, k) | (N(reply, k + 1) << 4) | (N(reply, k + 2) << 8) | (N(reply, k + 3) << 12);
}

// One request and one reply of fixed length, after a purge.
bool Exchange(HANDLE port, const BYTE* request, DWORD requestLength, DWORD waitMs, BYTE* reply, DWORD replyLength)
{
    sensorio::Purge(port);
    if (!sensorio::Send(port, request, requestLength))
        return false;
    if (waitMs)
        Sleep(waitMs);
    return sensorio::Receive(port, reply, replyLength);
}

// The dump transfers read one byte per call, as the head's driver expects.
int ReadBytewise(HANDLE port, BYTE* buffer, DWORD length)
{
    for (DWORD i = 0; i < length; ++i) {
        DWORD read = 0;
        if (!ReadFile(port, buffer + i, 1, &read, nullptr) || read != 1)
            return 0;
    }
    return 1;
}

}  // namespace

int CSensorLink::OpenPort(int portIndex, HANDLE* port)
{
    if (!port)
        return 0;
    WCHAR name[16];
    swprintf(name, 16, u"COM%d:", portIndex);
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr)
        return 0;

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(h, &dcb)) {
        CloseHandle(h);
        return 0;
    }
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    if (!SetCommState(h, &dcb)) {
        CloseHandle(h);
        return 0;
    }
    EscapeCommFunction(h, SETRTS);
    EscapeCommFunction(h, CLRDTR);
    EscapeCommFunction(h, CLRBREAK);

    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 200;
    timeouts.ReadTotalTimeoutMultiplier = 200;
    timeouts.ReadTotalTimeoutConstant = 500;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 200;
    if (!SetCommTimeouts(h, &timeouts)) {
        CloseHandle(h);
        return 0;
    }
    SetupComm(h, 12288, 12288);
    if (!PurgeComm(h, PURGE_TXCLEAR | PURGE_RXCLEAR) || !SetCommMask(h, EV_RXCHAR | EV_TXEMPTY)) {
        CloseHandle(h);
        return 0;
    }
    *port = h;
    return 1;
}

int CSensorLink::ClosePort(HANDLE port)
{
    if (port != INVALID_HANDLE_VALUE && port != nullptr)
        CloseHandle(port);
    return 1;
}

void CSensorLink::DecodeInfo(const BYTE reply[16], SensorInfo* info)
{
    info->kind = static_cast<BYTE>(Byte8(reply, 0));
    info->firmwareVersion = static_cast<BYTE>(Byte8(reply, 2));
    info->firstValue = static_cast<WORD>(Word16(reply, 4));
    info->secondValue = static_cast<WORD>(Word16(reply, 8));
    info->measuringRange = static_cast<WORD>(Word16(reply, 12));
}

bool CSensorLink::PlausibleInfo(const SensorInfo& info)
{
    constexpr BYTE kLastFirmware = 99;
    constexpr WORD kLargestRangeMm = 500;
    return info.firmwareVersion >= 1 && info.firmwareVersion <= kLastFirmware && info.measuringRange >= 1 &&
           info.measuringRange <= kLargestRangeMm;
}

int CSensorLink::Identify(HANDLE port, BYTE address, SensorInfo* info)
{
    if (!info)
        return 0;
    const BYTE request[2] = {address, CMD_IDENTIFY};
    BYTE reply[16];
    if (!Exchange(port, request, 2, 100, reply, 16))
        return 0;
    DecodeInfo(reply, info);
    return 1;
}

int CSensorLink::ReadRegisters(HANDLE port, BYTE address, BYTE first, int count, BYTE* values)
{
    if (Invalid(port) || !values || count <= 0 || count > 256)
        return 0;
    BYTE collected[256];
    sensorio::Purge(port);
    for (int i = 0; i < count; ++i) {
        const unsigned reg = (first + static_cast<unsigned>(i)) & 0xFFu;
        const BYTE request[4] = {address, CMD_READ_REGISTER, Nibble(reg), Nibble(reg >> 4)};
        BYTE reply[2];
        if (!sensorio::Send(port, request, 4) || !sensorio::Receive(port, reply, 2))
            return 0;
        collected[i] = static_cast<BYTE>(Byte8(reply, 0));
    }
    std::memcpy(values, collected, static_cast<size_t>(count));
    return 1;
}

int CSensorLink::ReadRegisterWord(HANDLE port, BYTE address, BYTE first, int width, SHORT* word)
{
    if (Invalid(port) || !word || width < 0 || width > 256)
        return 0;
    if (width == 0)
        return 1;  // a setting the head does not keep
    BYTE bytes[256];
    if (!ReadRegisters(port, address, first, width, bytes))
        return 0;
    WORD w = static_cast<WORD>(*word);
    w = static_cast<WORD>((w & 0xFF00u) | bytes[0]);
    if (width >= 2)
        w = static_cast<WORD>((w & 0x00FFu) | (static_cast<WORD>(bytes[1]) << 8));
    *word = static_cast<SHORT>(w);
    return 1;
}

int CSensorLink::WriteRegisters(HANDLE port, BYTE address, BYTE first, int count, const BYTE* values)
{
    if (Invalid(port) || !values || count <= 0)
        return 0;
    sensorio::Purge(port);
    for (int i = count - 1; i >= 0; --i) {
        const unsigned reg = (first + static_cast<unsigned>(i)) & 0xFFu;
        const unsigned v = values[i];
        const BYTE request[6] = {address, CMD_WRITE_REGISTER, Nibble(reg), Nibble(reg >> 4), Nibble(v), Nibble(v >> 4)};
        if (!sensorio::Send(port, request, 6))
            return 0;
    }
    Sleep(10);
    return 1;
}

int CSensorLink::CheckLink(HANDLE port, BYTE address, BYTE testByte)
{
    if (Invalid(port))
        return 0;
    const BYTE request[4] = {address, CMD_ECHO, Nibble(testByte), Nibble(testByte >> 4u)};
    BYTE reply[2];
    if (!Exchange(port, request, 4, 500, reply, 2))
        return 0;
    return Byte8(reply, 0) == testByte ? 1 : 0;
}

int CSensorLink::CheckLinkAA(HANDLE port, BYTE address)
{
    return CheckLink(port, address, 0xAA);
}

int CSensorLink::CheckLink96(HANDLE port, BYTE address)
{
    return CheckLink(port, address, 0x96);
}

int CSensorLink::CheckLink69(HANDLE port, BYTE address)
{
    return CheckLink(port, address, 0x69);
}

DWORD CSensorLink::DecodeWord(const BYTE reply[4])
{
    return Word16(reply, 0);
}

DWORD CSensorLink::DistanceFromRaw(DWORD raw, WORD measuringRange)
{
    // In 64 bits: raw and range are 16-bit each, so the product with 1000
    // does not fit 32 bits for large ranges.
    const unsigned long long v = static_cast<unsigned long long>(raw) * measuringRange * 1000ULL / 16384ULL;
    return static_cast<DWORD>(v);
}

int CSensorLink::ReadDistance(HANDLE port, BYTE address, WORD measuringRange, DWORD* distance)
{
    if (Invalid(port) || !distance)
        return 0;
    const BYTE request[2] = {address, CMD_DISTANCE};
    BYTE reply[4];
    if (!Exchange(port, request, 2, 0, reply, 4))
        return 0;
    *distance = DistanceFromRaw(DecodeWord(reply), measuringRange);
    return 1;
}

int CSensorLink::ReadTemperatureOld(HANDLE port, BYTE address, DWORD* value)
{
    if (Invalid(port) || !value)
        return 0;
    BYTE source = DISTANCE_SOURCE_TEMPERATURE;
    if (!WriteRegisters(port, address, REG_DISTANCE_SOURCE, 1, &source))
        return 0;
    const BYTE request[2] = {address, CMD_DISTANCE};
    BYTE reply[4];
    if (!Exchange(port, request, 2, 0, reply, 4))
        return 0;
    const DWORD v = DecodeWord(reply);
    source = DISTANCE_SOURCE_MEASURED;
    WriteRegisters(port, address, REG_DISTANCE_SOURCE, 1, &source);
    *value = v;
    return 1;
}

void CSensorLink::DecodeState(const BYTE reply[12], SensorState* state, BOOL converted)
{
    unsigned b[6];
    for (int k = 0; k < 6; ++k)
        b[k] = Byte8(reply, 2 * k);
    if (converted) {
        const unsigned r1 = b[1] | (b[0] << 8);
        const unsigned r2 = b[3] | (b[2] << 8);
        const unsigned r3 = b[5] | (b[4] << 8);
        state->voltage = static_cast<float>(23.6 * r1 / 65535.0);
        state->tilt = 60.0f * static_cast<float>(static_cast<int>(r2) - 32767) / 1638350.0f;
        const float kelvin = 510.0f * static_cast<float>(r3) / 65535.0f;
        state->temperature = static_cast<float>(static_cast<double>(kelvin) - 273.15);
        if (std::fabs(static_cast<double>(state->tilt)) < 0.01)
            state->tiltSign = 2;
        else
            state->tiltSign = state->tilt > 0.0f ? 1 : 0;
        const double volts = state->voltage;
        if (volts <= 3.5) {
            state->charge = 0;
        } else {
            const double percent = (volts - 3.5) / (4.1 - 3.5) * 100.0;
            state->charge = percent >= 100.0 ? 100 : static_cast<BYTE>(static_cast<int>(percent));
        }
    } else {
        state->charge = static_cast<BYTE>(b[0] > 100 ? 100 : b[0]);
        state->tilt = static_cast<float>(Word16(reply, 2));
        state->voltage = static_cast<float>(Word16(reply, 6));
        state->flags = static_cast<BYTE>(b[5]);
        state->tiltSign = static_cast<BYTE>(state->flags & 8);
    }
}

int CSensorLink::ReadState(HANDLE port, BYTE address, SensorState* state, BOOL converted)
{
    if (Invalid(port) || !state)
        return 0;
    sensorio::Purge(port);
    const BYTE request[2] = {address, CMD_STATE};
    BYTE reply[12];
    if (!sensorio::Send(port, request, 2)) {
        state->charge = 255;
        state->tiltSign = 0;
        return 0;
    }
    Sleep(100);
    if (!sensorio::Receive(port, reply, 12)) {
        state->charge = 255;
        state->tiltSign = 0;
        return 0;
    }
    DecodeState(reply, state, converted);
    return 1;
}

int CSensorLink::ReadStatus(HANDLE port, BYTE address, BYTE* status)
{
    if (Invalid(port) || !status)
        return 0;
    const BYTE request[2] = {address, CMD_STATUS};
    BYTE reply[6];
    if (!Exchange(port, request, 2, 0, reply, 6))
        return 0;
    *status = static_cast<BYTE>(Byte8(reply, 0));
    return 1;
}

int CSensorLink::SendStart(HANDLE port, BYTE address, BYTE argument)
{
    sensorio::Purge(port);
    const BYTE request[4] = {address, CMD_START, Nibble(argument), Nibble(argument >> 4u)};
    return sensorio::Send(port, request, 4) ? 1 : 0;
}

int CSensorLink::ReadDump(HANDLE port, BYTE address, BYTE* buffer)
{
    if (Invalid(port) || !buffer)
        return 0;
    sensorio::Purge(port);
    const BYTE request[2] = {address, CMD_DUMP};
    if (!sensorio::Send(port, request, 2))
        return 0;
    return ReadBytewise(port, buffer, SENSOR_DUMP_BYTES);
}

int CSensorLink::ReadBlock(HANDLE port, BYTE address, BYTE* buffer, int block)
{
    if (Invalid(port) || !buffer)
        return 0;
    sensorio::Purge(port);
    const unsigned b = static_cast<unsigned>(block) & 0xFFu;
    const BYTE request[4] = {address, CMD_BLOCK, Nibble(b), Nibble(b >> 4)};
    if (!sensorio::Send(port, request, 4))
        return 0;
    return ReadBytewise(port, buffer, SENSOR_BLOCK_BYTES);
}

int CSensorLink::FlushInput(HANDLE port)
{
    if (Invalid(port))
        return 0;
    sensorio::Purge(port);
    sensorio::DrainInput(port);
    return 1;
}

int CSensorLink::SwitchOn(HANDLE port, BYTE address)
{
    BYTE on = 1;
    return WriteRegisters(port, address, REG_LASER, 1, &on);
}

int CSensorLink::SwitchOff(HANDLE port, BYTE address)
{
    BYTE off = 0;
    return WriteRegisters(port, address, REG_LASER, 1, &off);
}

bool CSensorLink::IsSwitchedOn(HANDLE port, BYTE address)
{
    BYTE value = 0;
    return ReadRegisters(port, address, REG_LASER, 1, &value) && value != 0;
}

int CSensorLink::StartAndWait(HANDLE port, BYTE address, int n)
{
    if (Invalid(port))
        return 0;
    FlushInput(port);
    if (!SendStart(port, address, 1))
        return 0;
    Sleep(500);
    int failures = 0;
    const long long polls = 6LL * (n > 0 ? n : 0);
    for (long long i = 0; i < polls; ++i) {
        Sleep(200);
        BYTE status = 0;
        if (ReadStatus(port, address, &status)) {
            failures = 0;
            if (!(status & 1))
                return 1;
        } else if (++failures >= 2) {
            return 0;
        }
    }
    return 0;
}

int CSensorLink::ReadDistanceAveraged(HANDLE port, BYTE address, WORD measuringRange, int n, DWORD* distance)
{
    if (!distance)
        return 0;
    if (!IsSwitchedOn(port, address))
        SwitchOn(port, address);
    Sleep(500);
    unsigned long long sum = 0;
    DWORD count = 0;
    for (int i = 0; i < n; ++i) {
        DWORD d = 0;
        if (!ReadDistance(port, address, measuringRange, &d)) {
            SwitchOff(port, address);
            return 0;
        }
        if (d == 0)
            continue;
        sum += d;
        ++count;
    }
    SwitchOff(port, address);
    *distance = count ? static_cast<DWORD>(sum / count) : 0;
    return 1;
}
