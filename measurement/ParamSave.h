// The measuring controller: the one object through which the measuring screens
// run a measurement. It owns the links of both sensor command sets, the two
// calculators, the tolerance sets, its own copy of the settings block, the
// head information and settings of up to two laser heads, the profile
// buffers, the current result and the stored results of a measuring series.
// The screens call its operations and then read its result members directly.
//
// Results are 1 for success and 0 for failure. Every operation runs on the
// user-interface thread; whoever calls an operation that talks to a head has
// stopped the link monitor, which otherwise uses the same port.
#pragma once

#include "measurement/DiscCalc.h"
#include "measurement/HeadRegisters.h"
#include "measurement/ProfileKeyPoints.h"
#include "measurement/ReferStore.h"
#include "measurement/WheelCalc.h"
#include "platform/WinDef.h"
#include "sensor/ByteCmdLink.h"
#include "sensor/SensorLink.h"
#include "settings/CatalogFiles.h"
#include "settings/DiscResult.h"
#include "settings/JournalRecords.h"
#include "settings/ParamFile.h"
#include "settings/ProfilePoint.h"
#include "settings/WheelResult.h"

// Slots of the series store: one per position of a measuring series.
constexpr int kStoredResultSlots = 2880;
// Measuring steps of the type 3 gauge.
constexpr int kMaxMeasureSteps = 6;
// Words of a disc head's settings (entries of g_qodRegisterTable).
constexpr int kQodHeadWords = kQodRegisterCount;
// A dump is at most 12 blocks of 1024 bytes (3072 samples of four bytes).
constexpr int kMaxDumpBlocks = 12;

// Places of the progress bars.
constexpr int kSetupBarX = 3, kSetupBarY = 252, kSetupBarWidth = 474, kSetupBarHeight = 16;
constexpr int kRunBarX = 140, kRunBarY = 220, kRunBarWidth = 300, kRunBarHeight = 20;

// One measuring step of the type 3 gauge.
struct MeasureStep {
    LONG value;   // micrometres, as the gauge delivers them
    LONG state;   // bit 0 the current step, bit 1 the step holds a value
    LONG status;  // tolerance status of the value: 0 in, 1 warning, 2 out
};
static_assert(sizeof(MeasureStep) == 12, "three 32-bit values");

// Step states.
constexpr LONG kStepCurrent = 1;
constexpr LONG kStepSet = 2;

class CMeasureController {
public:
    CMeasureController();
    ~CMeasureController();

    CMeasureController(const CMeasureController&) = delete;
    CMeasureController& operator=(const CMeasureController&) = delete;

    // ---- set-up (the measuring launchers)
    void SetPort(HANDLE port);
    int SetPortOnly(HANDLE port);
    // Identifies head 1 (and head 2 of a two-head disc device) once per
    // link: over another port than the one they were identified over, the
    // heads are identified and their settings read again.
    int AttachPort(HANDLE port);
    void LoadQavTolerances();
    void LoadQodTolerances();
    void ApplyParams();
    int ReadHeadSettings(HWND parent, HINSTANCE instance);
    int ReadQodHeadSettings(HWND parent, HINSTANCE instance);
    // The settings menu calls this after the operator picked another paired
    // sensor: the next launch identifies the heads and reads their settings
    // again. A failed set-up or run does the same for both heads, so what a
    // garbled answer taught is not kept.
    void ForgetHeads();

    // ---- the progress bar
    void CreateProgress(HWND parent, HINSTANCE instance, int range, int x, int y, int width, int height);
    void ShowProgress(BOOL show);
    void SetProgress(int position);

    // ---- wheel run and series results
    // mode 0 measures the profile; 1 to 3 a second profile compared with it
    // (bit 0 the deviation at the measuring position, bit 1 the wear zones).
    int MeasureWheel(HWND parent, HINSTANCE instance, BYTE mode, BYTE addToAverage);
    void ResetResults(int flag);
    void ClearStoredResults();
    // Slots outside the store are refused (nothing is copied).
    void StoreResult(int slot);
    void LoadResult(int slot);
    void StoreResultExtra(int slot);
    void LoadResultExtra(int slot);
    void ResetAverage();
    void AddToAverage();
    void AddProfileToAverage();
    void ComputeProfiles();
    void RecomputeFromRecord(const QavJournalRecord& record, BYTE deviceType);

