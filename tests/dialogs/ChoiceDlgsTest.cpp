// The three two-choice screens against "param.qav" (and, for the USB mode, the
// registry and the restart): the radio checked for a stored byte, what OK
// stores, what close leaves, and the order USB mode changes are made in.

#include "dialogs/ChoiceDlgs.h"

#include "platform/WinKernel.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"

using namespace qtest;

namespace {

const char16_t* const kUsbKey = u"\\Drivers\\USB\\FunctionDrivers\\";
const char16_t* const kUsbValue = u"DefaultClientDriver";

class ChoiceScreens : public SettingsScreenTest {
protected:
    void SetUp() override
    {
        SettingsScreenTest::SetUp();
        qplat::ClearPowerStateRequests();
        qplat::SetPowerHandler([](DWORD) {});
    }
    void TearDown() override
    {
        qplat::SetPowerHandler(nullptr);
        qplat::ClearPowerStateRequests();
        SettingsScreenTest::TearDown();
    }
    // The radio (1 or 2) a screen opens with for the settings.
    template <class Dlg>
    int OpensWith(const ParamBlock& p)
    {
        WriteParams(p);
        int checked = -1;
        RunWith<Dlg>({[&](HWND) { checked = Dlg::Current()->CheckedRadio(); }, Close()});
        return checked;
    }
    void MakeUsbKey(const std::u16string& driver)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUsbKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &key, &disposition));
        RegSetValueExW(key, kUsbValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(driver.c_str()),
                       static_cast<DWORD>((driver.size() + 1) * 2));
        RegCloseKey(key);
    }
    std::u16string UsbDriver()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUsbKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"(no key)";
        WCHAR text[64] = {};
        DWORD type = 0, size = sizeof text;
        RegQueryValueExW(key, kUsbValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return text;
    }
    static bool Restarted()
    {
        for (DWORD state : qplat::PowerStateRequests())
            if (state & POWER_STATE_RESET) return true;
        return false;
    }
};

// ---------------------------------------------------------------- units

TEST_F(ChoiceScreens, UnitsOpenOnInchesOnlyForTwo)
{
    for (const auto& [stored, radio] : std::vector<std::pair<BYTE, int>>{{1, 1}, {2, 2}, {0, 1}, {5, 1}, {0x102 & 0xFF, 2}})
        EXPECT_EQ(OpensWith<CUnitsDlg>(Params(1, stored)), radio) << int(stored);
}

TEST_F(ChoiceScreens, UnitsOkStoresTheCheckedRadio)
{
    // Millimetres and inches as the screen writes them: OK changes no byte.
    for (BYTE unit : {1, 2}) ExpectOkKeeps<CUnitsDlg>(Params(1, unit), std::to_string(unit));
    // Any other value is millimetres and is stored as 1.
    WriteParams(Params(1, 0));
    RunWith<CUnitsDlg>({Command(CUnitsDlg::kOkId)});
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(Params(1, 1)));
    // A tap is read only on OK.
    RunWith<CUnitsDlg>({Tap(CUnitsDlg::kRadio2Id), Command(CUnitsDlg::kOkId)});
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(Params(1, 2)));
    ExpectLeavingKeeps<CUnitsDlg>(Params(1, 2), {Tap(CUnitsDlg::kRadio1Id)});

    // The settings changed on the card while the screen is open (a PC,
    // another card put in): OK writes the unit onto the block the card
    // holds, whose other fields stay.
    ParamBlock cardB = Params(1, 1);
    qplat::CopyField(cardB.qavSensors[1].name, 12, u"QUN 77777");
    qplat::CopyField(cardB.qodJournalName, PARAM_NAME_CHARS, u"B discs");
    WriteParams(Params(1, 1));
    RunWith<CUnitsDlg>({[&](HWND) { WriteParams(cardB); }, Tap(CUnitsDlg::kRadio2Id), Command(CUnitsDlg::kOkId)});
    ParamBlock expected = cardB;
    expected.unitSystem = 2;
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
}

TEST_F(ChoiceScreens, AFailedSaveIsShownAndTheScreenStays)
{
    WriteParams(Params(1, 1));
    ExpectRefusedOkStays<CUnitsDlg>({Tap(CUnitsDlg::kRadio2Id)}, CUnitsDlg::kOkId, Close());
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(Params(1, 1)));
}

// ---------------------------------------------------------------- measuring mode

