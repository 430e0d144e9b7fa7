// The scheme model: the measuring order, its walk and the link to the journal.
#include "scheme/Scheme.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "platform/WinText.h"
#include "scheme/SchemeOrder.h"

namespace {

template <size_t N>
void SetText(WCHAR (&field)[N], const WCHAR* text)
{
    qplat::CopyField(field, N, text);
}

// A stored field (that may lack its terminator) into a scheme text, both cut
// to their widths.
template <size_t N, size_t M>
void SetFieldText(WCHAR (&target)[N], const WCHAR (&field)[M])
{
    const std::u16string text = qplat::FieldText(field, M);
    qplat::CopyField(target, N, text.c_str());
}

template <size_t N>
bool FieldsEqual(const WCHAR (&a)[N], const WCHAR (&b)[N])
{
    return wcsncmp(a, b, N) == 0;
}

bool ValidSide(int side)
{
    return side >= SIDE_LEFT && side <= SIDE_MIDDLE;
}

// The record's side digit: a swapped car names its left and right the other
// way round.
void SideDigit(WCHAR (&field)[2], int side, bool swapped)
{
    int digit = side;
    if (swapped && side < SIDE_MIDDLE)
        digit = 1 - side;
    field[0] = static_cast<WCHAR>(u'0' + (ValidSide(digit) ? digit : 0));
    field[1] = 0;
}

// The wheel a step of the walk names: a reversed car is met from its last
// axle, with left and right exchanged (the middle stays).
struct NamedWheel {
    int axle;
    int side;
};

NamedWheel NameOf(const SchemeCar& car, int axle, int side)
{
    const int m = scheme_order::ClampAxles(car.axleCount);
    if (car.reversed && axle < m)
        return {m - 1 - axle, side < SIDE_MIDDLE ? 1 - side : side};
    return {axle, side};
}

// Walks order type t over the cars and reports every step as the wheel it
// names. Every test of the walk (the layout of types 1 and 2) and of presence
// is made on that wheel, so the order never names a wheel the scheme lacks
// nor leaves out one it has.
template <class Visit>
void WalkNamed(const SchemeCar* cars, int type, int carCount, Visit visit)
{
    scheme_order::Walk(
        type, carCount, [&](int c) { return cars[c].axleCount; },
        [&](int c, int a) { return cars[c].axles[NameOf(cars[c], a, SIDE_LEFT).axle].layout; }, [](int) {},
        [&](int c, int a, int s) {
            const NamedWheel named = NameOf(cars[c], a, s);
            visit(c, a, s, cars[c].axles[named.axle].wheels[named.side].present == 1);
        });
}

template <class Record>
bool SamePosition(const Record& stored, const Record& query, bool compareSide)
{
    return FieldsEqual(stored.wheelName, query.wheelName) && FieldsEqual(stored.date, query.date) &&
           FieldsEqual(stored.carName, query.carName) && FieldsEqual(stored.carNumber, query.carNumber) &&
           FieldsEqual(stored.axleName, query.axleName) && (!compareSide || FieldsEqual(stored.side, query.side));
}

template <class Record>
int FindIn(const std::vector<Record>& records, const Record& query, int start, bool compareSide)
{
    const int count = static_cast<int>(records.size());
    for (int i = start < 0 ? 0 : start; i < count; ++i) {
        if (SamePosition(records[i], query, compareSide))
            return i;
    }
    return -1;
}

// Whether a stored wheel-family record holds a result of the device type.
bool HoldsResult(const QavJournalRecord& record, int deviceType)
{
    static_assert(offsetof(QavJournalRecord, values0to2) == 23620);
    static_assert(offsetof(QavJournalRecord, values4to34) + 4 * 1 == 23636);
    static_assert(offsetof(QavJournalRecord, values4to34) + 4 * 3 == 23644);
    static_assert(offsetof(QavJournalRecord, values4to34) + 4 * 24 == 23728);
    switch (deviceType) {
    case 1:
        return record.values0to2[0] != 0 || record.values0to2[1] != 0 || record.values4to34[1] != 0;
    case 2:
        return record.values4to34[3] != 0;
    case 3:
        return record.values4to34[24] != 0;
    default:
        return false;
    }
}

}  // namespace

