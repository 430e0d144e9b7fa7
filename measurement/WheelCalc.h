// The wheel calculator: turns a laser head's raw dump into a levelled,
// resampled profile, evaluates it, grades it and compares it with a reference
// profile. It keeps no data: every routine works on the caller's arrays.
#pragma once

#include "measurement/HeadRegisters.h"
#include "measurement/ProfileKeyPoints.h"
#include "platform/WinDef.h"
#include "settings/ParamFile.h"
#include "settings/ProfilePoint.h"
#include "settings/WheelResult.h"

// Bytes of a whole raw dump as the controller always provides it (3072
// samples of four nibble bytes). The decoders never read past the size they
// are given; missing samples read as "no profile".
constexpr DWORD kRawDumpBytes = 12288;

// The 88 wheel tolerance limits: four arrays of 22 (upper, lower, upper
// warning, lower warning).
constexpr int kWheelLimitCount = 88;

class CWheelCalc {
public:
    CWheelCalc() = default;
    ~CWheelCalc() = default;

    // ---- pipeline
    void ProcessMeasurement(BYTE* dump, DWORD range, SensorRegisters* regs, DWORD measuredLapka, HeadSettings hs,
                            const LONG* limits, BYTE levelMode, const DWORD* refCount, const ProfilePoint* refPoints,
                            ProfileKeyPoints* refKeys, DWORD* count, ProfilePoint* points, ProfileKeyPoints* keys,
                            WheelResult* result, LONG evalFlag, BYTE skip, DWORD dumpBytes = kRawDumpBytes);
    void DecodeDump(BYTE* dump, DWORD* count, ProfilePoint* points, HeadSettings hs, SensorRegisters* regs,
                    DWORD range, DWORD dumpBytes = kRawDumpBytes);
    // 1 when the decoded points can be a wheel the head saw (Decode's output
    // for the same words and range), 0 for what a garbled dump decodes into.
    int IsPlausibleProfile(DWORD count, const ProfilePoint* points, const SensorRegisters* regs, DWORD range);
    void Smooth(BYTE window, DWORD count, ProfilePoint* points);
    void MedianFilter(BYTE window, DWORD count, ProfilePoint* points);
    LONG Median(int window, LONG* values);
    void Level(DWORD count, ProfilePoint* points, const SensorRegisters* regs, int mode);
    void ResampleOnX(DWORD* count, ProfilePoint* points, LONG stepWord, LONG startX);
    LONG ShiftToLowest(DWORD count, ProfilePoint* points, BYTE restrict);
    void ScaleZ(DWORD count, ProfilePoint* points, float f);
    void CompensateTemperature(HANDLE port, BYTE address, const HeadRegister* table, SensorRegisters* regs,
                               BYTE firmware);
    int TemperatureFactor(const SensorRegisters* regs, SHORT temperature, float* factor);

    // What the temperature compensation needs of a head; CompensateTemperature
    // speaks to the real head through the sensor link, tests through a stand-in.
    class TemperatureLink {
    public:
        virtual ~TemperatureLink() = default;
        // Converted state reply (firmware 84 and above): 1 and the temperature.
        virtual int ReadStateTemperature(float* celsius) = 0;
        // The old temperature reply (firmware below 84): 1 and the raw word.
        virtual int ReadTemperatureOld(DWORD* value) = 0;
        virtual int WriteRegisters(BYTE firstRegister, BYTE count, const BYTE* values) = 0;
        virtual void Wait(DWORD milliseconds) = 0;
    };
    void CompensateTemperatureWith(TemperatureLink* link, const HeadRegister* table, SensorRegisters* regs,
                                   BYTE firmware);

    // ---- evaluation and grading
    int Evaluate(DWORD count, const ProfilePoint* points, ProfileKeyPoints* keys, DWORD refCount,
                 const ProfilePoint* refPoints, ProfileKeyPoints* refKeys, HeadSettings hs, WheelResult* result,
                 LONG flag);
    void LogTyreAndDiameter(HeadSettings hs, const SensorRegisters* regs, DWORD measuredLapka, ProfileKeyPoints* keys,
                            WheelResult* result);
    void CheckTolerances(WheelResult* result, const LONG* limits, BYTE sw);

    // ---- profile point routines
    LONG InterpolateZAtX(LONG x, LONG x1, LONG z1, LONG x2, LONG z2);
    LONG InterpolateXAtZ(LONG z, LONG x1, LONG z1, LONG x2, LONG z2);
    int LastIndexAtOrBelowX(DWORD count, const ProfilePoint* points, int from, int to, LONG xLimit);
    int FindZBelow(DWORD count, const ProfilePoint* points, int start, int end, LONG zLimit, BYTE firstOnly);
    int LowestPointIndex(DWORD count, const ProfilePoint* points, BYTE restrict);
    int ExtremumInWindow(DWORD count, const ProfilePoint* points, LONG xFrom, LONG xTo, BYTE mode);
    LONG LastNonZeroX(DWORD count, const ProfilePoint* points);
    void PointsBeforeX(double X, double* x1, double* z1, double* x2, double* z2, const ProfilePoint* points,
                       DWORD count);
    float MeanSlopeAngle(DWORD count, const ProfilePoint* points, LONG zLevel, int start, int end, DWORD n);
    DWORD FitLine(LONG X, DWORD count, const ProfilePoint* points, DWORD* value, int* index);
    int IntersectSegments(double x1, double z1, double x2, double z2, double x3, double z3, double x4, double z4,
                          double* X, double* Z);
    LONG IntersectLineWithProfile(DWORD count1, const ProfilePoint* points1, DWORD count2,
                                  const ProfilePoint* points2, LONG zLevel, LONG* xA, LONG* zA, LONG* xB, LONG* zB);
    int ExtendStart(DWORD* count, ProfilePoint* points, const ProfileKeyPoints* keys, int n);

    // The height of the profile at x between points j and j + 1 (point j
    // alone at the profile's end), and the x where it crosses level z.
    LONG HeightBetween(DWORD count, const ProfilePoint* points, int j, LONG x);
    LONG CrossingBetween(DWORD count, const ProfilePoint* points, int j, LONG z);

    // ---- comparison with a reference profile
    LONG MinDeviation(DWORD rowCount, const DeviationRow* rows);
    LONG MaxDeviation(DWORD rowCount, const DeviationRow* rows);
    LONG MaxAbsDeviation(DWORD rowCount, const DeviationRow* rows);
    void CompareWithReference(DWORD count, const ProfilePoint* points, DWORD refCount, const ProfilePoint* refPoints,
                              LONG shift, LONG offset, DWORD* rowCount, DeviationRow* rows, double* minDev,
                              double* maxDev, double* maxAbsDev, LONG step);
    void DeviationAreas(DWORD rowCount, const DeviationRow* rows, double* positiveArea, double* negativeArea);
    void DeviationAt(DWORD count, const ProfilePoint* points, HeadSettings hs, WheelResult* result, LONG shift);
    void WearZones(DWORD count, const ProfilePoint* points, DWORD refCount, const ProfilePoint* refPoints,
                   WheelResult* result);
    void PrepareReference(const LONG* storedZ, StepCode stepCode, LONG firstX, HeadSettings hs, const LONG* limits,
                          const DWORD* refCount, const ProfilePoint* refPoints, ProfileKeyPoints* refKeys,
                          DWORD* outCount, ProfilePoint* outPoints, ProfileKeyPoints* outKeys, WheelResult* result,
                          LONG flag);
};