TEST_F(ChoiceScreens, ModeOpensOnSingleMeasurementForAnyValueButZero)
{
    for (const auto& [stored, radio] : std::vector<std::pair<BYTE, int>>{{1, 1}, {0, 2}, {7, 1}}) {
        ParamBlock p = Params(1, 1);
        p.measureMode = stored;
        EXPECT_EQ(OpensWith<CModeOptionDlg>(p), radio) << int(stored);
    }
}

TEST_F(ChoiceScreens, ModeOkAlwaysRewritesTheFileAndCloseDropsTheTap)
{
    for (BYTE unit : {1, 2}) {
        ParamBlock p = Params(1, unit);
        p.measureMode = 7;
        WriteParams(p);
        EXPECT_TRUE(RunWith<CModeOptionDlg>({Tap(CModeOptionDlg::kRadio2Id), Close()}));
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
        // OK without a tap keeps every byte (7 included) but writes the file:
        // a card that refuses the write says so.
        std::u16string notice;
        RunWith<CModeOptionDlg>(Join(OkOnARefusingCard(CModeOptionDlg::kOkId, &notice), {Command(CModeOptionDlg::kOkId)}));
        EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
        // A tap sets the byte at once; OK stores it.
        RunWith<CModeOptionDlg>({Tap(CModeOptionDlg::kRadio2Id), Command(CModeOptionDlg::kOkId)});
        p.measureMode = 0;
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
        RunWith<CModeOptionDlg>({Tap(CModeOptionDlg::kRadio1Id), Command(CModeOptionDlg::kOkId)});
        p.measureMode = 1;
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
    }
}

// ---------------------------------------------------------------- USB mode

TEST_F(ChoiceScreens, UsbOpensOnSerialForAnyValueButZero)
{
    for (const auto& [stored, radio] : std::vector<std::pair<BYTE, int>>{{1, 1}, {0, 2}, {5, 1}}) {
        ParamBlock p = Params(1, 1);
        p.usbMode = stored;
        EXPECT_EQ(OpensWith<CUsbModeDlg>(p), radio) << int(stored);
    }
}

TEST_F(ChoiceScreens, UsbOkWithTheModeItOpenedWithWritesAndAsksNothing)
{
    MakeUsbKey(u"Other_Class");
    for (BYTE stored : {1, 0, 5}) {
        ParamBlock p = Params(1, 1);
        p.usbMode = stored;
        WriteParams(p);
        const int otherRadio = stored == 0 ? CUsbModeDlg::kRadio1Id : CUsbModeDlg::kRadio2Id;
        const int ownRadio = stored == 0 ? CUsbModeDlg::kRadio2Id : CUsbModeDlg::kRadio1Id;
        HWND front = nullptr, screen = nullptr;
        // The current radio again; then the other and back. For 5 the
        // current radio is serial, whose tap stores 1: a change.
        if (stored != 5) {
            RunWith<CUsbModeDlg>({Tap(ownRadio), [&](HWND dlg) {
                                  screen = dlg;
                                  PostCommand(dlg, CUsbModeDlg::kOkId);
                              },
                              [&](HWND f) {
                                  front = f;
                                  if (f == screen) PostMessageW(f, WM_CLOSE, 0, 0);
                              }});
            EXPECT_NE(front, screen) << "OK ended the screen without a question";
            RunWith<CUsbModeDlg>({Tap(otherRadio), Tap(ownRadio), Command(CUsbModeDlg::kOkId)});
        }
        RunWith<CUsbModeDlg>({Command(CUsbModeDlg::kOkId)});
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p)) << int(stored);
        EXPECT_EQ(UsbDriver(), u"Other_Class") << int(stored);
        EXPECT_FALSE(Restarted());
    }
}