CScheme::CScheme()
{
    orderCount = 2;
    axleCount = 1;
    cars[0].axleCount = 1;
    cars[0].bogieCount = 1;
    SetText(cars[0].axles[0].wheels[0].name, u"1");
}

CScheme::~CScheme() = default;

int CScheme::ReadDeviceType()
{
    m_paramFile.Load(&m_paramBlock);
    return m_paramBlock.deviceType;
}

int CScheme::CountOrderPositions(const SchemeCar* cars, int carCount, int orderType)
{
    if (cars == nullptr)
        return 0;
    int count = 0;
    WalkNamed(cars, orderType, carCount, [&](int, int, int, bool present) {
        if (present)
            ++count;
    });
    return count;
}

int CScheme::BuildOrder(int type, int n)
{
    const int deviceType = ReadDeviceType();
    carCount = n < 0 ? 0 : n > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : n;
    std::memset(order, 0, sizeof(order));
    int k = 0;
    bool overflow = false;
    WalkNamed(cars, type, carCount, [&](int c, int a, int s, bool present) {
        if (!AddOrderEntry(&k, c, a, s) && present)
            overflow = true;
    });
    orderType = type;
    currentEntry = 0;
    currentAxleEntry = 0;
    currentCar = currentAxle = currentSide = 0;
    if (overflow || k == 0) {
        // Nothing of such a scheme can be walked: no position at all rather
        // than a train cut short without the operator knowing.
        std::memset(order, 0, sizeof(order));
        std::memset(axleEntries, 0, sizeof(axleEntries));
        orderCount = 0;
        axleCount = 0;
        MarkAllEnds();
        return 0;
    }
    orderCount = k;
    if (deviceType == 3) {
        NumberAxles();
        StartAxleWalk();
    } else {
        SelectEntryAs(0, STATE_CURRENT, deviceType);
    }
    UpdateEndFlagsAs(deviceType);
    return 1;
}

void CScheme::StartAxleWalk()
{
    const int n = axleCount < SCHEME_MAX_AXLE_ENTRIES ? axleCount : SCHEME_MAX_AXLE_ENTRIES;
    for (int k = 0; k < n; ++k) {
        AxleEntry& entry = axleEntries[k];
        entry.state &= ~STATE_CURRENT;
        SchemeAxle& axle = cars[entry.car].axles[entry.axle];
        axle.wheels[SIDE_LEFT].state = entry.state;
        axle.wheels[SIDE_RIGHT].state = entry.state;
    }
    for (int i = 0; i < orderCount && i < SCHEME_MAX_ORDER; ++i)
        order[i].state &= ~STATE_CURRENT;
    const int first = NextMeasurableAxle(-1, 1);
    currentAxleEntry = first >= 0 ? first : 0;
    if (n <= 0)
        return;
    const AxleEntry& start = axleEntries[currentAxleEntry];
    // The order entry of the start axle carries the current mark with it,
    // so exactly one axle is current.
    const int i = FirstEntryOnAxle(start.car, start.axle);
    currentEntry = i >= 0 ? i : 0;
    if (i >= 0)
        SelectEntryAs(i, order[i].state | STATE_CURRENT, 3);
    EnterAxle();
}

int CScheme::AddOrderEntry(int* count, int car, int axle, int side)
{
    if (count == nullptr || car < 0 || car >= SCHEME_MAX_CARS || axle < 0 || axle >= SCHEME_MAX_AXLES ||
        !ValidSide(side))
        return 0;
    SchemeCar& c = cars[car];
    // The wheel the entry will name is the one that must be there.
    const NamedWheel named = NameOf(c, axle, side);
    SchemeWheel& wheel = c.axles[named.axle].wheels[named.side];
    if (wheel.present != 1 || *count < 0 || *count >= SCHEME_MAX_ORDER)
        return 0;
    OrderEntry& entry = order[*count];
    entry.car = car;
    entry.axle = named.axle;
    entry.side = named.side;
    entry.state = 0;
    entry.reversed = c.reversed;
    entry.swapped = c.swapped;
    wheel.state = 0;
    ++*count;
    return 1;
}

