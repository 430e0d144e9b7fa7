// A simulated head's faults with one of its switches on, the others off.
#pragma once

#include "tools/sensorsim/SimDevice.h"

namespace qtest {

inline sensorsim::Faults FaultOnly(bool sensorsim::Faults::*fault)
{
    sensorsim::Faults faults;
    faults.*fault = true;
    return faults;
}

}  // namespace qtest
