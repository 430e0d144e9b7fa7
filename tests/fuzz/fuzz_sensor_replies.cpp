// Every reply a sensor sends is untrusted: the decoders of both command sets,
// the paired-sensor serial rule and the Bluetooth neighbourhood description
// must take any bytes without overrunning and keep their documented ranges.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Bluetooth.h"
#include "sensor/BTDeviceFile.h"
#include "sensor/ByteCmdLink.h"
#include "sensor/SensorLink.h"
#include "tests/fuzz/FuzzProgramRoot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Replies of fixed length, taken from the front of the input (zero-filled
    // when it is shorter, as a short read leaves a buffer).
    BYTE reply[16] = {};
    if (size)
        std::memcpy(reply, data, size < sizeof reply ? size : sizeof reply);

    SensorInfo info;
    CSensorLink::DecodeInfo(reply, &info);
    BYTE masked[16];
    for (int i = 0; i < 16; ++i)
        masked[i] = static_cast<BYTE>(reply[i] & 0x0F);
    SensorInfo clean;
    CSensorLink::DecodeInfo(masked, &clean);
    Check(std::memcmp(&info, &clean, sizeof info) == 0);  // upper nibbles never count

    SensorState converted{};
    CSensorLink::DecodeState(reply, &converted, TRUE);
    Check(converted.charge <= 100);
    Check(converted.tiltSign <= 2);
    Check(converted.tilt >= -1.21f && converted.tilt <= 1.21f);
    SensorState raw{};
    CSensorLink::DecodeState(reply, &raw, FALSE);
    Check(raw.charge <= 100);
    Check(raw.tiltSign == 0 || raw.tiltSign == 8);

    const DWORD word = CSensorLink::DecodeWord(reply);
    Check(word <= 0xFFFF);
    const WORD range = static_cast<WORD>(reply[4] | (reply[5] << 8));
    const DWORD distance = CSensorLink::DistanceFromRaw(word, range);
    Check(distance == static_cast<DWORD>(static_cast<unsigned long long>(word) * range * 1000ULL / 16384ULL));

    Check(CByteCmdLink::DecodeValue(reply) % 10 == 0);

    // A name field as stored: 12 characters that may lack a terminator.
    WCHAR name[12];
    for (size_t i = 0; i < 12; ++i)
        name[i] = static_cast<WCHAR>(i * 2 + 1 < size ? data[i * 2] | (data[i * 2 + 1] << 8) : 0);
    WCHAR serial[6];
    SerialFromSensorName(name, 12, serial, 6);
    Check(serial[5] == 0 || std::char_traits<char16_t>::length(serial) <= 4);

    qplat::Neighbourhood hood;
    qplat::ParseNeighbourhood(std::string(reinterpret_cast<const char*>(data), size), hood);
    qplat::Neighbourhood again;
    qplat::ParseNeighbourhood(qplat::FormatNeighbourhood(hood), again);
    Check(again.devices.size() == hood.devices.size());
    return 0;
}