void CScheme::NumberAxles()
{
    int k = 0;
    const int n = carCount < 0 ? 0 : carCount > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : carCount;
    for (int c = 0; c < n; ++c) {
        const int m = scheme_order::ClampAxles(cars[c].axleCount);
        for (int a = 0; a < m; ++a) {
            const int named = cars[c].reversed ? m - 1 - a : a;
            axleEntries[k] = {c, named, 0};
            // The axle keeps the index of the entry that names it, so that a
            // reversed car's results land on the axle they were measured on.
            cars[c].axles[named].axleEntryIndex = k;
            ++k;
        }
    }
    axleCount = k;
    currentCar = currentAxle = 0;
    // An axle without a wheel (a blank axle of the scheme) has nothing to
    // measure: the walk starts on the first one that has.
    const int first = NextMeasurableAxle(-1, 1);
    currentAxleEntry = first >= 0 ? first : 0;
    if (axleCount > 0)
        EnterAxle();
}

bool CScheme::AxleMeasurable(int k) const
{
    if (k < 0 || k >= axleCount || k >= SCHEME_MAX_AXLE_ENTRIES)
        return false;
    const AxleEntry& entry = axleEntries[k];
    if (entry.car < 0 || entry.car >= SCHEME_MAX_CARS || entry.axle < 0 || entry.axle >= SCHEME_MAX_AXLES)
        return false;
    for (const SchemeWheel& wheel : cars[entry.car].axles[entry.axle].wheels) {
        if (wheel.present == 1)
            return true;
    }
    return false;
}

int CScheme::NextMeasurableAxle(int from, int step) const
{
    const int n = axleCount < SCHEME_MAX_AXLE_ENTRIES ? axleCount : SCHEME_MAX_AXLE_ENTRIES;
    for (int k = from + step; k >= 0 && k < n; k += step) {
        if (AxleMeasurable(k))
            return k;
    }
    return -1;
}

int CScheme::FirstEntryOnAxle(int car, int axle) const
{
    for (int i = 0; i < orderCount && i < SCHEME_MAX_ORDER; ++i) {
        if (order[i].car == car && order[i].axle == axle)
            return i;
    }
    return -1;
}

void CScheme::EnterAxle()
{
    if (currentAxleEntry < 0 || currentAxleEntry >= axleCount || currentAxleEntry >= SCHEME_MAX_AXLE_ENTRIES)
        return;
    AxleEntry& entry = axleEntries[currentAxleEntry];
    currentCar = entry.car;
    currentAxle = entry.axle;
    entry.state |= STATE_CURRENT;
    SchemeAxle& axle = cars[entry.car].axles[entry.axle];
    axle.wheels[SIDE_LEFT].state = entry.state;
    axle.wheels[SIDE_RIGHT].state = entry.state;
    // The wheel name and side digit of the axle's records are those of the
    // axle's own first position in the order (else of its first wheel).
    const int i = FirstEntryOnAxle(currentCar, currentAxle);
    if (i >= 0) {
        currentSide = order[i].side;
        return;
    }
    for (int side : {SIDE_LEFT, SIDE_RIGHT, SIDE_MIDDLE}) {
        if (axle.wheels[side].present == 1) {
            currentSide = side;
            return;
        }
    }
}

void CScheme::MoveToAxle(int k)
{
    if (k < 0 || k >= axleCount || k >= SCHEME_MAX_AXLE_ENTRIES)
        return;
    if (currentAxleEntry >= 0 && currentAxleEntry < axleCount && currentAxleEntry < SCHEME_MAX_AXLE_ENTRIES) {
        AxleEntry& entry = axleEntries[currentAxleEntry];
        entry.state &= ~STATE_CURRENT;
        SchemeAxle& axle = cars[entry.car].axles[entry.axle];
        axle.wheels[SIDE_LEFT].state = entry.state;
        axle.wheels[SIDE_RIGHT].state = entry.state;
    }
    currentAxleEntry = k;
    EnterAxle();
}

