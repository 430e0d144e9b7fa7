// Shared by the measuring-controller tests: a throw-away card with the
// program folder, the settings block and catalogue files written as the
// program writes them, a simulated sensor on a real pseudo-terminal reached
// through "COMn:", and a parent window for the progress bar.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "../sensor/SensorTestSupport.h"
#include "../support/TempDeviceRoot.h"
#include "measurement/ParamSave.h"
#include "platform/WinComm.h"
#include "platform/WinCtrl.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"
#include "settings/CatalogFiles.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/support/SimFaults.h"
#include "tools/profilegen/ProfileGen.h"
#include "tools/sensorsim/PtyServer.h"
#include "tools/sensorsim/SimDevice.h"

namespace ctltest {

// The register words a head's dump was encoded with, as the sim's registers.
inline std::array<uint8_t, 256> RegistersFor(const profilegen::HeadEncoding& head)
{
    return sensorsim::DefaultRegisters(head.disc, head.words.data(), head.disc ? kQodRegisterCount
                                                                               : kHeadRegisterCount);
}

// A wheel head that measures the S1002 profile.
inline sensorsim::DeviceConfig S1002Head(uint8_t firmware = 60)
{
    const profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    sensorsim::DeviceConfig c;
    c.kind = sensorsim::Kind::Wheel;
    c.head.firmware = firmware;
    c.head.rangeMm = head.rangeMm;
    c.head.busyPolls = 1;
    c.registers[0] = RegistersFor(head);
    c.registers[1] = c.registers[0];
    c.dump[0] = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    return c;
}

// A disc between two heads, each seeing its own side.
inline sensorsim::DeviceConfig TwoHeadDisc(uint8_t firmware = 60, const profilegen::DiscShape& shape = {})
{
    const profilegen::HeadEncoding head = profilegen::DefaultDiscHead();
    sensorsim::DeviceConfig c;
    c.kind = sensorsim::Kind::Disc2;
    c.head.firmware = firmware;
    c.head.rangeMm = head.rangeMm;
    c.head.busyPolls = 1;
    c.registers[0] = RegistersFor(head);
    c.registers[1] = c.registers[0];
    c.dump[0] = profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 1), head);
    c.dump[1] = profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 2), head);
    return c;
}

inline sensorsim::DeviceConfig Gauge(sensorsim::Kind kind, uint32_t raw)
{
    sensorsim::DeviceConfig c;
    c.kind = kind;
    c.gaugeRaw = raw;
    return c;
}

// Requests of the device whose command byte (set A: second byte) is `code`.
inline int CountRequests(const sensorsim::Device& device, uint8_t code, bool commandSetB = false)
{
    int n = 0;
    for (const auto& r : device.Requests()) {
        const size_t at = commandSetB ? 0 : 1;
        if (r.size() > at && r[at] == code)
            ++n;
    }
    return n;
}

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ControllerTest : public qtest::DeviceRootTest {
protected:
    qtest::ManualClock clock;

    void SetUp() override
    {
        qplat::ResetCommDevices();
        qplat::SetCommTimeoutScale(25);
        qtest::SetCardFolder();
        root.MakeFolder(u"\\SDMMC\\Autorun");
        WriteParams([](ParamBlock&) {});

        InitCommonControls();
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = ParentProc;
            wc.lpszClassName = u"ControllerTestParent";
            RegisterClassW(&wc);
            registered = true;
        }
        parent = CreateWindowExW(0, u"ControllerTestParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent);
        ctl = std::make_unique<CMeasureController>();
    }

    void TearDown() override
    {
        ctl.reset();
        if (parent && IsWindow(parent))
            DestroyWindow(parent);
        for (HANDLE h : opened_)
            CloseHandle(h);
        opened_.clear();
        sims_.clear();
        qplat::SetCommTimeoutScale(100);
        qplat::ResetCommDevices();
    }

    // Factory settings with the S1002 thickness level, changed by `edit`.
    void WriteParams(const std::function<void(ParamBlock&)>& edit)
    {
        ParamBlock b{};
        CParamFile file;
        file.WriteDefaults(&b);
        b.dimensions[DIM_L3] = 10000;
        edit(b);
        ASSERT_EQ(1, file.Save(&b));
    }

    // A simulated device bound to "COMn:" and opened as the link monitor opens it.
    sensorsim::Device& Start(const sensorsim::DeviceConfig& config, int index = 4)
    {
        sims_.push_back(std::make_unique<sensortest::SimPort>(config));
        sensortest::SimPort& sim = *sims_.back();
        EXPECT_TRUE(qplat::BindCommPort(static_cast<DWORD>(index), sim.server.Path()));
        HANDLE h = nullptr;
        CSensorLink link;
        EXPECT_EQ(1, link.OpenPort(index, &h));
        if (h)
            opened_.push_back(h);
        port = h;
        return sim.device;
    }

    HWND parent = nullptr;
    HANDLE port = nullptr;
    std::unique_ptr<CMeasureController> ctl;

private:
    std::vector<std::unique_ptr<sensortest::SimPort>> sims_;
    std::vector<HANDLE> opened_;
};

}  // namespace ctltest
