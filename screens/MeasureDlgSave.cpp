// Storing a measurement: the controller's current measurement becomes the
// screen's journal record, appended to the current journal of the family or
// put in place of the stored record of the same position and date.
#include "screens/MeasureDlg.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/WinText.h"
#include "ui/DateTimeUtil.h"

namespace {

constexpr int kTextReplaceWheel = 50010;
constexpr int kTextReplaceDisc = 50061;
constexpr int kTextNoJournal = 50070;
// The word of the gauge reading of device type 2, which a wheel-head save
// leaves as it is unless the head measured one.
constexpr int kGaugeWord = 7;

// The current journal's name from a settings field, terminated.
struct JournalName {
    WCHAR text[PARAM_NAME_CHARS + 1] = {};
    explicit JournalName(const WCHAR (&field)[PARAM_NAME_CHARS])
    {
        std::memcpy(text, field, sizeof field);
        text[PARAM_NAME_CHARS] = 0;
    }
    // A card as it comes from the factory has no current journal.
    bool Selected() const { return text[0] != 0; }
};

template <size_t N>
void SetText(WCHAR (&field)[N], const WCHAR* text)
{
    qplat::CopyField(field, N, text);
}

// The head's x-step register (16-bit, kept sign-extended in the record).
LONG StepRegister(SHORT word)
{
    return static_cast<LONG>(word);
}

// The record of the axle's other wheel when the journal holds none yet: the
// saved record's texts with the other side digit, and of the measurement
// only what this save measured (its time, step values and gauge serial).
// Nothing of the saved record's own measurement comes along: its profile and
// values belong to its wheel, not to this one.
std::unique_ptr<QavJournalRecord> OtherWheelRecord(const QavJournalRecord& saved, const WCHAR (&time)[10],
                                                   const WheelResult& result, const WCHAR (&serial)[12])
{
    auto r = std::make_unique<QavJournalRecord>();
    std::memcpy(r->date, saved.date, sizeof r->date);
    std::memcpy(r->time, time, sizeof r->time);
    std::memcpy(r->wheelName, saved.wheelName, sizeof r->wheelName);
    std::memcpy(r->carName, saved.carName, sizeof r->carName);
    std::memcpy(r->carNumber, saved.carNumber, sizeof r->carNumber);
    std::memcpy(r->axleName, saved.axleName, sizeof r->axleName);
    std::memcpy(r->spareText1, saved.spareText1, sizeof r->spareText1);
    std::memcpy(r->axleName2, saved.axleName2, sizeof r->axleName2);
    std::memcpy(r->trainName, saved.trainName, sizeof r->trainName);
    std::memcpy(r->referName, saved.referName, sizeof r->referName);
    std::memcpy(r->spareText2, saved.spareText2, sizeof r->spareText2);
    std::memcpy(r->positionText, saved.positionText, sizeof r->positionText);
    const bool right = qplat::FieldText(saved.side, std::size(saved.side)) == u"1";
    SetText(r->side, right ? u"0" : u"1");
    StoreQavResult(r.get(), result, 3);
    std::memcpy(r->sensorName3, serial, sizeof r->sensorName3);
    return r;
}

// The notice of a save that wrote nothing. A journal that no longer reaches
// the last record the operator was asked about (`lastAsked`, -1 for none)
// has lost that record as surely as one that holds another in its place.
template <class Journal>
CFixedRecordFile::Refusal WhyNotWritten(Journal& journal, LPCWSTR name, int lastAsked)
{
    const CFixedRecordFile::Refusal why = journal.LastRefusal();
    if (why != CFixedRecordFile::Refusal::None || lastAsked < 0) return why;
    // A look, which never makes the journal again where it went meanwhile.
    const int count = journal.GetCount(name, false);
    return count >= 0 && count <= lastAsked ? CFixedRecordFile::Refusal::RecordChanged : why;
}

}  // namespace

// The time of the save, local as the record's date is.
static void StampTime(WCHAR (&field)[10])
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CDateTimeUtil util;
    SetText(field, util.FormatTime(now));
}

