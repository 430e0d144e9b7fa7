// The train being measured and its measuring order.
//
// A train is up to 40 cars of up to 36 axles, each axle with three wheel
// positions (left, right, middle). From the cars the scheme builds the order in
// which the positions are measured (one of six order types), keeps a state word
// for every position (bit 0 current, bit 1 measured), walks the order by
// position and by car, and links a position to its stored journal record.
//
// Device type 3 (the gauge that measures a whole axle) walks axles instead of
// wheel positions. The device type and the journal names are read from the
// settings file by the operations that need them, so the scheme follows the
// settings the operator changed while it was open.
//
// A CScheme is large (every car inline): create it on the heap.
#pragma once

#include <vector>

#include "platform/WinDef.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/JournalRecords.h"
#include "settings/ParamFile.h"

constexpr int SCHEME_MAX_CARS = 40;
constexpr int SCHEME_MAX_AXLES = 36;
constexpr int SCHEME_SIDES = 3;
// The order has room for every wheel of 40 cars of 36 two-wheel axles.
constexpr int SCHEME_MAX_ORDER = 2880;
constexpr int SCHEME_MAX_AXLE_ENTRIES = SCHEME_MAX_CARS * SCHEME_MAX_AXLES;

// Text widths, terminator included.
constexpr int SCHEME_WHEEL_TEXT_CHARS = 100;
constexpr int SCHEME_WHEEL_NAME_CHARS = 20;
constexpr int SCHEME_AXLE_NAME_CHARS = 10;
constexpr int SCHEME_AXLE_THIRD_NAME_CHARS = 20;
constexpr int SCHEME_BOGIE_TEXT_CHARS = 10;
constexpr int SCHEME_CAR_NAME_CHARS = 20;
constexpr int SCHEME_CAR_NUMBER_CHARS = 20;
constexpr int SCHEME_TRAIN_NAME_CHARS = 40;

// Wheel sides, the same numbers in the model, the files and the record's side
// digit.
enum SchemeSide { SIDE_LEFT = 0, SIDE_RIGHT = 1, SIDE_MIDDLE = 2 };

// State word of a position.
constexpr LONG STATE_CURRENT = 1;
constexpr LONG STATE_MEASURED = 2;

struct SchemeWheel {
    WCHAR text[SCHEME_WHEEL_TEXT_CHARS];  // goes into the record's note text
    WCHAR name[SCHEME_WHEEL_NAME_CHARS];
    LONG state;
    BYTE present;  // 1 when the scheme names this position
};

struct SchemeAxle {
    WCHAR name[SCHEME_AXLE_NAME_CHARS];
    WCHAR secondName[SCHEME_AXLE_NAME_CHARS];
    WCHAR thirdName[SCHEME_AXLE_THIRD_NAME_CHARS];
    LONG axleEntryIndex;  // the axle entry that names this axle
    LONG layout;          // number of present wheels: 1 middle, 2 left and right, 3 all
    SchemeWheel wheels[SCHEME_SIDES];  // left, right, middle
    WCHAR bogieText[SCHEME_BOGIE_TEXT_CHARS];
};

struct SchemeCar {
    BYTE reversed;  // the car stands turned round
    BYTE swapped;   // its left and right are named the other way round
    WCHAR name[SCHEME_CAR_NAME_CHARS];
    WCHAR numberText[SCHEME_CAR_NUMBER_CHARS];
    WCHAR trainName[SCHEME_TRAIN_NAME_CHARS];
    LONG axleCount;  // 1 to 36
    LONG bogieCount;
    SchemeAxle axles[SCHEME_MAX_AXLES];
};

// One position of the measuring order. Axle and side name the wheel itself:
// for a reversed car the walk's axle is mirrored and left and right exchanged.
struct OrderEntry {
    LONG car;
    LONG axle;
    LONG side;
    LONG state;
    LONG reversed;
    LONG swapped;
};

// One axle position, walked by device type 3.
struct AxleEntry {
    LONG car;
    LONG axle;
    LONG state;
};

class CScheme {
public:
    CScheme();
    virtual ~CScheme();
    CScheme(const CScheme&) = delete;
    CScheme& operator=(const CScheme&) = delete;

    // Builds the order of order type 1..6 over the first carCount cars and
    // makes its first position current. 1 when the order holds at least one
    // position; 0 when it is empty (an unknown order type, no present wheel)
    // or would hold more than SCHEME_MAX_ORDER positions: the scheme cannot be
    // walked, the order is left empty and all four end flags are set, so no
    // move does anything.
    int BuildOrder(int orderType, int carCount);
    // Appends the position (car, axle, side) at *count when that wheel is
    // present; 1 appended, 0 absent or no room left.
    // (axle and side as the walk meets them; for a reversed car the entry and
    // the presence test both take the mirrored wheel).
    int AddOrderEntry(int* count, int car, int axle, int side);
    // Device type 3 walks the axle entries that have a wheel to measure: a
    // blank axle of the scheme is passed over, the walk starts on the first
    // axle that has one, and its ends are the first and last such axles. The
    // wheel name and side digit of an axle's records are those of the axle's
    // own first position in the order.
    void NumberAxles();
    void EnterAxle();
    void MoveToAxle(int axleEntry);
    void MoveToCar(int car);
    // Makes the entry's position current; a state >= 0 is stored in the entry
    // and its wheel (device type 3: both wheels of the axle and the axle entry).
    void SelectEntry(int entry, int state);
    void UpdateEndFlags();

