// The two gauges of the wheel family (device types 2 and 3) and the
// measuring steps of the type 3 gauge.
#include <cstdint>

#include "measurement/ParamSave.h"
#include "platform/WinKernel.h"

namespace {

constexpr int kQunValue = 7;         // value of the type 2 gauge
constexpr int kStepCountValue = 27;  // number of steps, written on saving
constexpr int kQemValue = 28;        // value of the type 3 gauge; the mean after saving
constexpr int kFirstStepValue = 29;  // values 29 to 34: steps 0 to 5
constexpr int kStepStatus = 10;      // status byte shown with the current step
constexpr DWORD kTriggerWaitMs = 1000;

}  // namespace

int CMeasureController::StepCount() const
{
    const int n = m_params.gaugeSteps;
    if (n < 1)
        return 1;
    return n > kMaxMeasureSteps ? kMaxMeasureSteps : n;
}

bool CMeasureController::StepTableInUse() const
{
    return StepCount() > 1;
}

bool CMeasureController::ValidStep(LONG index) const
{
    return index >= 0 && index < StepCount();
}

void CMeasureController::ShowCurrentStep()
{
    if (!ValidStep(m_currentStep))
        return;
    const MeasureStep& step = m_steps[m_currentStep];
    m_result.values[kQemValue] = step.value;
    m_result.status[kStepStatus] = static_cast<BYTE>(step.status);
}

int CMeasureController::ZeroGauge()
{
    if (!m_byteLink.SendZero(m_port)) {
        m_byteLink.FlushInput(m_port);
        return 0;
    }
    if (m_params.deviceType == 2) {
        m_result.values[kQunValue] = 0;
    } else if (m_params.deviceType == 3) {
        m_result.values[kQemValue] = 0;
        if (StepTableInUse() && ValidStep(m_currentStep))
            m_steps[m_currentStep] = MeasureStep{0, kStepCurrent, 0};
    }
    GradeWheel();
    return 1;
}

// A reading that fails leaves the value as it was: what a cut-short reply
// left in the read buffer is no reading.
int CMeasureController::MeasureQun(BYTE zeroFirst)
{
    if (zeroFirst == 1)
        m_byteLink.SendZero(m_port);
    DWORD value = static_cast<DWORD>(m_result.values[kQunValue]);
    if (m_byteLink.SendTrigger(m_port)) {
        Sleep(kTriggerWaitMs);
        if (m_byteLink.ReadValue(m_port, &value)) {
            m_result.values[kQunValue] = static_cast<LONG>(value);
            GradeWheel();
            return 1;
        }
    }
    m_byteLink.FlushInput(m_port);
    return 0;
}

int CMeasureController::MeasureQem(BYTE zeroFirst)
{
    if (zeroFirst == 1)
        m_byteLink.SendZero(m_port);
    DWORD value = static_cast<DWORD>(m_result.values[kQemValue]);
    if (m_byteLink.SendTrigger(m_port)) {
        Sleep(kTriggerWaitMs);
        if (m_byteLink.ReadValue(m_port, &value)) {
            m_result.values[kQemValue] = static_cast<LONG>(value);
            GradeWheel();
            if (StepTableInUse() && ValidStep(m_currentStep))
                m_steps[m_currentStep] = MeasureStep{m_result.values[kQemValue], kStepCurrent | kStepSet,
                                                     m_result.status[kStepStatus]};
            return 1;
        }
    }
    m_byteLink.FlushInput(m_port);
    return 0;
}

int CMeasureController::ZeroAndMeasureQem(BYTE zeroFirst)
{
    KeepMeasurement();
    if (!ZeroGauge())
        return -1;
    if (!MeasureQem(zeroFirst)) {
        RestoreMeasurement();
        return 0;
    }
    return 1;
}

void CMeasureController::InitSteps()
{
    const int n = StepCount();
    for (int i = 0; i < kMaxMeasureSteps; ++i) {
        const LONG value = m_result.values[kFirstStepValue + i];
        m_steps[i] = MeasureStep{value, i < n && value != 0 ? kStepSet : 0, 0};
    }
    m_currentStep = 0;
    m_steps[0].state += kStepCurrent;
    m_stepsReady = TRUE;
    SelectFreeStep();
}

void CMeasureController::SelectFreeStep()
{
    const int n = StepCount();
    if (ValidStep(m_currentStep) && (m_steps[m_currentStep].state & kStepCurrent))
        m_steps[m_currentStep].state -= kStepCurrent;
    m_currentStep = -1;
    for (int i = 0; i < n; ++i) {
        if (m_steps[i].state == 0) {
            m_currentStep = i;
            break;
        }
    }
    if (m_currentStep < 0)
        m_currentStep = 0;
    m_steps[m_currentStep].state += kStepCurrent;
    ShowCurrentStep();
}

void CMeasureController::NextStep()
{
    const int n = StepCount();
    if (ValidStep(m_currentStep) && (m_steps[m_currentStep].state & kStepCurrent))
        m_steps[m_currentStep].state -= kStepCurrent;
    LONG next = ValidStep(m_currentStep) ? m_currentStep + 1 : 0;
    if (next >= n)
        next = 0;
    m_currentStep = next;
    m_steps[m_currentStep].state |= kStepCurrent;
    ShowCurrentStep();
}

void CMeasureController::PrevStep()
{
    const int n = StepCount();
    if (ValidStep(m_currentStep) && (m_steps[m_currentStep].state & kStepCurrent))
        m_steps[m_currentStep].state -= kStepCurrent;
    LONG prev = ValidStep(m_currentStep) ? m_currentStep - 1 : 0;
    if (prev < 0)
        prev = n - 1;
    m_currentStep = prev;
    m_steps[m_currentStep].state |= kStepCurrent;
    ShowCurrentStep();
}

void CMeasureController::SaveSteps()
{
    // A table never built from a record has nothing to say about its values.
    if (!m_stepsReady)
        return;
    const int n = StepCount();
    m_result.values[kStepCountValue] = n;
    for (int i = 0; i < kMaxMeasureSteps; ++i)
        m_result.values[kFirstStepValue + i] = m_steps[i].value;
    // The mean of the steps that hold a reading: a current step the operator
    // moved to but did not measure (or zeroed) is not a reading of 0.
    int64_t sum = 0;
    int64_t used = 0;
    for (int i = 0; i < n; ++i) {
        if (m_steps[i].state & kStepSet) {
            sum += m_steps[i].value;
            ++used;
        }
    }
    m_result.values[kQemValue] = used > 0 ? static_cast<LONG>(sum / used) : 0;
}