int CMeasureDlg::SaveQavRecord()
{
    const BYTE type = Type();
    CMeasureController& c = *m_controller;
    const JournalName journal(m_params.qavJournalName);
    if (!journal.Selected()) {
        ShowMessage(MESSAGE_FAILURE, kTextNoJournal);
        return 0;
    }
    // The record as it was when the save began.
    auto entry = std::make_unique<QavJournalRecord>(m_qav);
    StampTime(m_qav.time);
    WCHAR saveTime[10];
    std::memcpy(saveTime, m_qav.time, sizeof saveTime);
    // A save that a kill or a power cut stopped half-way is undone before
    // the journal is searched, so no half of it is found; while it cannot
    // be, nothing is written into the journal.
    if (!m_journalQav.RollBackCutOff(journal.text)) {
        ShowSaveFailure(m_journalQav.LastRefusal());
        return 0;
    }
    // A stored record of the position replaces the screen's, so its texts and
    // time are kept; only what this save measured changes. The stored
    // records found are the ones the operator is asked about: they are
    // replaced only while the journal still holds them when the answer
    // comes, for meanwhile a PC, a swapped card or an undone save may have
    // put another wheel's record in their place. The axle's other wheel is
    // looked up in the same reading of the journal, on a copy: the lookup
    // copies the stored record out.
    int found = -1;
    int other = -1;
    int read = 0;
    std::unique_ptr<QavJournalRecord> asked;
    std::unique_ptr<QavJournalRecord> otherAsked;
    {
        std::vector<QavJournalRecord> records;
        // A journal that cannot be read cannot tell a replace from an
        // append: a second record of the wheel would be stored for good.
        if (m_scheme.ReadJournal(&records) != 1) {
            ShowMessage(MESSAGE_FAILURE, SCREEN_JOURNAL_UNREADABLE);
            return 0;
        }
        read = static_cast<int>(records.size());
        found = m_scheme.FindRecordIn(records, &m_qav, 1, 0);
        if (found >= 0) {
            asked = std::make_unique<QavJournalRecord>(m_qav);
            if (type == 3) {
                otherAsked = std::make_unique<QavJournalRecord>(m_qav);
                other = m_scheme.FindRecordIn(records, otherAsked.get(), 1, found + 1);
            }
        }
    }
    switch (type) {
    case 1: {
        StoreQavProfile(&m_qav, c.m_points, c.m_count, StepRegister(c.m_head1Settings.words[2]));
        const LONG gauge = GetQavRecordValue(m_qav, kGaugeWord);
        StoreQavResult(&m_qav, c.m_result, 1);
        if (c.m_result.values[kGaugeWord] == 0) SetQavRecordValue(&m_qav, kGaugeWord, gauge);
        for (int k = 0; k < QAV_RECORD_DIMENSIONS; ++k) m_qav.dimensions[k] = c.m_headSettings.dimensions[k];
        m_qav.options[0] = c.m_headSettings.options[0];
        m_qav.options[1] = c.m_headSettings.options[1];
        m_qav.options[2] = c.m_headSettings.options[2];
        m_qav.options[3] = c.m_headSettings.options[4];
        m_qav.option813 = m_params.option4;
        m_qav.option815 = m_params.option6;
        std::memcpy(m_qav.sensorName1, entry->sensorName1, sizeof m_qav.sensorName1);
        break;
    }
    case 2:
        StoreQavResult(&m_qav, c.m_result, 2);
        std::memcpy(m_qav.sensorName2, entry->sensorName2, sizeof m_qav.sensorName2);
        break;
    case 3:
        if (m_params.gaugeSteps > 1) c.SaveSteps();
        StoreQavResult(&m_qav, c.m_result, 3);
        std::memcpy(m_qav.sensorName3, entry->sensorName3, sizeof m_qav.sensorName3);
        break;
    default: break;
    }

    bool written = true;
    if (found < 0) {
        if (type == 3) {
            // A whole axle: one record for each of its wheels, both stored
            // or neither (a left wheel alone would count the axle measured).
            auto right = std::make_unique<QavJournalRecord>(m_qav);
            SetText(m_qav.side, u"0");
            SetText(right->side, u"1");
            written = m_journalQav.AppendPair(journal.text, &m_qav, right.get()) == 1;
            m_qav = *right;
        } else {
            written = m_journalQav.Append(journal.text, &m_qav) == 1;
        }
    } else {
        if (m_askBeforeReplace == 1 && ShowMessage(MESSAGE_QUESTION, kTextReplaceWheel) != 1) return 0;
        if (type != 3) {
            written = m_journalQav.Replace(journal.text, &m_qav, found, asked.get()) == 1;
        } else if (other < 0) {
            // The axle is saved whole or not at all: this wheel's record and
            // the other wheel's, appended when the journal has none yet, are
            // written as one, and only while it still has none: the journal
            // then still holds the records it was read with.
            const auto record = OtherWheelRecord(m_qav, saveTime, c.m_result, entry->sensorName3);
            written = m_journalQav.ReplaceAndAppend(journal.text, &m_qav, found, record.get(), asked.get(),
                                                    read) == 1;
        } else {
            // The other wheel of the axle gets the same step values.
            auto otherStored = std::make_unique<QavJournalRecord>(*otherAsked);
            if (m_params.gaugeSteps > 1) c.SaveSteps();
            StoreQavResult(otherStored.get(), c.m_result, 3);
            std::memcpy(otherStored->sensorName3, entry->sensorName3, sizeof otherStored->sensorName3);
            written = m_journalQav.ReplacePair(journal.text, &m_qav, found, otherStored.get(), other, asked.get(),
                                               otherAsked.get()) == 1;
            if (written) m_qav = *otherStored;
        }
    }
    if (!written) {
        ShowSaveFailure(WhyNotWritten(m_journalQav, journal.text, std::max(found, other)));
        return 0;
    }
    ShowSaveUnconfirmed(m_journalQav.LastUnconfirmed());
    return 1;
}