    // ---- gauges and measuring steps
    int ZeroGauge();
    int MeasureQun(BYTE zeroFirst);
    int MeasureQem(BYTE zeroFirst);
    // A step of device type 3 along a scheme: the gauge zeroed, then the step
    // read, as one run. 1 measured; 0 the reading failed, and the zeroing is
    // undone with it (the step keeps the value it had); -1 the zeroing failed
    // and nothing was read.
    int ZeroAndMeasureQem(BYTE zeroFirst);
    void InitSteps();
    void SaveSteps();
    void NextStep();
    void PrevStep();
    void SelectFreeStep();
    // The number of measuring steps the settings ask for, held to 1..6.
    int StepCount() const;

    // ---- disc run
    // side 1 measures side 1 with head 1, 2 side 2 with head 1, 0 both sides
    // with head 1 and head 2.
    int MeasureDisc(HWND parent, HINSTANCE instance, BYTE side);
    void SetDiscOptions(BYTE side1Measured, BYTE side2Measured);
    void RecomputeDiscRecord(const QodJournalRecord& record);
    void CorrectDiscTilt(DWORD count, ProfilePoint* points);
    void RotateAndShift(DWORD count, const ProfilePoint* source, ProfilePoint* destination, LONG xShift, LONG zShift,
                        SHORT tilt);

    // ---- members the screens read
    HWND m_progress = nullptr;
    BOOL m_head1Identified = FALSE;
    BOOL m_head2Identified = FALSE;
    BOOL m_head1SettingsRead = FALSE;
    BOOL m_head2SettingsRead = FALSE;
    // The last AttachPort failed because a head answered what cannot be an
    // identification (the launcher says so rather than "no answer").
    BOOL m_headAnswerUnreadable = FALSE;
    HANDLE m_port = nullptr;  // not owned: the link monitor opens and closes it
    // The port the heads were identified over. The link monitor opens a new
    // port for every link, and a new link may reach another head at the
    // sensor's address (another range, other settings).
    HANDLE m_headsPort = nullptr;
    SensorInfo m_head1Info = {};
    SensorInfo m_head2Info = {};
    HeadSettings m_headSettings = {};
    WheelResult m_result = {};
    WheelResult m_storedResults[kStoredResultSlots] = {};
    LONG m_wheelLimits[kWheelLimitCount] = {};
    DiscSettings m_discSettings = {};
    DiscResult m_discResult = {};
    DiscResult m_storedDiscResults[kStoredResultSlots] = {};
    LONG m_discLimits[kDiscLimitCount] = {};

    SensorRegisters m_head1Settings = {};
    SHORT m_head2Settings[kQodHeadWords] = {};

    // The measured wheel profile or disc side 1, and disc side 2.
    DWORD m_count = 0;
    DWORD m_count2 = 0;
    ProfilePoint m_points[kMaxProfilePoints] = {};
    ProfilePoint m_points2[kMaxProfilePoints] = {};

    // Running sums of the averaged wheel profiles, aligned on their x.
    ProfilePoint m_averageSum[kMaxProfilePoints] = {};
    LONG m_averageCount = 0;
    LONG m_averageFirstX = 0;
    LONG m_averagePoints = 10000;

    // Key points of the wheel profile; a disc uses the first three of each
    // set (side 1, side 2).
    ProfileKeyPoints m_keys = {};
    ProfileKeyPoints m_keys2 = {};

    // The reference profile named in the settings and its own evaluation.
    DWORD m_refCount = 0;
    ProfilePoint m_refPoints[kMaxProfilePoints] = {};
    ProfileKeyPoints m_refKeys = {};
    WheelResult m_refResult = {};

    // Comparison of the measured profile with the reference.
    DWORD m_deviationCount = 0;
    DeviationRow m_deviations[kMaxDeviationRows] = {};
    double m_minDeviation = 0;
    double m_maxDeviation = 0;
    double m_maxAbsDeviation = 0;
    double m_positiveArea = 0;
    double m_negativeArea = 0;

    // The second wheel profile of the comparison modes.
    DWORD m_secondCount = 0;
    ProfilePoint m_secondPoints[kMaxProfilePoints] = {};
    ProfileKeyPoints m_secondKeys = {};
    WheelResult m_secondResult = {};

