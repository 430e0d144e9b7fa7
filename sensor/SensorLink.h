// Command set A: the protocol of the laser profile heads (device type 1 and the
// one or two heads of device type 4) over an open COM handle. Every request is
// the head address, a command code and data nibbles; every reply carries one
// nibble in the low four bits of each byte (the upper bits are noise and are
// masked off). A missing or short answer is a failure (0), never an error of
// its own: the port's time-outs end it.
#pragma once

#include "platform/WinDef.h"

// The head's identification (command 0x81).
struct SensorInfo {
    BYTE kind;
    BYTE firmwareVersion;  // 84 and above: converted state reply; above 53: dump in 1024-byte blocks
    WORD firstValue;
    WORD secondValue;
    WORD measuringRange;  // factor of the distance conversion
};
static_assert(sizeof(SensorInfo) == 8, "identification record");

// The head's battery, tilt and temperature (command 0x87).
struct SensorState {
    BYTE charge;  // percent 0 to 100; 255 no answer
    FLOAT tilt;
    FLOAT voltage;
    FLOAT temperature;  // converted form only
    BYTE tiltSign;      // converted: 0 not above zero, 1 above, 2 level; raw: flags and 8
    BYTE flags;         // raw form only
};
static_assert(sizeof(SensorState) == 20, "state record");

// Reply lengths and sizes of the transfers.
constexpr DWORD SENSOR_DUMP_BYTES = 12288;
constexpr DWORD SENSOR_BLOCK_BYTES = 1024;
// Firmware versions that change the protocol.
constexpr BYTE SENSOR_FW_CONVERTED_STATE = 84;  // this and above
constexpr BYTE SENSOR_FW_LAST_WHOLE_DUMP = 53;  // this and below

class CSensorLink {
public:
    // Opens "COMn:" (n 0 to 9) and configures it for the sensors (115200 8N1,
    // no flow control, the sensor time-outs). 1 and the handle, else 0 with
    // nothing left open.
    int OpenPort(int portIndex, HANDLE* port);
    // Closes a handle other than -1 or 0. 1.
    int ClosePort(HANDLE port);

    int Identify(HANDLE port, BYTE address, SensorInfo* info);
    // `count` registers from `first` (numbers wrap modulo 256) into `values`,
    // delivered only when all were read. At most 256 registers per call.
    int ReadRegisters(HANDLE port, BYTE address, BYTE first, int count, BYTE* values);
    // The registers of one setting into its 16-bit word: the first register
    // gives the low byte, the second the high byte; a setting of width 1
    // changes only the low byte, and registers past the second are read but
    // never stored (a word is two bytes, whatever the width).
    int ReadRegisterWord(HANDLE port, BYTE address, BYTE first, int width, SHORT* word);
    // Writes the registers from the last down to the first, then waits 10 ms.
    int WriteRegisters(HANDLE port, BYTE address, BYTE first, int count, const BYTE* values);
    int CheckLinkAA(HANDLE port, BYTE address);
    int CheckLink96(HANDLE port, BYTE address);
    int CheckLink69(HANDLE port, BYTE address);
    // raw * range * 1000 / 16384: micrometres for a range in millimetres.
    int ReadDistance(HANDLE port, BYTE address, WORD measuringRange, DWORD* distance);
    int ReadTemperatureOld(HANDLE port, BYTE address, DWORD* value);
    int ReadState(HANDLE port, BYTE address, SensorState* state, BOOL converted);
    int ReadStatus(HANDLE port, BYTE address, BYTE* status);
    int SendStart(HANDLE port, BYTE address, BYTE argument);
    // 12288 bytes, one byte per read; 0 at the first missing byte (the buffer
    // then holds what arrived).
    int ReadDump(HANDLE port, BYTE address, BYTE* buffer);
    // One 1024-byte block of the dump (block number modulo 256).
    int ReadBlock(HANDLE port, BYTE address, BYTE* buffer, int block);
    // Discards what the head still sends (bounded). 1; 0 for a handle of -1.
    int FlushInput(HANDLE port);
    int SwitchOn(HANDLE port, BYTE address);
    int SwitchOff(HANDLE port, BYTE address);
    bool IsSwitchedOn(HANDLE port, BYTE address);
    // Starts a measurement and polls the busy bit: at most 6 * n polls, two
    // failed polls in a row give up.
    int StartAndWait(HANDLE port, BYTE address, int n);
    // Mean of the non-zero readings of n distance reads, laser on meanwhile.
    int ReadDistanceAveraged(HANDLE port, BYTE address, WORD measuringRange, int n, DWORD* distance);

    // Reply decoders (pure; the fuzz target and the simulator's tests use them).
    static void DecodeInfo(const BYTE reply[16], SensorInfo* info);
    // An identification a head can have sent: firmware 1 to 99, measuring
    // range 1 to 500 mm. Replies carry no check sum; this is the check.
    static bool PlausibleInfo(const SensorInfo& info);
    static void DecodeState(const BYTE reply[12], SensorState* state, BOOL converted);
    static DWORD DecodeWord(const BYTE reply[4]);
    static DWORD DistanceFromRaw(DWORD raw, WORD measuringRange);

private:
    int CheckLink(HANDLE port, BYTE address, BYTE testByte);
};