void CMeasureDlg::ShowSaveFailure(CFixedRecordFile::Refusal why)
{
    ShowMessage(MESSAGE_FAILURE, JournalRefusalText(why, SCREEN_SAVE_FAILED));
}

void CMeasureDlg::ShowSaveUnconfirmed(bool unconfirmed)
{
    // Stored all the same: a power cut before the card keeps it could still
    // take it back, which the operator checks before measuring on.
    if (unconfirmed) ShowMessage(MESSAGE_WARNING, SCREEN_NOT_CONFIRMED);
}

int CMeasureDlg::SaveQodRecord()
{
    CMeasureController& c = *m_controller;
    const JournalName journal(m_params.qodJournalName);
    if (!journal.Selected()) {
        ShowMessage(MESSAGE_FAILURE, kTextNoJournal);
        return 0;
    }
    StampTime(m_qod.time);
    if (!m_journalQod.RollBackCutOff(journal.text)) {
        ShowSaveFailure(m_journalQod.LastRefusal());
        return 0;
    }
    // Replaced only while the journal still holds the stored record the
    // operator is asked about (see SaveQavRecord).
    int found = -1;
    {
        std::vector<QodJournalRecord> records;
        if (m_scheme.ReadJournalQod(&records) != 1) {
            ShowMessage(MESSAGE_FAILURE, SCREEN_JOURNAL_UNREADABLE);
            return 0;
        }
        found = m_scheme.FindRecordInQod(records, &m_qod, 1, 0);
    }
    std::unique_ptr<QodJournalRecord> asked;
    if (found >= 0) asked = std::make_unique<QodJournalRecord>(m_qod);
    const LONG step1 = StepRegister(c.m_head1Settings.words[2]);
    const LONG step2 = m_params.discHeadMode == 2 ? StepRegister(c.m_head2Settings[2]) : step1;
    StoreQodProfile(&m_qod, 0, c.m_points, c.m_count, step1);
    StoreQodProfile(&m_qod, 1, c.m_points2, c.m_count2, step2);
    StoreQodResult(&m_qod, c.m_discResult);

    bool written = true;
    if (found < 0) {
        written = m_journalQod.Append(journal.text, &m_qod) == 1;
    } else {
        if (m_askBeforeReplace == 1 && ShowMessage(MESSAGE_QUESTION, kTextReplaceDisc) != 1) return 0;
        written = m_journalQod.Replace(journal.text, &m_qod, found, asked.get()) == 1;
    }
    if (!written) {
        ShowSaveFailure(WhyNotWritten(m_journalQod, journal.text, found));
        return 0;
    }
    ShowSaveUnconfirmed(m_journalQod.LastUnconfirmed());
    return 1;
}
