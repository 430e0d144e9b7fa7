// A paired sensor's name and PIN as the card's settings keep them. democard
// pairs the demo's head on the card and the simulator calls itself by the same
// name and PIN, so both take only what those fields hold: a longer one would be
// stored cut, and the head it names would never link.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Bluetooth.h"
#include "platform/WinText.h"
#include "settings/ParamFile.h"

namespace sensorfields {

// Characters each field holds, without its terminator.
constexpr size_t kNameChars = sizeof(ParamBTRecord::name) / sizeof(WCHAR) - 1;
constexpr size_t kPinChars = sizeof(ParamBTRecord::pin) / sizeof(WCHAR) - 1;

// Empty when `text` has 1 to `chars` characters; else what is wrong with it,
// the text quoted.
inline std::string LengthProblem(const std::string& text, size_t chars)
{
    const size_t n = qplat::FromUtf8(text).size();
    if (n >= 1 && n <= chars)
        return std::string();
    return "\"" + text + "\" must have 1 to " + std::to_string(chars) + " characters";
}

// Empty when `pin` is 1 to kPinChars decimal digits: the program derives a
// sensor's PIN from the digits of its serial, and a real sensor asks for no
// other. Else what is wrong with it, the PIN quoted.
inline std::string PinProblem(const std::string& pin)
{
    if (!pin.empty() && pin.size() <= kPinChars && pin.find_first_not_of("0123456789") == std::string::npos)
        return std::string();
    return "\"" + pin + "\" must be 1 to " + std::to_string(kPinChars) + " digits";
}

// The settings take an address of zeros for "no sensor paired": a sensor
// there could never be linked.
inline bool MeansNoSensor(BT_ADDR address)
{
    return address == 0;
}

}  // namespace sensorfields