TEST_F(ChoiceScreens, UsbChangeWritesTheRegistryThenTheFileThenOffersTheRestart)
{
    for (const bool restart : {false, true}) {
        MakeUsbKey(u"Serial_Class");
        qplat::ClearPowerStateRequests();
        ParamBlock p = Params(1, restart ? 2 : 1);
        p.usbMode = 1;
        WriteParams(p);
        std::u16string question, driverAtQuestion;
        std::string fileAtQuestion;
        EXPECT_TRUE(RunWith<CUsbModeDlg>({Tap(CUsbModeDlg::kRadio2Id), Command(CUsbModeDlg::kOkId), [&](HWND box) {
                                          driverAtQuestion = UsbDriver();
                                          fileAtQuestion = root.ReadFile(kParamPath);
                                          Answer(restart, &question)(box);
                                      }}));
        ParamBlock expected = p;
        expected.usbMode = 0;
        EXPECT_EQ(question, Text(TEXT_USB_RESTART_QUESTION));
        EXPECT_EQ(driverAtQuestion, u"Mass_Storage_Class");
        EXPECT_EQ(fileAtQuestion, Bytes(expected)) << "the settings are on the card before the restart is offered";
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
        EXPECT_EQ(Restarted(), restart);
    }
    // And back to the serial client.
    qplat::ClearPowerStateRequests();
    RunWith<CUsbModeDlg>({Tap(CUsbModeDlg::kRadio1Id), Command(CUsbModeDlg::kOkId), Answer(false)});
    EXPECT_EQ(UsbDriver(), u"Serial_Class");
    EXPECT_EQ(ReadParams().usbMode, 1);
    EXPECT_FALSE(Restarted());
}

TEST_F(ChoiceScreens, UsbRestartIsOfferedOnlyWhenRegistryAndSettingsWereWritten)
{
    ParamBlock p = Params(1, 1);
    p.usbMode = 1;
    WriteParams(p);
    // No USB driver key on this handheld: the registry is not written.
    std::u16string notice;
    bool stayed = false;
    RunWith<CUsbModeDlg>({Tap(CUsbModeDlg::kRadio2Id), Command(CUsbModeDlg::kOkId), Answer(true, &notice),
                      [&](HWND dlg) {
                          stayed = CUsbModeDlg::Current() && dlg == CUsbModeDlg::Current()->m_hWnd;
                          PostMessageW(dlg, WM_CLOSE, 0, 0);
                      }});
    EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
    EXPECT_TRUE(stayed);
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
    EXPECT_FALSE(Restarted());

    // The registry takes the value but cannot be written to the card: the
    // driver goes back to the mode the settings hold, nothing is offered.
    MakeUsbKey(u"Serial_Class");
    std::u16string driverAfterFailure;
    ExpectRefusedOkStays<CUsbModeDlg>({Tap(CUsbModeDlg::kRadio2Id)}, CUsbModeDlg::kOkId, [&](HWND dlg) {
        driverAfterFailure = UsbDriver();
        PostMessageW(dlg, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(driverAfterFailure, u"Serial_Class");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
    EXPECT_FALSE(Restarted());

    // The registry is written, the settings file is not (something that is
    // not a file stands in its place): the driver goes back as well.
    notice.clear();
    driverAfterFailure.clear();
    RunWith<CUsbModeDlg>({Tap(CUsbModeDlg::kRadio2Id),
                      [](HWND dlg) {
                          DeleteFileW(kParamPath.c_str());
                          CreateDirectoryW(kParamPath.c_str(), nullptr);
                          PostCommand(dlg, CUsbModeDlg::kOkId);
                      },
                      Answer(true, &notice),
                      [&](HWND dlg) {
                          driverAfterFailure = UsbDriver();
                          RemoveDirectoryW(kParamPath.c_str());
                          PostMessageW(dlg, WM_CLOSE, 0, 0);
                      }});
    EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
    EXPECT_EQ(driverAfterFailure, u"Serial_Class");
    EXPECT_FALSE(root.Exists(kParamPath)) << "nothing was written in the folder's place";
    EXPECT_FALSE(Restarted());
}

// ---------------------------------------------------------------- looking

TEST_F(ChoiceScreens, Snapshots)
{
    for (const char* language : {"ENG.LNG", "RUS.LNG"}) {
        UseLanguage(language);
        ParamBlock p = Params(1, 2);
        p.usbMode = 0;
        p.measureMode = 1;
        WriteParams(p);
        const std::string suffix = language[0] == 'E' ? ".png" : "_ru.png";
        bool frame = false;
        auto shoot = [&](const std::string& name) {
            return [&, name](HWND) {
                ASSERT_TRUE(SaveShot(name + suffix));
                frame = AnyPixel({48, 120, 54, 140}, Dark);
                PostMessageW(FrontDialog(), WM_CLOSE, 0, 0);
            };
        };
        RunWith<CUnitsDlg>({shoot("units")});
        EXPECT_TRUE(frame) << "the frame's left edge";
        frame = false;
        RunWith<CUsbModeDlg>({shoot("usb_mode")});
        EXPECT_TRUE(frame);
        frame = false;
        RunWith<CModeOptionDlg>({shoot("measuring_mode")});
        EXPECT_TRUE(frame);
    }
}

}  // namespace
