#include "shell/ProgramObjects.h"

#include <new>

#include "ui/BusyAnimation.h"

namespace {

// Room for one program-wide object, built and destroyed explicitly.
template <class T>
class ProgramObject {
public:
    T& Get() { return *std::launder(reinterpret_cast<T*>(m_storage)); }
    void Build()
    {
        if (!m_built) new (m_storage) T();
        m_built = true;
    }
    void Destroy()
    {
        if (m_built) Get().~T();
        m_built = false;
    }
    bool Built() const { return m_built; }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
    bool m_built = false;
};

ProgramObject<CJournalFilterDlg> s_journalFilter;
ProgramObject<CMessageDlg> s_messageBox;
ProgramObject<std::array<COwnerButton, MAIN_BUTTON_SLOTS>> s_mainButtons;
ProgramObject<std::array<COwnerButton, PARAM_MENU_BUTTONS>> s_paramMenuButtons;
ProgramObject<std::array<COwnerButton, DATA_MENU_BUTTONS>> s_dataMenuButtons;
ProgramObject<std::array<COwnerButton, SETTINGS_MENU_BUTTONS>> s_settingsMenuButtons;
ProgramObject<CLanguage> s_language;
ProgramObject<CParamFile> s_paramFile;
ProgramObject<CLinkMonitor> s_linkMonitor;
ProgramObject<CCardWatch> s_cardWatch;
ProgramObject<CProgramFolder> s_programFolder;
ProgramObject<CMeasureController> s_measureController;
ProgramObject<CScheme> s_scheme;
ProgramObject<CSchemeFile> s_schemeFile;
ProgramObject<CLanguage> s_language2;
ProgramObject<CLanguage> s_language3;
ProgramObject<CLanguage> s_language4;
ProgramObject<CSchemeView> s_schemeView;
ProgramObject<CProgramFolder> s_logFolder;

// One step of the table: how to build and destroy one object.
struct Step {
    const char* name;
    void (*build)();
    void (*destroy)();
};

template <auto& object>
constexpr Step MakeStep(const char* name)
{
    return Step{name, [] { object.Build(); }, [] { object.Destroy(); }};
}

// The order of construction; destruction runs it backwards.
constexpr Step kSteps[] = {
    MakeStep<s_journalFilter>("g_journalFilter"),
    MakeStep<s_messageBox>("g_messageBox"),
    MakeStep<s_mainButtons>("g_mainButtons"),
    MakeStep<s_paramMenuButtons>("g_paramMenuButtons"),
    MakeStep<s_dataMenuButtons>("g_dataMenuButtons"),
    MakeStep<s_settingsMenuButtons>("g_settingsMenuButtons"),
    MakeStep<s_language>("g_language"),
    MakeStep<s_paramFile>("g_paramFile"),
    MakeStep<s_linkMonitor>("g_linkMonitor"),
    MakeStep<s_cardWatch>("g_cardWatch"),
    MakeStep<s_programFolder>("g_programFolder"),
    MakeStep<s_measureController>("g_measureController"),
    MakeStep<s_scheme>("g_scheme"),
    MakeStep<s_schemeFile>("g_schemeFile"),
    MakeStep<s_language2>("g_language2"),
    MakeStep<s_language3>("g_language3"),
    MakeStep<s_language4>("g_language4"),
    MakeStep<s_schemeView>("g_schemeView"),
    MakeStep<s_logFolder>("g_logFolder"),
};
constexpr int kStepCount = sizeof kSteps / sizeof kSteps[0];

ProgramObjectTrace s_trace = nullptr;
bool s_built = false;

}  // namespace

CJournalFilterDlg& g_journalFilter = s_journalFilter.Get();
CMessageDlg& g_messageBox = s_messageBox.Get();
std::array<COwnerButton, MAIN_BUTTON_SLOTS>& g_mainButtons = s_mainButtons.Get();
std::array<COwnerButton, PARAM_MENU_BUTTONS>& g_paramMenuButtons = s_paramMenuButtons.Get();
std::array<COwnerButton, DATA_MENU_BUTTONS>& g_dataMenuButtons = s_dataMenuButtons.Get();
std::array<COwnerButton, SETTINGS_MENU_BUTTONS>& g_settingsMenuButtons = s_settingsMenuButtons.Get();
CLanguage& g_language = s_language.Get();
CParamFile& g_paramFile = s_paramFile.Get();
CLinkMonitor& g_linkMonitor = s_linkMonitor.Get();
CCardWatch& g_cardWatch = s_cardWatch.Get();
CProgramFolder& g_programFolder = s_programFolder.Get();
CMeasureController& g_measureController = s_measureController.Get();
CScheme& g_scheme = s_scheme.Get();
CSchemeFile& g_schemeFile = s_schemeFile.Get();
CLanguage& g_language2 = s_language2.Get();
CLanguage& g_language3 = s_language3.Get();
CLanguage& g_language4 = s_language4.Get();
CSchemeView& g_schemeView = s_schemeView.Get();
CProgramFolder& g_logFolder = s_logFolder.Get();

HINSTANCE g_hInstance = nullptr;
int g_mainScreenActive = 0;
ParamBlock g_paramBlock = {};

void BuildProgramObjects(ProgramObjectTrace trace)
{
    if (s_built) return;
    s_trace = trace;
    for (const Step& step : kSteps) {
        step.build();
        if (s_trace) s_trace(step.name, true);
    }
    s_built = true;
}

void StopProgramThreads()
{
    StopBusyAnimation();
    if (s_cardWatch.Built()) g_cardWatch.Stop();
    if (s_linkMonitor.Built()) g_linkMonitor.Stop();
}

void DestroyProgramObjects()
{
    if (!s_built) return;
    StopProgramThreads();
    for (int i = kStepCount - 1; i >= 0; --i) {
        kSteps[i].destroy();
        if (s_trace) s_trace(kSteps[i].name, false);
    }
    s_built = false;
    s_trace = nullptr;
}

bool ProgramObjectsBuilt()
{
    return s_built;
}