void CScheme::MoveToCar(int car)
{
    // A car without axles (a number the scheme file skipped) has no entry,
    // and a blank axle nothing to measure.
    for (int k = 0; k < axleCount && k < SCHEME_MAX_AXLE_ENTRIES; ++k) {
        if (axleEntries[k].car == car && AxleMeasurable(k)) {
            MoveToAxle(k);
            return;
        }
    }
}

void CScheme::SelectEntry(int entry, int state)
{
    // Only a state to store needs the device type: a walk that visits every
    // position without changing states reads no settings file.
    SelectEntryAs(entry, state, state < 0 ? m_paramBlock.deviceType : ReadDeviceType());
}

void CScheme::SelectEntryAs(int i, int state, int deviceType)
{
    if (i < 0 || i >= SCHEME_MAX_ORDER)
        return;
    OrderEntry& entry = order[i];
    if (entry.car < 0 || entry.car >= SCHEME_MAX_CARS || entry.axle < 0 || entry.axle >= SCHEME_MAX_AXLES ||
        !ValidSide(entry.side))
        return;
    currentCar = entry.car;
    currentAxle = entry.axle;
    currentSide = entry.side;
    if (state < 0)
        return;
    entry.state = state;
    SchemeAxle& axle = cars[currentCar].axles[currentAxle];
    axle.wheels[currentSide].state = state;
    if (deviceType == 3) {
        axle.wheels[SIDE_LEFT].state = state;
        axle.wheels[SIDE_RIGHT].state = state;
        if (axle.axleEntryIndex >= 0 && axle.axleEntryIndex < SCHEME_MAX_AXLE_ENTRIES)
            axleEntries[axle.axleEntryIndex].state = state;
    }
}

void CScheme::UpdateEndFlags()
{
    UpdateEndFlagsAs(ReadDeviceType());
}

void CScheme::UpdateEndFlagsAs(int deviceType)
{
    if (deviceType == 3) {
        // The ends of the axle walk are its first and last axles to measure.
        if (axleCount <= 0 || NextMeasurableAxle(-1, 1) < 0) {
            MarkAllEnds();
            return;
        }
        atFirst = NextMeasurableAxle(currentAxleEntry, -1) < 0 ? 1 : 0;
        atLast = NextMeasurableAxle(currentAxleEntry, 1) < 0 ? 1 : 0;
        atFirstCar = atFirst;
        atLastCar = atLast;
        return;
    }
    const int current = currentEntry;
    const int last = orderCount - 1;
    if (last < 0) {
        MarkAllEnds();
        return;
    }
    atFirst = current <= 0 ? 1 : 0;
    atLast = current >= last ? 1 : 0;
    atFirstCar = atFirst;
    atLastCar = atLast;
}

void CScheme::MarkAllEnds()
{
    atFirst = atLast = atFirstCar = atLastCar = 1;
}

// Leaving clears the current bit and entering sets it, so a state word never
// goes below 0 or above 3 whatever the caller selected before.
void CScheme::LeaveEntry(int deviceType)
{
    if (currentEntry >= 0 && currentEntry < orderCount)
        SelectEntryAs(currentEntry, order[currentEntry].state & ~STATE_CURRENT, deviceType);
}

void CScheme::EnterEntry(int deviceType)
{
    if (currentEntry >= 0 && currentEntry < orderCount)
        SelectEntryAs(currentEntry, order[currentEntry].state | STATE_CURRENT, deviceType);
}

void CScheme::NextPosition()
{
    const int deviceType = ReadDeviceType();
    if (deviceType == 3) {
        const int next = NextMeasurableAxle(currentAxleEntry, 1);
        if (next >= 0)
            MoveToAxle(next);
    } else if (!atLast && currentEntry + 1 < orderCount) {
        LeaveEntry(deviceType);
        ++currentEntry;
        EnterEntry(deviceType);
    }
    UpdateEndFlagsAs(deviceType);
}

void CScheme::PrevPosition()
{
    const int deviceType = ReadDeviceType();
    if (deviceType == 3) {
        const int previous = NextMeasurableAxle(currentAxleEntry, -1);
        if (previous >= 0)
            MoveToAxle(previous);
    } else if (!atFirst && currentEntry > 0) {
        LeaveEntry(deviceType);
        --currentEntry;
        EnterEntry(deviceType);
    }
    UpdateEndFlagsAs(deviceType);
}

