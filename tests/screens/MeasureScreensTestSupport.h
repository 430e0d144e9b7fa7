// Fixtures of the measuring-screen tests: a card with the delivered language
// files, a settings file the test writes (journals named "test"), the
// program-wide objects the screens are given (controller, link monitor,
// scheme) made on the heap, records to fill, and the journals read back.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measurement/ParamSave.h"
#include "platform/WinText.h"
#include "scheme/Scheme.h"
#include "screens/MeasureDlg.h"
#include "sensor/LinkMonitor.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/JournalRecords.h"
#include "settings/ParamFile.h"
#include "tests/ui/ScreenTestSupport.h"

namespace qtest {

constexpr const char16_t* kTestJournal = u"test";

template <size_t N>
std::u16string Field(const WCHAR (&field)[N])
{
    return qplat::FieldText(field, N);
}

template <size_t N>
void Put(WCHAR (&field)[N], const char16_t* text)
{
    qplat::CopyField(field, N, text);
}

// Whether a button is there and can be pressed.
inline bool Enabled(COwnerButton& b)
{
    return b.m_hWnd && IsWindowEnabled(b.m_hWnd);
}

// Today as the records store it.
inline std::u16string Today()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return qplat::Format(u"%02d/%02d/%02d", now.wDay, now.wMonth, now.wYear % 100);
}

// Answers the next message box, a replace question, with Yes once
// `meanwhile` has run while it is up, and the notice that follows with OK;
// their texts go to `texts`.
inline void AnswerYesAfter(std::function<void()> meanwhile, std::vector<std::u16string>* texts)
{
    Then([meanwhile, texts] {
        meanwhile();
        AnswerBoxes(texts, {kBoxFirstButton, kBoxFirstButton});
    });
}

class MeasureScreens : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
        WriteSettings(1, 1);
        // Made once the card is in place: they take the program folder when
        // they are built.
        controller = std::make_unique<CMeasureController>();
        link = std::make_unique<CLinkMonitor>();
    }
    void TearDown() override
    {
        ScreenFixture::TearDown();
        Actions().clear();
    }

    // Factory settings of the device type and measuring mode with the
    // journals named "test", then the test's changes.
    void WriteSettings(int deviceType, int measureMode, const std::function<void(ParamBlock&)>& change = {})
    {
        ScreenFixture::WriteSettings(deviceType, [&](ParamBlock& block) {
            block.measureMode = static_cast<BYTE>(measureMode);
            Put(block.qavJournalName, kTestJournal);
            Put(block.qodJournalName, kTestJournal);
            if (change) change(block);
        });
    }

    // A record of a position: date, names and side.
    template <class Record>
    static std::unique_ptr<Record> NamedPosition(const char16_t* wheel, const char16_t* side, const char16_t* date)
    {
        auto r = std::make_unique<Record>();
        Put(r->date, date);
        Put(r->wheelName, wheel);
        Put(r->carName, u"Car");
        Put(r->carNumber, u"1234");
        Put(r->axleName, u"A1");
        Put(r->side, side);
        return r;
    }
    static std::unique_ptr<QavJournalRecord> Position(const char16_t* wheel, const char16_t* side,
                                                       const char16_t* date = u"01/02/26")
    {
        return NamedPosition<QavJournalRecord>(wheel, side, date);
    }
    static std::unique_ptr<QodJournalRecord> DiscPosition(const char16_t* wheel, const char16_t* side)
    {
        return NamedPosition<QodJournalRecord>(wheel, side, u"01/02/26");
    }

    // Opens the measuring screen on the records, runs `inside` in its modal
    // loop, closes it if it is still open; DoModal's result.
    BOOL OpenMeasuring(QavJournalRecord* qav, QodJournalRecord* qod, BYTE ask,
                       const std::function<void(CMeasureDlg&)>& inside)
    {
        auto screen = std::make_unique<CMeasureDlg>();
        CMeasureDlg* s = screen.get();
        Then([s, inside] {
            inside(*s);
            if (IsWindow(s->m_hWnd)) Press(s->m_hWnd, CMeasureDlg::kCloseId);
        });
        return screen->DoModal(nullptr, owner, controller.get(), qav, qod, link.get(), ask);
    }

    void AppendQav(const QavJournalRecord& r)
    {
        CDBJournalQav journal;
        ASSERT_EQ(1, journal.Append(kTestJournal, &r));
    }
    void AppendQod(const QodJournalRecord& r)
    {
        CDBJournalQod journal;
        ASSERT_EQ(1, journal.Append(kTestJournal, &r));
    }
    // The bytes of a journal of these records.
    template <class Record>
    static std::string JournalOf(const std::vector<const Record*>& records)
    {
        std::string bytes;
        for (const Record* r : records) bytes.append(reinterpret_cast<const char*>(r), sizeof(Record));
        return bytes;
    }
    std::vector<QavJournalRecord> QavJournal() const { return Read<QavJournalRecord>(u"qav"); }
    std::vector<QodJournalRecord> QodJournal() const { return Read<QodJournalRecord>(u"qod"); }
    std::string JournalBytes(const char16_t* extension) const
    {
        const std::u16string path = std::u16string(u"\\SDMMC\\Autorun\\DB\\test.") + extension;
        return root.Exists(path) ? root.ReadFile(path) : std::string();
    }

    std::unique_ptr<CMeasureController> controller;
    std::unique_ptr<CLinkMonitor> link;

private:
    template <class Record>
    std::vector<Record> Read(const char16_t* extension) const
    {
        const std::string bytes = JournalBytes(extension);
        std::vector<Record> records(bytes.size() / sizeof(Record));
        if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(Record));
        return records;
    }
};

}  // namespace qtest
