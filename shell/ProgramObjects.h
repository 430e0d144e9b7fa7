// The program-wide objects of the application and the plain globals of its
// shell.
//
// Several of these objects read the device root when they are built (the
// language table reads "Language.ini", the settings-file object takes the
// program folder), and the root is known only once the command line has been
// read. So they are not static objects built before the entry point: one
// function builds them all, in one fixed order, at the start of WinMain, and
// another destroys them in the reverse order at its end, after the worker
// threads have been stopped and joined. The toolkit's own program-wide
// objects (the off-screen drawing surface, the painting helper, the status
// images, the tooltip, the busy animation, the date helper) and the journal
// folders need nothing at construction and stay static objects of their
// libraries.
#pragma once

#include <array>

#include "journal/JournalFilterDlg.h"
#include "measurement/ParamSave.h"
#include "platform/WinDef.h"
#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "scheme/ui/SchemeView.h"
#include "sensor/LinkMonitor.h"
#include "settings/Language.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "shell/CardWatch.h"
#include "ui/MessageDlg.h"
#include "ui/OwnerButton.h"

constexpr int MAIN_BUTTON_SLOTS = 7;
constexpr int PARAM_MENU_BUTTONS = 4;
constexpr int DATA_MENU_BUTTONS = 6;
constexpr int SETTINGS_MENU_BUTTONS = 7;

extern CJournalFilterDlg& g_journalFilter;
extern CMessageDlg& g_messageBox;
extern std::array<COwnerButton, MAIN_BUTTON_SLOTS>& g_mainButtons;
extern std::array<COwnerButton, PARAM_MENU_BUTTONS>& g_paramMenuButtons;
extern std::array<COwnerButton, DATA_MENU_BUTTONS>& g_dataMenuButtons;
extern std::array<COwnerButton, SETTINGS_MENU_BUTTONS>& g_settingsMenuButtons;
extern CLanguage& g_language;
extern CParamFile& g_paramFile;
extern CLinkMonitor& g_linkMonitor;
extern CCardWatch& g_cardWatch;
extern CProgramFolder& g_programFolder;
extern CMeasureController& g_measureController;
extern CScheme& g_scheme;
extern CSchemeFile& g_schemeFile;
extern CLanguage& g_language2;
extern CLanguage& g_language3;
extern CLanguage& g_language4;
extern CSchemeView& g_schemeView;
extern CProgramFolder& g_logFolder;

// Plain globals of the shell.
extern HINSTANCE g_hInstance;
// 1 while the start screen owns the display.
extern int g_mainScreenActive;
// The program's running settings block.
extern ParamBlock g_paramBlock;

// Builds the objects above in their fixed order; `trace`, when given, is told
// the name of each object as it is built and again as it is destroyed.
typedef void (*ProgramObjectTrace)(const char* name, bool built);
void BuildProgramObjects(ProgramObjectTrace trace = nullptr);
// Stops and joins the worker threads (link monitor, card watch, busy
// animation). Safe to call more than once and before the objects exist.
void StopProgramThreads();
// Stops the threads, then destroys the objects in the reverse order.
void DestroyProgramObjects();
// Whether the objects are built.
bool ProgramObjectsBuilt();
