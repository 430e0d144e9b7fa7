// The wheel measurement of device type 1, the averaging of several wheel
// profiles, the result store of a measuring series and the recomputation of
// a stored wheel record.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "measurement/ParamSave.h"
#include "platform/WinKernel.h"

namespace {

constexpr BYTE kHead1 = 1;
constexpr LONG kCompareStep = 250;  // micrometres between compared samples
constexpr int kLapkaReadings = 5;

// Blocks of a dump whose last sample the word names; a dump holds at most 12.
int DumpBlocks(SHORT word)
{
    const int blocks = word / 256 + 1;
    if (blocks < 1)
        return 1;
    return blocks > kMaxDumpBlocks ? kMaxDumpBlocks : blocks;
}

LONG SaturatedLong(int64_t v)
{
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<LONG>(v);
}

bool ValidSlot(int slot)
{
    return slot >= 0 && slot < kStoredResultSlots;
}

}  // namespace

DWORD CMeasureController::ReadHeadDump(BYTE address, BYTE firmware, int blocks, BYTE* buffer, bool* barShown,
                                       bool mayCreateBar, HWND parent, HINSTANCE instance)
{
    std::memset(buffer, 0, kRawDumpBytes);
    if (firmware > SENSOR_FW_LAST_WHOLE_DUMP) {
        if (!*barShown && mayCreateBar) {
            CreateProgress(parent, instance, blocks, kRunBarX, kRunBarY, kRunBarWidth, kRunBarHeight);
            *barShown = true;
            m_barOfRun = true;
        }
        SetProgress(0);
        for (int i = 0; i < blocks; ++i) {
            if (!m_link.ReadBlock(m_port, address, buffer + i * SENSOR_BLOCK_BYTES, i))
                return 0;
            SetProgress(i);
        }
        return static_cast<DWORD>(blocks) * SENSOR_BLOCK_BYTES;
    }
    if (!m_link.ReadDump(m_port, address, buffer))
        return 0;
    return SENSOR_DUMP_BYTES;
}

void CMeasureController::HideRunBar()
{
    if (m_barOfRun)
        ShowProgress(FALSE);
    m_barOfRun = false;
}

int CMeasureController::RunWheel(HWND parent, HINSTANCE instance, BYTE mode, BYTE addToAverage)
{
    SHORT* w = m_head1Settings.words;
    const int blocks = DumpBlocks(w[12]);
    BYTE dump[kRawDumpBytes];
    // A run that fails leaves the measurement before it standing: it is put
    // back on every way out that returns 0.
    KeepMeasurement();
    m_lapka = 0;
    m_barOfRun = false;

    ResetResults(mode);
    m_wheelCalc.CompensateTemperature(m_port, kHead1, g_headRegisterTable, &m_head1Settings,
                                      m_head1Info.firmwareVersion);
    m_link.FlushInput(m_port);
    const int wait = 2 * (w[13] > w[14] ? w[13] : w[14]);
    if (!m_link.StartAndWait(m_port, kHead1, wait)) {
        RestoreMeasurement();
        return 0;
    }

    // The bar of the transfer: old heads send the dump in one piece, and the
    // bar then jumps to its end when it has arrived.
    CreateProgress(parent, instance, blocks, kRunBarX, kRunBarY, kRunBarWidth, kRunBarHeight);
    bool bar = true;
    m_barOfRun = true;
    const DWORD received = ReadHeadDump(kHead1, m_head1Info.firmwareVersion, blocks, dump, &bar, true, parent, instance);
    if (received == 0) {
        HideRunBar();
        RestoreMeasurement();
        return 0;
    }
    if (m_head1Info.firmwareVersion <= SENSOR_FW_LAST_WHOLE_DUMP)
        SetProgress(blocks - 1);

    m_levelMode = (w[5] != 0 || (w[6] > 0 && w[6] < 20000)) ? 1 : 0;
    const DWORD range = m_head1Info.measuringRange;

    if (mode == 0) {
        if (w[7] != 0) {
            DWORD lapka = 0;
            if (m_link.ReadDistanceAveraged(m_port, kHead1, m_head1Info.measuringRange, kLapkaReadings, &lapka))
                m_lapka = lapka;
            if (w[22] != 0) {
                const float scaled = static_cast<float>(m_lapka) * static_cast<float>(w[22]) / 10000.0f;
                m_lapka = scaled <= 0.0f ? 0 : (scaled >= 4294967040.0f ? 0xFFFFFF00u : static_cast<DWORD>(scaled));
            }
        } else {
            m_link.SwitchOff(m_port, kHead1);
        }
        m_wheelCalc.ProcessMeasurement(dump, range, &m_head1Settings, m_lapka, m_headSettings, m_wheelLimits,
                                       m_levelMode, &m_refCount, m_refPoints, &m_refKeys, &m_count, m_points, &m_keys,
                                       &m_result, 0, 0, received);
        // Nothing measured: the screen reports it and nothing can be saved.
        if (m_count == 0) {
            HideRunBar();
            RestoreMeasurement();
            return 0;
        }
        LONG shift = 0, anchor = 0;
        if (m_params.option6 != 1) {
            shift = SaturatedLong(static_cast<int64_t>(m_result.values[0]) - m_refResult.values[0]);
            anchor = m_headSettings.dimensions[DIM_L2];
        }
        m_wheelCalc.CompareWithReference(m_count, m_points, m_refCount, m_refPoints, shift, anchor,
                                         &m_deviationCount, m_deviations, &m_minDeviation, &m_maxDeviation,
                                         &m_maxAbsDeviation, kCompareStep);
        m_wheelCalc.DeviationAreas(m_deviationCount, m_deviations, &m_positiveArea, &m_negativeArea);
        if (addToAverage)
            AddToAverage();
    } else {
        m_wheelCalc.ProcessMeasurement(dump, range, &m_head1Settings, 0, m_headSettings, m_wheelLimits, m_levelMode,
                                       &m_refCount, m_refPoints, &m_refKeys, &m_secondCount, m_secondPoints,
                                       &m_secondKeys, &m_secondResult, 0, mode, received);
        if (m_secondCount == 0) {
            HideRunBar();
            RestoreMeasurement();
            return 0;
        }
        if (mode & 1)
            m_wheelCalc.DeviationAt(m_secondCount, m_secondPoints, m_headSettings, &m_result,
                                    m_refResult.values[0]);
        if (mode & 2)
            m_wheelCalc.WearZones(m_count, m_points, m_secondCount, m_secondPoints, &m_result);
    }
    SetProgress(blocks);
    HideRunBar();
    return 1;
}

