// The screens the start screen and the menus open, each run the same way:
// allocated, run modally with its owner, deleted (RunScreen).
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"
#include "dialogs/ChoiceDlgs.h"
#include "dialogs/LanguageDlg.h"
#include "dialogs/ParamOptionsDlg.h"
#include "dialogs/ParamSwitchesDlg.h"
#include "dialogs/ParamTableDlg.h"
#include "dialogs/ToleranceEditorDlg.h"
#include "dialogs/TypeCatalogDlg.h"
#include "journal/JournalListDlg.h"
#include "journal/JournalViewDlg.h"
#include "scheme/ui/ReferListDlg.h"
#include "scheme/ui/SchemeListDlg.h"
#include "sensor/ui/BTDeviceListDlg.h"
#include "ui/DateTimeUtil.h"
#include "ui/ScreenDlg.h"

int OpenJournalBrowser(HWND owner)
{
    return RunScreen<CJournalViewDlg>(g_hInstance, owner, &g_journalFilter) ? 1 : 0;
}
int OpenModeOptionScreen(HWND owner)
{
    return RunScreen<CModeOptionDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenUnitsScreen(HWND owner)
{
    return RunScreen<CUnitsDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenDateTimeScreen(HWND owner)
{
    return RunScreen<CDateTimeDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenSensorListScreen(HWND owner)
{
    return RunScreen<CBTDeviceListDlg>(g_hInstance, owner, &g_linkMonitor) ? 1 : 0;
}
int OpenLanguageScreen(HWND owner)
{
    return RunScreen<CLanguageDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenUsbModeScreen(HWND owner)
{
    return RunScreen<CUsbModeDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenParamTableScreen(HWND owner)
{
    return RunScreen<CParamTableDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenParamOptionsScreen(HWND owner)
{
    return RunScreen<CParamOptionsDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenParamSwitchesScreen(HWND owner)
{
    return RunScreen<CParamSwitchesDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenJournalListScreen(HWND owner)
{
    return RunScreen<CJournalListDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenReferListScreen(HWND owner)
{
    return RunScreen<CReferListDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenSchemeListScreen(HWND owner)
{
    return RunScreen<CSchemeListDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenToleranceEditor(HWND owner)
{
    return RunScreen<CToleranceEditorDlg>(g_hInstance, owner) ? 1 : 0;
}
int OpenTypeCatalog(HWND owner)
{
    return RunScreen<CTypeCatalogDlg>(g_hInstance, owner) ? 1 : 0;
}