void CScheme::NextCar()
{
    if (atLastCar)
        return;
    const int deviceType = ReadDeviceType();
    if (deviceType == 3) {
        const int n = carCount > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : carCount;
        // A car with nothing to measure is passed over.
        const int from = currentCar;
        for (int c = from + 1; c < n && currentCar == from; ++c)
            MoveToCar(c);
    } else if (currentEntry >= 0 && currentEntry < orderCount) {
        const LONG car = order[currentEntry].car;
        LeaveEntry(deviceType);
        while (order[currentEntry].car == car && currentEntry < orderCount - 1)
            ++currentEntry;
        EnterEntry(deviceType);
    }
    UpdateEndFlagsAs(deviceType);
}

void CScheme::PrevCar()
{
    if (atFirstCar)
        return;
    atLastCar = 0;
    const int deviceType = ReadDeviceType();
    if (deviceType == 3) {
        const int from = currentCar;
        for (int c = from - 1; c >= 0 && currentCar == from; --c) {
            if (c < SCHEME_MAX_CARS)
                MoveToCar(c);
        }
    } else if (currentEntry >= 0 && currentEntry < orderCount) {
        const LONG car = order[currentEntry].car;
        LeaveEntry(deviceType);
        while (order[currentEntry].car == car && currentEntry > 0)
            --currentEntry;
        EnterEntry(deviceType);
    }
    UpdateEndFlagsAs(deviceType);
}

void CScheme::MoveToEntry(int k)
{
    if (k < 0 || k >= orderCount)
        return;
    const int deviceType = ReadDeviceType();
    LeaveEntry(deviceType);
    currentEntry = k;
    EnterEntry(deviceType);
    UpdateEndFlagsAs(deviceType);
}

SchemeAxle* CScheme::CurrentAxlePtr()
{
    if (currentCar < 0 || currentCar >= SCHEME_MAX_CARS || currentAxle < 0 || currentAxle >= SCHEME_MAX_AXLES)
        return nullptr;
    return &cars[currentCar].axles[currentAxle];
}

const SchemeAxle* CScheme::CurrentAxlePtr() const
{
    if (currentCar < 0 || currentCar >= SCHEME_MAX_CARS || currentAxle < 0 || currentAxle >= SCHEME_MAX_AXLES)
        return nullptr;
    return &cars[currentCar].axles[currentAxle];
}

void CScheme::MarkCurrentMeasured()
{
    const int deviceType = ReadDeviceType();
    SchemeAxle* axle = CurrentAxlePtr();
    if (axle == nullptr)
        return;
    const LONG state = STATE_CURRENT | STATE_MEASURED;
    if (deviceType == 3) {
        axle->wheels[SIDE_LEFT].state = state;
        axle->wheels[SIDE_RIGHT].state = state;
        if (axle->axleEntryIndex >= 0 && axle->axleEntryIndex < SCHEME_MAX_AXLE_ENTRIES)
            axleEntries[axle->axleEntryIndex].state = state;
    } else if (currentEntry >= 0 && currentEntry < orderCount && ValidSide(currentSide)) {
        order[currentEntry].state = state;
        axle->wheels[currentSide].state = state;
    }
}

LONG CScheme::GetCurrentState()
{
    if (ReadDeviceType() == 3)
        return currentAxleEntry >= 0 && currentAxleEntry < axleCount && currentAxleEntry < SCHEME_MAX_AXLE_ENTRIES
                   ? axleEntries[currentAxleEntry].state
                   : 0;
    return currentEntry >= 0 && currentEntry < orderCount ? order[currentEntry].state : 0;
}

int CScheme::GetAxleListIndex() const
{
    const SchemeAxle* axle = CurrentAxlePtr();
    return axle != nullptr ? axle->axleEntryIndex : 0;
}

