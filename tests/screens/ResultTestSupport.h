// Fixtures of the result-view tests: a device root with the delivered language
// files and a settings file the test writes, result blocks to fill, and probes
// of the composed screen.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "screens/ResultView.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/support/TempDeviceRoot.h"
#include "tests/ui/UiTestSupport.h"

namespace qtest {

inline std::u16string Text(const WCHAR* s)
{
    return std::u16string(s);
}

// A device root whose program folder holds the delivered language files and
// the settings file the test writes.
class ResultRoot {
public:
    ResultRoot()
    {
        qtest::SetCardFolder();
        const std::string data = std::string(QAV5_SOURCE_DIR) + "/data/Language/";
        for (const char* file : {"ENG.LNG", "RUS.LNG"})
            root.WriteFile(u"\\SDMMC\\Autorun\\Language\\" + qplat::FromUtf8(file), ReadHostFile(data + file));
        UseLanguage("ENG.LNG");
    }

    void UseLanguage(const char* file) const
    {
        root.WriteFile(u"\\SDMMC\\Autorun\\Language\\Language.ini", std::string("File_Language=") + file + "\r\n");
    }
    // A language file of the test's own, made current.
    void WriteLanguage(const char* file, const std::string& lines) const
    {
        root.WriteFile(u"\\SDMMC\\Autorun\\Language\\" + qplat::FromUtf8(file),
                       std::string("[Texts]\r\n10000=Test\r\n") + lines);
        UseLanguage(file);
    }

    // The factory settings (the file is written as a side effect).
    static ParamBlock Factory()
    {
        ParamBlock block{};
        CParamFile file;
        file.WriteDefaults(&block);
        return block;
    }
    static void Save(ParamBlock block)
    {
        CParamFile file;
        ASSERT_EQ(1, file.Save(&block));
    }
    void RemoveSettings() const { std::filesystem::remove(root.Host(u"\\SDMMC\\Autorun\\param.qav")); }

    TempDeviceRoot root;
};

// The names of the first n rows or lines, and the first of them named `name`
// (nullptr when none is).
template <class Row>
std::vector<std::u16string> NamesOf(const Row* rows, int n)
{
    std::vector<std::u16string> names;
    for (int i = 0; i < n; ++i) names.push_back(rows[i].name);
    return names;
}
template <class Row>
const Row* Named(const Row* rows, int n, const std::u16string& name)
{
    for (int i = 0; i < n; ++i)
        if (name == rows[i].name) return &rows[i];
    return nullptr;
}

// Every wheel switch on (820 .. 841).
inline void AllWheelSwitches(ParamBlock& block)
{
    for (BYTE& s : block.switches) s = 2;
}

// A wheel result whose value k is `base` + k (micrometres), all in tolerance.
inline WheelResult WheelValues(LONG base)
{
    WheelResult r{};
    for (int k = 0; k < kWheelValueCount; ++k) r.values[k] = base + k;
    return r;
}

}  // namespace qtest