// ---------------------------------------------------------------- results

void CMeasureController::ResetResults(int flag)
{
    if (flag == 0) {
        m_result = WheelResult{};
        m_discResult = DiscResult{};
        m_count = 0;
        m_count2 = 0;
        std::memset(m_points, 0, sizeof m_points);
        std::memset(m_points2, 0, sizeof m_points2);
        m_deviationCount = 0;
        std::memset(m_deviations, 0, sizeof m_deviations);
        m_minDeviation = m_maxDeviation = m_maxAbsDeviation = 0;
        m_positiveArea = m_negativeArea = 0;
        m_keys = ProfileKeyPoints{};
        m_keys2 = ProfileKeyPoints{};
    } else {
        m_secondCount = 0;
        std::memset(m_secondPoints, 0, sizeof m_secondPoints);
        m_secondKeys = ProfileKeyPoints{};
    }
}

namespace {

// Whole arrays are copied: a profile's count says nothing about what lies
// past it, and the chart and the save read only up to the count anyway.
template <class T>
void CopyPart(T& to, const T& from)
{
    if constexpr (std::is_array_v<T>)
        std::memcpy(to, from, sizeof to);
    else
        to = from;
}

}  // namespace

// One list of what a run may change, copied in either direction, so that
// keeping and restoring cannot come to differ.
void CMeasureController::CopyKept(bool keep)
{
    KeptMeasurement& k = m_kept;
    auto part = [keep](auto& mine, auto& kept) {
        if (keep)
            CopyPart(kept, mine);
        else
            CopyPart(mine, kept);
    };
    part(m_result, k.result);
    part(m_discResult, k.discResult);
    part(m_count, k.count);
    part(m_count2, k.count2);
    part(m_points, k.points);
    part(m_points2, k.points2);
    part(m_keys, k.keys);
    part(m_keys2, k.keys2);
    part(m_deviationCount, k.deviationCount);
    part(m_deviations, k.deviations);
    part(m_minDeviation, k.minDeviation);
    part(m_maxDeviation, k.maxDeviation);
    part(m_maxAbsDeviation, k.maxAbsDeviation);
    part(m_positiveArea, k.positiveArea);
    part(m_negativeArea, k.negativeArea);
    part(m_secondCount, k.secondCount);
    part(m_secondPoints, k.secondPoints);
    part(m_secondKeys, k.secondKeys);
    part(m_secondResult, k.secondResult);
    part(m_lapka, k.lapka);
    part(m_levelMode, k.levelMode);
    part(m_steps, k.steps);
    part(m_currentStep, k.currentStep);
    part(m_side1State, k.side1State);
    part(m_side2State, k.side2State);
}

void CMeasureController::ClearStoredResults()
{
    m_result = WheelResult{};
    m_discResult = DiscResult{};
    std::memset(m_storedResults, 0, sizeof m_storedResults);
    std::memset(m_storedDiscResults, 0, sizeof m_storedDiscResults);
}

