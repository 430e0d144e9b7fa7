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

// A device of `kind` whose heads have `head`'s register words, head 1
// measuring `side1` and head 2 `side2`.
inline sensorsim::DeviceConfig HeadDevice(sensorsim::Kind kind, uint8_t firmware, const profilegen::HeadEncoding& head,
                                          const std::vector<profilegen::Point>& side1,
                                          const std::vector<profilegen::Point>& side2 = {})
{
    sensorsim::DeviceConfig c;
    c.kind = kind;
    c.head.firmware = firmware;
    c.head.rangeMm = head.rangeMm;
    c.head.busyPolls = 1;
    c.registers[0] = RegistersFor(head);
    c.registers[1] = c.registers[0];
    c.dump[0] = profilegen::EncodeDump(side1, head);
    if (!side2.empty()) c.dump[1] = profilegen::EncodeDump(side2, head);
    return c;
}

// A wheel head of `rangeMm` that measures the S1002 profile.
inline sensorsim::DeviceConfig S1002Head(uint8_t firmware = 60, uint16_t rangeMm = 100)
{
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.rangeMm = rangeMm;
    return HeadDevice(sensorsim::Kind::Wheel, firmware, head, profilegen::S1002Profile());
}

// A disc between two heads, each seeing its own side.
inline sensorsim::DeviceConfig TwoHeadDisc(uint8_t firmware = 60, const profilegen::DiscShape& shape = {})
{
    return HeadDevice(sensorsim::Kind::Disc2, firmware, profilegen::DefaultDiscHead(),
                      profilegen::DiscSideProfile(shape, 1), profilegen::DiscSideProfile(shape, 2));
}

// A head whose dump transfer stops after `bytes` bytes of the dump.
inline sensorsim::Faults StallAfter(long bytes)
{
    sensorsim::Faults faults;
    faults.stallAfter = bytes;
    return faults;
}

inline sensorsim::DeviceConfig Gauge(sensorsim::Kind kind, uint32_t raw)
{
    sensorsim::DeviceConfig c;
    c.kind = kind;
    c.gaugeRaw = raw;
    return c;
}

// Requests of the device whose command byte (set A: second byte) is `code`,
// of those to head `address` (set A: first byte) when given.
inline int CountRequests(const sensorsim::Device& device, uint8_t code, bool commandSetB = false, int address = -1)
{
    int n = 0;
    for (const auto& r : device.Requests()) {
        const size_t at = commandSetB ? 0 : 1;
        if (r.size() > at && r[at] == code && (address < 0 || r[0] == address))
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

    // A reference profile file of that name: the S1002 profile every 50 um,
    // `zShiftUm` higher.
    void WriteS1002Reference(const std::u16string& name, long zShiftUm = 0)
    {
        std::string text = qplat::ToUtf8(name) + "\r\n";
        for (const auto& p : profilegen::S1002Profile(50.0))
            text += std::to_string(static_cast<long>(p.x)) + ";" + std::to_string(static_cast<long>(p.z) + zShiftUm) +
                    "\r\n";
        root.WriteFile(u"\\SDMMC\\Autorun\\Refer\\" + name + u".ref", text);
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