template <class Record>
static void FillNames(const CScheme& scheme, const SchemeAxle* axle, Record* record, WCHAR (&note)[100])
{
    const SchemeCar& car = scheme.cars[scheme.currentCar];
    const int side = ValidSide(scheme.currentSide) ? scheme.currentSide : SIDE_LEFT;
    const SchemeWheel& wheel = axle->wheels[side];
    SetFieldText(record->wheelName, wheel.name);
    SetFieldText(record->carName, car.name);
    SetFieldText(record->carNumber, car.numberText);
    SetFieldText(record->axleName, axle->name);
    SetFieldText(record->axleName2, axle->secondName);
    SetFieldText(record->trainName, car.trainName);
    SideDigit(record->side, side, car.swapped != 0);
    SetFieldText(note, wheel.text);
}

void CScheme::FillRecordNames(QavJournalRecord* record) const
{
    const SchemeAxle* axle = CurrentAxlePtr();
    if (record != nullptr && axle != nullptr)
        FillNames(*this, axle, record, record->positionText);
}

void CScheme::FillRecordNamesQod(QodJournalRecord* record) const
{
    const SchemeAxle* axle = CurrentAxlePtr();
    if (record != nullptr && axle != nullptr)
        FillNames(*this, axle, record, record->positionText);
}

// The record names one wheel: its name goes to that wheel alone, so a scheme
// that names the wheels of an axle one by one keeps the other wheel's name.
// (A wheel-set gauge's pair is stored under the name of the wheel its walk
// makes current on the axle, which is the one named here.)
template <class Record>
static void TakeNames(CScheme& scheme, SchemeAxle* axle, const Record& record)
{
    SchemeCar& car = scheme.cars[scheme.currentCar];
    SetFieldText(car.name, record.carName);
    SetFieldText(car.numberText, record.carNumber);
    const int side = ValidSide(scheme.currentSide) ? scheme.currentSide : SIDE_LEFT;
    SetFieldText(axle->wheels[side].name, record.wheelName);
    SetFieldText(axle->name, record.axleName);
    SetFieldText(axle->secondName, record.axleName2);
    const int n = scheme.carCount < 0 ? 0 : scheme.carCount > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : scheme.carCount;
    for (int c = 0; c < n; ++c)
        SetFieldText(scheme.cars[c].trainName, record.trainName);
}

void CScheme::TakeRecordNames(const QavJournalRecord& record)
{
    SchemeAxle* axle = CurrentAxlePtr();
    if (axle != nullptr)
        TakeNames(*this, axle, record);
}

void CScheme::TakeRecordNamesQod(const QodJournalRecord& record)
{
    SchemeAxle* axle = CurrentAxlePtr();
    if (axle != nullptr)
        TakeNames(*this, axle, record);
}

int CScheme::ReadQavJournal(std::vector<QavJournalRecord>* records)
{
    records->clear();
    WCHAR name[PARAM_NAME_CHARS + 1] = {};
    qplat::CopyField(name, PARAM_NAME_CHARS + 1, qplat::FieldText(m_paramBlock.qavJournalName, PARAM_NAME_CHARS).c_str());
    const int count = m_journalQav.GetCount(name, false);
    if (count <= 0)
        return count == 0 ? 1 : 0;
    records->resize(static_cast<size_t>(count));  // zeroed
    if (!m_journalQav.ReadAll(name, records->data(), count)) {
        records->clear();
        return 0;
    }
    return 1;
}

int CScheme::ReadQodJournal(std::vector<QodJournalRecord>* records)
{
    records->clear();
    WCHAR name[PARAM_NAME_CHARS + 1] = {};
    qplat::CopyField(name, PARAM_NAME_CHARS + 1, qplat::FieldText(m_paramBlock.qodJournalName, PARAM_NAME_CHARS).c_str());
    const int count = m_journalQod.GetCount(name, false);
    if (count <= 0)
        return count == 0 ? 1 : 0;
    records->resize(static_cast<size_t>(count));
    if (!m_journalQod.ReadAll(name, records->data(), count)) {
        records->clear();
        return 0;
    }
    return 1;
}

int CScheme::ReadJournal(std::vector<QavJournalRecord>* records)
{
    ReadDeviceType();
    return ReadQavJournal(records);
}

int CScheme::ReadJournalQod(std::vector<QodJournalRecord>* records)
{
    ReadDeviceType();
    return ReadQodJournal(records);
}

