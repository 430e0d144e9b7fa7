// The brake-disc measurement of device type 4: one or two laser heads, one
// profile per disc side, the tilt correction, and the recomputation of a
// stored disc record.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "measurement/ParamSave.h"
#include "platform/WinKernel.h"

namespace {

constexpr BYTE kHead1 = 1;
constexpr BYTE kHead2 = 2;
constexpr BYTE kMedianWindow = 31;
constexpr BYTE kSmoothWindow = 9;
constexpr int kTiltPasses = 5;
constexpr DWORD kAfterStartMs = 100;

int DumpBlocks(SHORT word)
{
    const int blocks = word / 256 + 1;
    if (blocks < 1)
        return 1;
    return blocks > kMaxDumpBlocks ? kMaxDumpBlocks : blocks;
}

int StartWait(const SHORT* words)
{
    return words[6] > words[7] ? words[6] : words[7];
}

LONG TruncSaturated(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<LONG>(v);
}

DWORD Bounded(DWORD count)
{
    return count > kMaxProfilePoints ? kMaxProfilePoints : count;
}

}  // namespace

void CMeasureController::DiscSideChain(BYTE* dump, DWORD dumpBytes, const SensorRegisters& words, DWORD range,
                                       LONG zOffset, LONG zMax, DWORD* count, ProfilePoint* points)
{
    m_discCalc.DecodeDump(dump, count, points, &words, range, zOffset, dumpBytes);
    if (*count == 0)
        return;
    if (!m_discCalc.IsPlausibleProfile(*count, points, &words, range, zOffset)) {
        // A garbled transfer, not a disc: the side gets no profile.
        std::memset(points, 0, Bounded(*count) * sizeof(ProfilePoint));
        *count = 0;
        return;
    }
    m_wheelCalc.MedianFilter(kMedianWindow, *count, points);
    m_wheelCalc.Smooth(kSmoothWindow, *count, points);
    m_discCalc.Rotate(*count, points, &words, 0, 1);
    m_discCalc.CropToRange(count, points, 0, zMax);
    if (m_params.discOption1 == 1)
        CorrectDiscTilt(*count, points);
}

int CMeasureController::RunDisc(HWND parent, HINSTANCE instance, BYTE side)
{
    if (side > 2)
        return 0;
    // A disc head's settings are the first words of the register record; the
    // second head's are held apart and widened the same way.
    SensorRegisters head2 = {};
    for (int i = 0; i < kQodHeadWords; ++i)
        head2.words[i] = m_head2Settings[i];
    const int b1 = DumpBlocks(m_head1Settings.words[5]);
    const int b2 = DumpBlocks(head2.words[5]);
    BYTE dump1[kRawDumpBytes];
    BYTE dump2[kRawDumpBytes];
    std::memset(dump2, 0, sizeof dump2);
    m_barOfRun = false;
    // A run that fails (a head silent, a read cut short, no side with a
    // profile) leaves the sides as they were before it.
    KeepMeasurement();

    int started = m_link.StartAndWait(m_port, kHead1, StartWait(m_head1Settings.words));
    Sleep(kAfterStartMs);
    if (side == 0) {
        if (!m_link.StartAndWait(m_port, kHead2, StartWait(head2.words)))
            started = 0;
        Sleep(kAfterStartMs);
    }
    if (!started)
        return 0;

    bool bar = false;
    const DWORD received1 = ReadHeadDump(kHead1, m_head1Info.firmwareVersion, b1, dump1, &bar, true, parent, instance);
    if (received1 == 0) {
        HideRunBar();
        return 0;
    }

    // Without a reference the profile is placed as if its last point lay at 0.
    LONG zLast = 0;
    m_discCalc.FindMinima(m_refCount, m_refPoints, nullptr, nullptr, nullptr, &zLast);
    const LONG zOffset =
        static_cast<LONG>(std::clamp<int64_t>(static_cast<int64_t>(m_discSettings.discL2) - zLast, INT32_MIN,
                                              INT32_MAX));

    DWORD received2 = 0;
    if (side == 0) {
        received2 = ReadHeadDump(kHead2, m_head2Info.firmwareVersion, b2, dump2, &bar, false, parent, instance);
        if (received2 == 0) {
            HideRunBar();
            return 0;
        }
    }
    const LONG zMax = m_discCalc.MaxZ(m_refCount, m_refPoints);
    const DWORD range1 = m_head1Info.measuringRange;

    bool measured = false;
    if (side == 1) {
        DiscSideChain(dump1, received1, m_head1Settings, range1, zOffset, zMax, &m_count, m_points);
        if (m_count > 0) {
            measured = true;
            m_discCalc.EvaluateSide(m_count, m_points, &m_keys, m_refCount, m_refPoints, m_discSettings,
                                    &m_discResult, 1);
            if (m_count2 > 0)
                m_discCalc.EvaluateBothSides(m_count, m_points, m_count2, m_points2, m_refCount, m_refPoints,
                                             &m_keys, &m_keys2, m_discSettings, &m_discResult, 0);
            m_discCalc.CheckTolerances(&m_discResult, m_discLimits);
            m_side1State = 3;
        } else {
            ForgetDiscSide(1);
        }
    } else if (side == 2) {
        DiscSideChain(dump1, received1, m_head1Settings, range1, zOffset, zMax, &m_count2, m_points2);
        if (m_count2 > 0) {
            measured = true;
            m_discCalc.EvaluateSide(m_count2, m_points2, &m_keys2, m_refCount, m_refPoints, m_discSettings,
                                    &m_discResult, 2);
            if (m_count > 0)
                m_discCalc.EvaluateBothSides(m_count, m_points, m_count2, m_points2, m_refCount, m_refPoints,
                                             &m_keys, &m_keys2, m_discSettings, &m_discResult, 0);
            m_discCalc.CheckTolerances(&m_discResult, m_discLimits);
            m_side2State = 3;
        } else {
            ForgetDiscSide(2);
        }
    } else {
        DiscSideChain(dump1, received1, m_head1Settings, range1, zOffset, zMax, &m_count, m_points);
        if (m_count > 0) {
            measured = true;
            m_side1State = 3;
            m_discCalc.EvaluateSide(m_count, m_points, &m_keys, m_refCount, m_refPoints, m_discSettings,
                                    &m_discResult, 1);
        } else {
            ForgetDiscSide(1);
        }
        DiscSideChain(dump2, received2, head2, m_head2Info.measuringRange, zOffset, zMax, &m_count2, m_points2);
        if (m_count2 > 0) {
            measured = true;
            m_side2State = 3;
            m_discCalc.EvaluateSide(m_count2, m_points2, &m_keys2, m_refCount, m_refPoints, m_discSettings,
                                    &m_discResult, 2);
        } else {
            ForgetDiscSide(2);
        }
        if (m_count > 0 && m_count2 > 0)
            m_discCalc.EvaluateBothSides(m_count, m_points, m_count2, m_points2, m_refCount, m_refPoints, &m_keys,
                                         &m_keys2, m_discSettings, &m_discResult, 0);
        if (measured)
            m_discCalc.CheckTolerances(&m_discResult, m_discLimits);
    }
    SetProgress(b1);
    HideRunBar();
    // No side of this run gave a profile: nothing was measured.
    if (!measured) {
        RestoreMeasurement();
        return 0;
    }
    return 1;
}