    void NextPosition();
    void PrevPosition();
    void NextCar();
    void PrevCar();
    void MoveToEntry(int entry);
    void MarkCurrentMeasured();
    LONG GetCurrentState();
    // Index of the current axle's entry in the axle list (device type 3 keeps
    // one stored result per axle under it).
    int GetAxleListIndex() const;

    // Names of the current position into a record, each cut to its field.
    void FillRecordNames(QavJournalRecord* record) const;
    void FillRecordNamesQod(QodJournalRecord* record) const;
    // Names the operator edited in a record back into the scheme.
    void TakeRecordNames(const QavJournalRecord& record);
    void TakeRecordNamesQod(const QodJournalRecord& record);

    // Index of the first record from `start` on in the current journal that
    // stores the query's position and date, or -1. With copyOut the stored
    // record is copied over the query.
    int FindRecord(QavJournalRecord* query, BYTE copyOut, int start);
    int FindRecordQod(QodJournalRecord* query, BYTE copyOut, int start);
    // Sets the measured bit of every position from the current journal; entry
    // 0 is current afterwards. `record` supplies the date and other fields.
    void MarkMeasuredPositions(int deviceType, const QavJournalRecord& record);
    void MarkMeasuredPositionsQod(const QodJournalRecord& record);

    // The same over the current journal's records read once by the caller
    // (ReadJournal), for work that visits every position: a series over a
    // long train reads its journal once, not once per position. The device
    // type of the settings file decides, as in the operations above.
    // ReadJournal: 1 when every record was read (a journal without records
    // included), 0 when the journal could not be opened or read (the list is
    // then empty).
    int ReadJournal(std::vector<QavJournalRecord>* records);
    int ReadJournalQod(std::vector<QodJournalRecord>* records);
    int FindRecordIn(const std::vector<QavJournalRecord>& records, QavJournalRecord* query, BYTE copyOut, int start);
    int FindRecordInQod(const std::vector<QodJournalRecord>& records, QodJournalRecord* query, BYTE copyOut,
                        int start);
    void MarkMeasuredPositionsIn(const std::vector<QavJournalRecord>& records, int deviceType,
                                 const QavJournalRecord& record);
    void MarkMeasuredPositionsInQod(const std::vector<QodJournalRecord>& records, const QodJournalRecord& record);

    int SumAxleLayouts(int carCount) const;
    int CountAxles(int carCount) const;

    // Number of positions the order of orderType over these cars holds
    // (counting past SCHEME_MAX_ORDER), without building it.
    static int CountOrderPositions(const SchemeCar* cars, int carCount, int orderType);

    int orderCount = 0;
    int carCount = 0;
    int axleCount = 0;
    int orderType = 0;
    int currentEntry = 0;
    int currentAxleEntry = 0;
    int currentCar = 0;
    int currentAxle = 0;
    int currentSide = 0;
    SchemeCar cars[SCHEME_MAX_CARS] = {};
    AxleEntry axleEntries[SCHEME_MAX_AXLE_ENTRIES] = {};
    OrderEntry order[SCHEME_MAX_ORDER] = {};
    int atFirst = 0;
    int atLast = 0;
    int atFirstCar = 0;
    int atLastCar = 0;

private:
    int ReadDeviceType();
    // Device type 3: an axle entry whose axle has a wheel to measure; the
    // next such entry from `from` in direction step (+1 or -1), or -1.
    bool AxleMeasurable(int axleEntry) const;
    int NextMeasurableAxle(int from, int step) const;
    // The first order entry naming that axle, or -1.
    int FirstEntryOnAxle(int car, int axle) const;
    // Makes the first measurable axle current, alone.
    void StartAxleWalk();
    void SelectEntryAs(int entry, int state, int deviceType);
    void UpdateEndFlagsAs(int deviceType);
    void MarkAllEnds();
    // The measured marks of device type 3, one decision per axle.
    void MarkMeasuredAxles(const std::vector<QavJournalRecord>& records, int deviceType, QavJournalRecord* work);
    void LeaveEntry(int deviceType);
    void EnterEntry(int deviceType);
    // The current journal's records, or an empty list (-1 from the finders);
    // 0 when the journal could not be opened or read.
    int ReadQavJournal(std::vector<QavJournalRecord>* records);
    int ReadQodJournal(std::vector<QodJournalRecord>* records);
    SchemeAxle* CurrentAxlePtr();
    const SchemeAxle* CurrentAxlePtr() const;

    CDBJournalQav m_journalQav;
    CDBJournalQod m_journalQod;
    CParamFile m_paramFile;
    ParamBlock m_paramBlock = {};
};


// Fills a scheme for the editor's preview: n cars of m axles of one layout,
// named by their numbers. No order is built.
void BuildDefaultScheme(CScheme* scheme, int carCount, int axlesPerCar, int orderType, int layout);

// The first 12 characters of a text without its blanks, right-aligned in a
// field of 12 filled with "0". The result lives in one buffer per thread.
const WCHAR* FormatSerialField(const WCHAR* text);