int CScheme::FindRecord(QavJournalRecord* query, BYTE copyOut, int start)
{
    if (query == nullptr)
        return -1;
    std::vector<QavJournalRecord> records;
    ReadJournal(&records);
    return FindRecordIn(records, query, copyOut, start);
}

int CScheme::FindRecordQod(QodJournalRecord* query, BYTE copyOut, int start)
{
    if (query == nullptr)
        return -1;
    std::vector<QodJournalRecord> records;
    ReadJournalQod(&records);
    return FindRecordInQod(records, query, copyOut, start);
}

int CScheme::FindRecordIn(const std::vector<QavJournalRecord>& records, QavJournalRecord* query, BYTE copyOut,
                          int start)
{
    if (query == nullptr)
        return -1;
    const int i = FindIn(records, *query, start, m_paramBlock.deviceType != 3);
    if (i >= 0 && copyOut)
        *query = records[static_cast<size_t>(i)];
    return i;
}

int CScheme::FindRecordInQod(const std::vector<QodJournalRecord>& records, QodJournalRecord* query, BYTE copyOut,
                             int start)
{
    if (query == nullptr)
        return -1;
    const int i = FindIn(records, *query, start, true);
    if (i >= 0 && copyOut)
        *query = records[static_cast<size_t>(i)];
    return i;
}

// The journal is read once for all positions rather than once per position:
// the result is the same, and a long train over a long journal stays quick.
void CScheme::MarkMeasuredPositions(int deviceType, const QavJournalRecord& record)
{
    std::vector<QavJournalRecord> records;
    ReadJournal(&records);
    MarkMeasuredPositionsIn(records, deviceType, record);
}

void CScheme::MarkMeasuredPositionsQod(const QodJournalRecord& record)
{
    std::vector<QodJournalRecord> records;
    ReadJournalQod(&records);
    MarkMeasuredPositionsInQod(records, record);
}

void CScheme::MarkMeasuredPositionsIn(const std::vector<QavJournalRecord>& records, int deviceType,
                                      const QavJournalRecord& record)
{
    const int settingsType = ReadDeviceType();
    auto work = std::make_unique<QavJournalRecord>(record);
    if (settingsType == 3) {
        MarkMeasuredAxles(records, deviceType, work.get());
    } else {
        for (int i = 0; i < orderCount && i < SCHEME_MAX_ORDER; ++i) {
            SelectEntryAs(i, 0, settingsType);
            FillRecordNames(work.get());
            const int found = FindIn(records, *work, 0, true);
            const bool measured = found >= 0 && HoldsResult(records[static_cast<size_t>(found)], deviceType);
            SelectEntryAs(i, measured ? STATE_MEASURED : 0, settingsType);
        }
    }
    if (settingsType == 3 && orderCount > 0) {
        StartAxleWalk();
        UpdateEndFlagsAs(settingsType);
        return;
    }
    currentEntry = 0;
    if (orderCount > 0) {
        SelectEntryAs(0, order[0].state | STATE_CURRENT, settingsType);
        UpdateEndFlagsAs(settingsType);
    }
}

// A wheel-set gauge stores both wheels of an axle under the names of the
// axle's first position in the order, the names its walk gives the axle (see
// EnterAxle). Each axle is decided once, under those names, and every
// position on it follows: a position's own wheel name may differ from the
// name its pair is stored under.
void CScheme::MarkMeasuredAxles(const std::vector<QavJournalRecord>& records, int deviceType, QavJournalRecord* work)
{
    const int n = axleCount < SCHEME_MAX_AXLE_ENTRIES ? axleCount : SCHEME_MAX_AXLE_ENTRIES;
    for (int i = 0; i < orderCount && i < SCHEME_MAX_ORDER; ++i)
        SelectEntryAs(i, 0, 3);
    for (int k = 0; k < n; ++k)
        axleEntries[k].state = 0;
    for (int k = 0; k < n; ++k) {
        const AxleEntry& axle = axleEntries[k];
        const int first = FirstEntryOnAxle(axle.car, axle.axle);
        if (first < 0)
            continue;
        SelectEntryAs(first, -1, 3);
        FillRecordNames(work);
        const int found = FindIn(records, *work, 0, false);
        if (found < 0 || !HoldsResult(records[static_cast<size_t>(found)], deviceType))
            continue;
        for (int i = first; i < orderCount && i < SCHEME_MAX_ORDER; ++i) {
            if (order[i].car == axle.car && order[i].axle == axle.axle)
                SelectEntryAs(i, STATE_MEASURED, 3);
        }
    }
}

