// The disc calculator: decodes a disc head's dump, rotates and crops the
// profile, finds the friction ring's step edges, measures a side and the least
// thickness from both sides, and grades the disc result. It keeps no data.
#pragma once

#include "measurement/HeadRegisters.h"
#include "measurement/ProfileKeyPoints.h"
#include "measurement/WheelCalc.h"
#include "platform/WinDef.h"
#include "settings/DiscResult.h"
#include "settings/ParamFile.h"
#include "settings/ProfilePoint.h"

constexpr int kDiscLimitCount = 16;

class CDiscCalc {
public:
    CDiscCalc() = default;
    ~CDiscCalc() = default;

    void DecodeDump(BYTE* dump, DWORD* count, ProfilePoint* points, const SensorRegisters* regs, DWORD range,
                    LONG zOffset, DWORD dumpBytes = kRawDumpBytes);
    // 1 when the decoded points can be a disc side the head saw (Decode's
    // output for the same words, range and offset), 0 for a garbled dump's.
    int IsPlausibleProfile(DWORD count, const ProfilePoint* points, const SensorRegisters* regs, DWORD range,
                           LONG zOffset);
    void CropToRange(DWORD* count, ProfilePoint* points, LONG unused, LONG limit);
    LONG MinZ(DWORD count, const ProfilePoint* points);
    LONG MaxZ(DWORD count, const ProfilePoint* points);
    LONG ShiftToMinZ(DWORD count, ProfilePoint* points);
    void Rotate(DWORD count, ProfilePoint* points, const SensorRegisters* regs, LONG a, LONG k);
    void FindMinima(DWORD count, const ProfilePoint* points, LONG* xFirstLowest, LONG* xLastLowest, LONG* zCapped,
                    LONG* zLast);
    void SlopeSignal(DWORD count, const ProfilePoint* points, ProfilePoint* out, int window);
    int ExtremumInWindow(DWORD count, const ProfilePoint* points, LONG xFrom, LONG xTo, BYTE mode, BYTE strong);
    int FindStepEdge(DWORD count, const ProfilePoint* points, LONG* fallingX, LONG* risingX);
    void EvaluateSide(DWORD count, const ProfilePoint* points, ProfileKeyPoints* keys, DWORD refCount,
                      const ProfilePoint* refPoints, DiscSettings ds, DiscResult* result, BYTE side);
    void EvaluateBothSides(DWORD countA, const ProfilePoint* pointsA, DWORD countB, const ProfilePoint* pointsB,
                           DWORD refCount, const ProfilePoint* refPoints, ProfileKeyPoints* keysA,
                           ProfileKeyPoints* keysB, DiscSettings ds, DiscResult* result, BYTE unused);
    void CheckTolerances(DiscResult* result, const LONG* limits);
    void Evaluate(const LONG* storedZ, DWORD stepCode, LONG firstX, DWORD count, DiscSettings ds, const LONG* limits,
                  const DWORD* refCount, const ProfilePoint* refPoints, DWORD* outCount, ProfilePoint* outPoints,
                  ProfileKeyPoints* keys, DiscResult* result, BYTE side);
    void MeasureWindows(DWORD count, const ProfilePoint* points, SHORT* tilt, SHORT* offset, LONG a, LONG b);
    void ShiftToFirstX(DWORD count, ProfilePoint* points, SHORT* value);
};
