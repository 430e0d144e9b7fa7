// The disc journals: "DB\<name>.qod" below the program folder, a plain array
// of QodJournalRecord (operations and results: settings/DBJournal.h).
#pragma once

#include "settings/DBJournal.h"
#include "settings/JournalRecords.h"

// The program folder holder the disc journals take their folder from.
extern CProgramFolder g_qodJournalFolder;

class CDBJournalQod : public CDBJournal<QodJournalRecord> {
public:
    CDBJournalQod();
};
