// Tyre thickness and diameter from the head's Lapka values, and the grading of
// a wheel result against the selected tolerance set.
#include <cstring>

#include "measurement/CalcMath.h"
#include "measurement/WheelCalc.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"

using namespace qcalc;

void CWheelCalc::LogTyreAndDiameter(HeadSettings hs, const SensorRegisters* regs, DWORD measuredLapka,
                                    ProfileKeyPoints* keys, WheelResult* result)
{
    if (regs == nullptr || keys == nullptr || result == nullptr) {
        return;
    }
    const SHORT lapka = regs->words[7];
    if (lapka == 0 || measuredLapka == 0) {
        return;
    }
    ProfilePoint* kp = keys->points;
    LONG* v = result->values;
    char line[200];
    qplat_snprintf(line, sizeof(line), "%s%d;%s%d;%s%d;%s%d;%s%d", "Measured Lapka = ",
                   static_cast<int>(measuredLapka), "ValParamFlash[pLapka]=", static_cast<int>(lapka),
                   "mPoint[0][1] = ", static_cast<int>(kp[0].z), "MinY=", static_cast<int>(result->MinY), "L10=",
                   static_cast<int>(Dim(hs, DIM_L10)));
    AppendDiagnosticLog(line);
    v[7] = 0;
    v[8] = 0;
    const int64_t t = static_cast<int64_t>(measuredLapka) + 10 * static_cast<int64_t>(lapka) - kp[0].z - result->MinY;
    if (SwitchOn(hs, 8)) {
        v[8] = SatLong(t);
        qplat_snprintf(line, sizeof(line), "%s%d", "sTire = ", static_cast<int>(v[8]));
        AppendDiagnosticLog(line);
    }
    if (Dim(hs, DIM_L10) != 0 && SwitchOn(hs, 7)) {
        v[7] = SatLong(static_cast<int64_t>(Dim(hs, DIM_L10)) + 2 * t);
        qplat_snprintf(line, sizeof(line), "%s%d", "sDiam = ", static_cast<int>(v[7]));
        AppendDiagnosticLog(line);
        kp[7] = {Dim(hs, DIM_L2), v[7]};
    }
    kp[8].x = v[8];
}

namespace {

enum Band { kPlain, kPositive, kCeiling50000, kCeiling20000 };

bool InBand(LONG v, LONG upper, LONG lower, Band band)
{
    if (v < lower || v > upper) {
        return false;
    }
    switch (band) {
    case kPositive:
        return v > 0;
    case kCeiling50000:
        return v <= 50000;
    case kCeiling20000:
        return v <= 20000;
    default:
        return true;
    }
}

struct Grade {
    int valueWord;
    int entry;
    Band band;
    bool zeroExempt;  // a value of 0 (not computed) is never graded
};

// Status k grades kGrades[k]; status 2, 12 and 17 are special (see below).
// The angles (values 11 and 12) and the line-fit figures (values 9 and 10)
// are kept in thousandths, and the tolerance editor stores their limits in
// thousandths too ("45" degrees is 45000): they are compared as they are.
constexpr Grade kGrades[kWheelStatusCount] = {
    {0, 0, kPositive, true},      {1, 1, kCeiling50000, true},  {5, 2, kCeiling20000, true},
    {7, 6, kPlain, true},         {8, 7, kPlain, true},         {11, 8, kPlain, true},
    {12, 9, kPlain, true},        {17, 10, kPlain, true},       {9, 11, kPlain, true},
    {10, 11, kPlain, true},       {28, 13, kPlain, true},       {24, 14, kPlain, true},
    {25, 15, kPlain, true},       {26, 16, kPlain, true},       {16, 12, kPlain, false},
    {18, 18, kPlain, false},      {19, 17, kPlain, false},      {0, 0, kPlain, false},
    {13, 3, kPlain, false},       {14, 4, kPlain, false},       {15, 5, kPlain, false},
    {2, 19, kCeiling50000, true}, {3, 20, kCeiling50000, true}, {4, 21, kCeiling50000, true},
};

// Word 25 is graded in whole units of the thousandths it is kept in, and is
// exempt when that quotient is 0.
constexpr int kWholeUnitsStatus = 12;

}  // namespace

void CWheelCalc::CheckTolerances(WheelResult* result, const LONG* limits, BYTE sw)
{
    if (result == nullptr) {
        return;
    }
    std::memset(result->status, 0, sizeof(result->status));
    if (limits == nullptr) {
        return;
    }
    const LONG* upper = limits;
    const LONG* lower = limits + 22;
    const LONG* warnUpper = limits + 44;
    const LONG* warnLower = limits + 66;
    const LONG* v = result->values;
    for (int s = 0; s < kWheelStatusCount; ++s) {
        if (s == 17) {
            result->status[s] = v[21] < v[20] ? kStatusOutOfTolerance : kStatusInTolerance;
            continue;
        }
        Grade g = kGrades[s];
        if (s == 2 && sw == 1) {
            g.valueWord = 6;  // the flange angle, graded as it is kept
            g.band = kPlain;
        }
        const LONG raw = v[g.valueWord];
        const LONG graded = s == kWholeUnitsStatus ? raw / 1000 : raw;
        if (g.zeroExempt && graded == 0) {
            continue;
        }
        const int e = g.entry;
        if (!(upper[e] == 0 && lower[e] == 0) && !InBand(graded, upper[e], lower[e], g.band)) {
            result->status[s] = kStatusOutOfTolerance;
            continue;
        }
        if (!(warnUpper[e] == 0 && warnLower[e] == 0) && !InBand(graded, warnUpper[e], warnLower[e], g.band)) {
            result->status[s] = kStatusWarning;
        }
    }
}