    DWORD m_lapka = 0;     // averaged distance reading of the last wheel run
    BYTE m_levelMode = 0;  // chosen by each wheel run for the levelling

    MeasureStep m_steps[kMaxMeasureSteps] = {};
    LONG m_currentStep = 0;
    BOOL m_stepsReady = FALSE;  // the table was built from a result

    // Disc options: the side selection and the two side states (bit 0 the
    // selected side, bit 1 the side holds a measurement).
    LONG m_side1State = 0;
    LONG m_side2State = 0;
    BYTE m_discSide = 0;

    // Owned objects, in their order of construction.
    CDopuskQavFile m_qavToleranceFile;
    DopuskQavRecord* m_qavRecords = nullptr;  // only during LoadQavTolerances
    CDopuskQodFile m_qodToleranceFile;
    DopuskQodRecord* m_qodRecords = nullptr;  // only during LoadQodTolerances
    CWheelCalc m_wheelCalc;
    CDiscCalc m_discCalc;
    CSensorLink m_link;
    CByteCmdLink m_byteLink;
    CParamFile m_paramFile;
    ParamBlock m_params = {};
    CReferStore m_referStore;

private:
    // One head's identification into *info, only when it is plausible.
    int IdentifyHead(BYTE address, SensorInfo* info);
    // A failed set-up or run forgets both heads; the result passes through.
    int Learned(int result);
    // Before a run over a link the heads were not set up on: identifies them
    // and reads their settings again (0 when that fails).
    int SetUpHeadsOfThisLink(HWND parent, HINSTANCE instance, bool disc);
    int RunWheel(HWND parent, HINSTANCE instance, BYTE mode, BYTE addToAverage);
    int RunDisc(HWND parent, HINSTANCE instance, BYTE side);
    // Clears the settings copy and loads it from "param.qav"; a missing file
    // leaves it cleared.
    void ReloadParams();
    // What a run changes of the current measurement: results, profiles, key
    // points, the comparison, the second profile, the measuring steps and the
    // disc side states. Every run keeps it before it starts and puts it back
    // when it fails, so that a failed run leaves the previous measurement as
    // it was.
    void KeepMeasurement() { CopyKept(true); }
    void RestoreMeasurement() { CopyKept(false); }
    void CopyKept(bool keep);
    // Reads one head's words of a register table, the bar following.
    int ReadRegisterWords(BYTE address, const HeadRegister* table, int first, int count, SHORT* words);
    // Grades the current wheel result against the wheel limits.
    void GradeWheel();
    // Value 28 and status byte 10 from the current step.
    void ShowCurrentStep();
    bool StepTableInUse() const;
    bool ValidStep(LONG index) const;
    // One head's dump into buffer (kRawDumpBytes, zeroed): the bytes it
    // holds, 0 when the read failed.
    DWORD ReadHeadDump(BYTE address, BYTE firmware, int blocks, BYTE* buffer, bool* barShown, bool mayCreateBar,
                       HWND parent, HINSTANCE instance);
    void DiscSideChain(BYTE* dump, DWORD dumpBytes, const SensorRegisters& words, DWORD range, LONG zOffset,
                       LONG zMax, DWORD* count, ProfilePoint* points);
    // A side (1 or 2) measured again without a profile no longer holds the
    // values, key points and thickness of its earlier profile.
    void ForgetDiscSide(BYTE side);
    void HideRunBar();

    bool m_barOfRun = false;  // a bar was created by the run under way

    // The measurement as it was before the run under way.
    struct KeptMeasurement {
        WheelResult result;
        DiscResult discResult;
        DWORD count, count2;
        ProfilePoint points[kMaxProfilePoints];
        ProfilePoint points2[kMaxProfilePoints];
        ProfileKeyPoints keys, keys2;
        DWORD deviationCount;
        DeviationRow deviations[kMaxDeviationRows];
        double minDeviation, maxDeviation, maxAbsDeviation, positiveArea, negativeArea;
        DWORD secondCount;
        ProfilePoint secondPoints[kMaxProfilePoints];
        ProfileKeyPoints secondKeys;
        WheelResult secondResult;
        DWORD lapka;
        BYTE levelMode;
        MeasureStep steps[kMaxMeasureSteps];
        LONG currentStep;
        LONG side1State, side2State;
    };
    KeptMeasurement m_kept = {};
};