void CMeasureController::ForgetDiscSide(BYTE side)
{
    const int first = side == 1 ? 0 : 3;
    for (int v : {first, first + 1, first + 2, 6}) {
        m_discResult.values[v] = 0;
        m_discResult.status[v] = 0;
    }
    (side == 1 ? m_keys : m_keys2) = ProfileKeyPoints{};
    LONG& state = side == 1 ? m_side1State : m_side2State;
    state &= ~2;  // bit 1: the side holds a measurement
}

void CMeasureController::SetDiscOptions(BYTE side1Measured, BYTE side2Measured)
{
    m_discSide = 1;
    m_side1State = side1Measured ? 3 : 1;
    m_side2State = side2Measured ? 2 : 0;
}

void CMeasureController::CorrectDiscTilt(DWORD count, ProfilePoint* points)
{
    if (points == nullptr)
        return;
    const DWORD n = Bounded(count);
    if (n == 0)
        return;
    SHORT tilt = 0, zShift = 0, xShift = 0;
    ProfilePoint work[kMaxProfilePoints] = {};
    std::memcpy(work, points, n * sizeof(ProfilePoint));
    for (int pass = 0; pass < kTiltPasses; ++pass) {
        LONG a = 0, b = 0;
        m_discCalc.FindStepEdge(n, work, &a, &b);
        m_discCalc.MeasureWindows(n, work, &tilt, &zShift, a, b);
        RotateAndShift(n, points, work, 0, 0, tilt);
    }
    m_discCalc.ShiftToFirstX(n, work, &xShift);
    RotateAndShift(n, points, points, xShift, zShift, tilt);
}

void CMeasureController::RotateAndShift(DWORD count, const ProfilePoint* source, ProfilePoint* destination,
                                        LONG xShift, LONG zShift, SHORT tilt)
{
    if (source == nullptr || destination == nullptr)
        return;
    const DWORD n = Bounded(count);
    const float r = static_cast<float>(tilt) / 10000.0f;
    const double c = std::cos(static_cast<double>(r));
    const double s = std::sin(static_cast<double>(r));
    LONG xs[kMaxProfilePoints];
    LONG zs[kMaxProfilePoints];
    for (DWORD i = 0; i < n; ++i) {
        const double x = source[i].x;
        const double z = source[i].z;
        xs[i] = TruncSaturated(x * c - z * s + xShift);
        zs[i] = TruncSaturated(x * s + z * c + zShift);
    }
    for (DWORD i = 0; i < n; ++i)
        destination[i] = ProfilePoint{xs[i], zs[i]};
}

void CMeasureController::RecomputeDiscRecord(const QodJournalRecord& record)
{
    ResetResults(0);
    if (record.countA > 0) {
        const DWORD n = Bounded(static_cast<DWORD>(record.countA));
        m_discCalc.Evaluate(record.profileA, static_cast<DWORD>(record.stepRegisterA), record.firstXA, n,
                            m_discSettings, m_discLimits, &m_refCount, m_refPoints, &m_count, m_points, &m_keys,
                            &m_discResult, 1);
    }
    if (record.countB > 0) {
        const DWORD n = Bounded(static_cast<DWORD>(record.countB));
        m_discCalc.Evaluate(record.profileB, static_cast<DWORD>(record.stepRegisterB), record.firstXB, n,
                            m_discSettings, m_discLimits, &m_refCount, m_refPoints, &m_count2, m_points2, &m_keys2,
                            &m_discResult, 2);
    }
    m_discResult.values[6] = GetQodRecordValue(record, 6);
    m_discCalc.CheckTolerances(&m_discResult, m_discLimits);
}