void CScheme::MarkMeasuredPositionsInQod(const std::vector<QodJournalRecord>& records, const QodJournalRecord& record)
{
    const int settingsType = ReadDeviceType();
    auto work = std::make_unique<QodJournalRecord>(record);
    for (int i = 0; i < orderCount && i < SCHEME_MAX_ORDER; ++i) {
        SelectEntryAs(i, 0, settingsType);
        FillRecordNamesQod(work.get());
        const bool measured = FindIn(records, *work, 0, true) >= 0;
        SelectEntryAs(i, measured ? STATE_MEASURED : 0, settingsType);
    }
    currentEntry = 0;
    if (orderCount > 0) {
        SelectEntryAs(0, order[0].state | STATE_CURRENT, settingsType);
        UpdateEndFlagsAs(settingsType);
    }
}

int CScheme::SumAxleLayouts(int n) const
{
    int sum = 0;
    for (int c = 0; c < n && c < SCHEME_MAX_CARS; ++c) {
        const int m = scheme_order::ClampAxles(cars[c].axleCount);
        for (int a = 0; a < m; ++a)
            sum += cars[c].axles[a].layout;
    }
    return sum;
}

int CScheme::CountAxles(int n) const
{
    int sum = 0;
    for (int c = 0; c < n && c < SCHEME_MAX_CARS; ++c)
        sum += scheme_order::ClampAxles(cars[c].axleCount);
    return sum;
}

void BuildDefaultScheme(CScheme* scheme, int n, int m, int type, int layout)
{
    if (scheme == nullptr)
        return;
    n = n < 0 ? 0 : n > SCHEME_MAX_CARS ? SCHEME_MAX_CARS : n;
    m = scheme_order::ClampAxles(m);
    scheme->orderType = type;
    scheme->carCount = n;
    scheme->axleCount = m;
    WCHAR digits[16];
    for (int c = 0; c < n; ++c) {
        SchemeCar& car = scheme->cars[c];
        std::memset(&car, 0, sizeof(car));
        car.axleCount = m;
        car.bogieCount = 2;
        SetText(car.numberText, _itow(c + 1, digits, 10));
        for (int a = 0; a < m; ++a) {
            SchemeAxle& axle = car.axles[a];
            axle.layout = layout;
            SetText(axle.bogieText, _itow(a / 2 + 1, digits, 10));
            SetText(axle.name, _itow(a + 1, digits, 10));
            SetText(axle.thirdName, _itow(a + 1, digits, 10));
            auto name = [&](int side, int number) {
                axle.wheels[side].present = 1;
                SetText(axle.wheels[side].name, _itow(number, digits, 10));
            };
            if (layout == 1) {
                name(SIDE_MIDDLE, a + 1);
            } else if (layout == 2) {
                name(SIDE_LEFT, 2 * a);
                name(SIDE_RIGHT, 2 * a + 1);
            } else if (layout == 3) {
                name(SIDE_LEFT, 3 * a);
                name(SIDE_RIGHT, 3 * a + 1);
                name(SIDE_MIDDLE, 3 * a + 2);
            }
        }
    }
}

const WCHAR* FormatSerialField(const WCHAR* text)
{
    constexpr int kWidth = 12;
    static thread_local WCHAR field[kWidth + 1];
    WCHAR kept[kWidth];
    int n = 0;
    for (const WCHAR* p = text; p != nullptr && *p != 0 && n < kWidth; ++p) {
        if (*p != u' ')
            kept[n++] = *p;
    }
    for (int i = 0; i < kWidth; ++i)
        field[i] = i < kWidth - n ? u'0' : kept[i - (kWidth - n)];
    field[kWidth] = 0;
    return field;
}
