// The wheel-family journals: "DB\<name>.qav" below the program folder, a plain
// array of QavJournalRecord (operations and results: settings/DBJournal.h).
#pragma once

#include "settings/DBJournal.h"
#include "settings/JournalRecords.h"

// The program folder holder the wheel-family journals take their folder from.
extern CProgramFolder g_qavJournalFolder;

class CDBJournalQav : public CDBJournal<QavJournalRecord> {
public:
    CDBJournalQav();
};
