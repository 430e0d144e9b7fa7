#include "settings/DBJournal_Qav.h"

CProgramFolder g_qavJournalFolder;

CDBJournalQav::CDBJournalQav() : CDBJournal(g_qavJournalFolder, u".qav") {}
