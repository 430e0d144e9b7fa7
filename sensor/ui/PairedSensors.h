// The paired-sensor file as both sensor screens read it.
#pragma once

#include <vector>

#include "sensor/BTDeviceFile.h"

// The file's records at its present size; none when it cannot be read whole.
std::vector<BTDeviceRecord> ReadPairedSensors(CBTDeviceFile& file);
