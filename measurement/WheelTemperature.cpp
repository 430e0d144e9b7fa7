// The temperature compensation over the real head: the sensor link's state
// and temperature replies and its register writes.
#include "measurement/WheelCalc.h"
#include "platform/WinKernel.h"
#include "sensor/SensorLink.h"

namespace {

class HeadTemperatureLink : public CWheelCalc::TemperatureLink {
public:
    HeadTemperatureLink(HANDLE port, BYTE address) : m_port(port), m_address(address) {}

    int ReadStateTemperature(float* celsius) override
    {
        SensorState state = {};
        if (!m_link.ReadState(m_port, m_address, &state, TRUE)) {
            return 0;
        }
        *celsius = state.temperature;
        return 1;
    }
    int ReadTemperatureOld(DWORD* value) override { return m_link.ReadTemperatureOld(m_port, m_address, value); }
    int WriteRegisters(BYTE firstRegister, BYTE count, const BYTE* values) override
    {
        return m_link.WriteRegisters(m_port, m_address, firstRegister, count, values);
    }
    void Wait(DWORD milliseconds) override { Sleep(milliseconds); }

private:
    CSensorLink m_link;
    HANDLE m_port;
    BYTE m_address;
};

}  // namespace

void CWheelCalc::CompensateTemperature(HANDLE port, BYTE address, const HeadRegister* table, SensorRegisters* regs,
                                       BYTE firmware)
{
    HeadTemperatureLink link(port, address);
    CompensateTemperatureWith(&link, table, regs, firmware);
}
