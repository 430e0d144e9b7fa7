#include "settings/DBJournal_Qod.h"

CProgramFolder g_qodJournalFolder;

CDBJournalQod::CDBJournalQod() : CDBJournal(g_qodJournalFolder, u".qod") {}
