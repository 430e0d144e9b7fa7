// The option groups: the one-byte options of the settings block, each chosen
// by a group of radios. The wheel head has six groups, the step gauge one (the
// number of steps, with the step dial drawn beside it), the disc device two;
// the diameter gauge has none. Each radio stands for the value of its place in
// the group (1, 2, ...); the step count holds 1, 3 or 6.
#pragma once

#include "measurement/ParamSave.h"
#include "screens/ResultView.h"
#include "ui/ScreenDlg.h"

class CParamOptionsDlg : public CScreenDlg<CParamOptionsDlg> {
public:
    static constexpr int kTemplateId = 469;
    static constexpr int kTitleTextId = 40320;
    static constexpr int kBackId = 470;
    static constexpr INT_PTR kEraseAnswer = 0;
    static constexpr INT_PTR kUnhandledAnswer = 1;
    static constexpr float kPanelFactor = 2.5f;

    static constexpr int kOkId = 471;
    // The step-count radios of the step gauge.
    static constexpr int kSteps1Id = 456;
    static constexpr int kSteps3Id = 457;
    static constexpr int kSteps6Id = 458;
    // Where the step dial is drawn.
    static constexpr int kDialX = 280;
    static constexpr int kDialY = 120;
    static constexpr int kMaxRadios = 16;

    // One group of radios: the byte it sets, its frame and its radios.
    struct Group;

    CParamOptionsDlg();
    ~CParamOptionsDlg();

    // ---- the pattern's hooks
    void OnLoadSettings();
    void OnInitDialog();
    void PaintContent(HDC dc);
    bool OnCommand(int id, int code, HWND control, INT_PTR& answer);

    // ---- the screen's steps
    // Checks radio first + index within first..last, and no id outside them.
    void CheckRadioGroup(int firstId, int lastId, int index);
    void CheckGroups();
    void CheckDiskGroups();
    // The step count the checked step radio stands for (1, 3 or 6).
    BYTE ReadNChoice();

    // ---- state, read by the tests
    const ParamBlock& Params() const { return m_params; }
    int GroupCount() const { return m_groupCount; }

    COwnerButton m_buttons[2];
    COwnerButton m_radios[kMaxRadios];

private:
    void CreateGroupRadios();
    void CreateStepRadios();
    void EnableSlopeRadios();
    // The value the group's radios stand for, as OK stores it.
    BYTE ReadGroup(const Group& group) const;
    const Group* GroupOf(int id) const;
    void OnOk();

    const Group* m_groups = nullptr;
    int m_groupCount = 0;
    int m_radioCount = 0;
    CResultView m_resultView;
    // The dial's marks, all in state 1.
    MeasureStep m_marks[6] = {};
};
