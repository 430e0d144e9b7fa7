#include "sensor/ui/PairedSensors.h"

std::vector<BTDeviceRecord> ReadPairedSensors(CBTDeviceFile& file)
{
    std::vector<BTDeviceRecord> records;
    const int count = file.GetCount();
    if (count <= 0) return records;
    records.resize(static_cast<size_t>(count));
    if (!file.ReadAll(records.data(), count)) records.clear();
    return records;
}