void CMeasureController::StoreResult(int slot)
{
    if (ValidSlot(slot))
        m_storedResults[slot] = m_result;
}

void CMeasureController::LoadResult(int slot)
{
    if (ValidSlot(slot))
        m_result = m_storedResults[slot];
}

void CMeasureController::StoreResultExtra(int slot)
{
    if (ValidSlot(slot))
        m_storedDiscResults[slot] = m_discResult;
}

void CMeasureController::LoadResultExtra(int slot)
{
    if (ValidSlot(slot))
        m_discResult = m_storedDiscResults[slot];
}

// ---------------------------------------------------------------- averaging

namespace {

// The x step of the resampled profile, from the head's step word; 0 when the
// word gives none.
DWORD AverageStep(SHORT word)
{
    if (word <= 0)
        return 0;
    return static_cast<DWORD>(word) / static_cast<DWORD>(StepCodeDivisor(word));
}

}  // namespace

void CMeasureController::ResetAverage()
{
    std::memset(m_averageSum, 0, sizeof m_averageSum);
    m_averageCount = 0;
    m_averageFirstX = 0;
    m_averagePoints = 10000;
}

void CMeasureController::AddToAverage()
{
    // Without a step the profiles cannot be aligned, and an empty profile
    // has nothing to add: neither counts.
    if (AverageStep(m_head1Settings.words[2]) == 0 || m_count == 0)
        return;
    ++m_averageCount;
    AddProfileToAverage();
}

void CMeasureController::AddProfileToAverage()
{
    const DWORD step = AverageStep(m_head1Settings.words[2]);
    if (step == 0)
        return;
    const int64_t c = m_count > kMaxProfilePoints ? kMaxProfilePoints : m_count;
    if (c == 0)
        return;
    const int64_t firstX = m_points[0].x;
    int64_t s = 0, t = 0;
    if (m_averageFirstX < firstX) {
        s = (firstX - m_averageFirstX) / step;
        m_averageFirstX = static_cast<LONG>(firstX);
    } else if (m_averageFirstX > firstX) {
        t = (m_averageFirstX - firstX) / step;
    }
    int64_t points = static_cast<int64_t>(m_averagePoints) - s;
    if (points < 0)
        points = 0;
    if (points > c)
        points = c;
    // Neither the profile nor the sum is ever read past its end.
    if (points > c - t)
        points = c - t > 0 ? c - t : 0;
    if (points > kMaxProfilePoints)
        points = kMaxProfilePoints;
    if (s != 0 && m_averageCount >= 2) {
        for (int64_t i = 0; i < points; ++i)
            m_averageSum[i] = i + s < kMaxProfilePoints ? m_averageSum[i + s] : ProfilePoint{0, 0};
    }
    for (int64_t i = 0; i < points; ++i) {
        m_averageSum[i].x = SaturatedLong(static_cast<int64_t>(m_averageSum[i].x) + m_points[i + t].x);
        m_averageSum[i].z = SaturatedLong(static_cast<int64_t>(m_averageSum[i].z) + m_points[i + t].z);
    }
    m_averagePoints = static_cast<LONG>(points);
}

void CMeasureController::ComputeProfiles()
{
    if (m_averageCount <= 0)
        return;
    LONG points = m_averagePoints;
    if (points < 0)
        points = 0;
    if (points > static_cast<LONG>(kMaxProfilePoints))
        points = kMaxProfilePoints;
    m_count = static_cast<DWORD>(points);
    for (LONG i = 0; i < points; ++i) {
        m_points[i].x = m_averageSum[i].x / m_averageCount;
        m_points[i].z = m_averageSum[i].z / m_averageCount;
    }
    for (DWORD i = m_count; i < kMaxProfilePoints; ++i)
        m_points[i] = ProfilePoint{0, 0};
    m_wheelCalc.Evaluate(m_count, m_points, &m_keys, 0, nullptr, nullptr, m_headSettings, &m_result, 0);
    m_wheelCalc.LogTyreAndDiameter(m_headSettings, &m_head1Settings, m_lapka, &m_keys, &m_result);
    GradeWheel();
}

void CMeasureController::GradeWheel()
{
    m_wheelCalc.CheckTolerances(&m_result, m_wheelLimits, 0);
}

// ---------------------------------------------------------------- stored records

void CMeasureController::RecomputeFromRecord(const QavJournalRecord& record, BYTE deviceType)
{
    ResetResults(0);
    if (deviceType >= 1 && deviceType <= 3) {
        m_paramFile.CalcSettingsFromQavRecord(&m_result, record);
        GradeWheel();
    }
    for (int word = 22; word <= 26; ++word)
        m_result.values[word] = GetQavRecordValue(record, word);
}
