// The two gauges driven through a simulated gauge, and the measuring steps of
// the type 3 gauge.
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/Fields.h"

using ctltest::ControllerTest;
using ctltest::CountRequests;

namespace {

constexpr int kQunValue = 7;
constexpr int kQemValue = 28;

}  // namespace

class GaugeTest : public ControllerTest {
protected:
    sensorsim::Device& Launch(sensorsim::Kind kind, BYTE deviceType, BYTE steps, uint32_t raw)
    {
        return Launch(ctltest::Gauge(kind, raw), deviceType, steps);
    }
    sensorsim::Device& Launch(const sensorsim::DeviceConfig& config, BYTE deviceType, BYTE steps)
    {
        WriteParams([&](ParamBlock& b) {
            b.deviceType = deviceType;
            b.gaugeSteps = steps;
        });
        sensorsim::Device& gauge = Start(config);
        EXPECT_EQ(1, ctl->SetPortOnly(port));
        ctl->LoadQavTolerances();
        ctl->ApplyParams();
        return gauge;
    }
};

TEST_F(GaugeTest, TypeTwoGaugeMeasuresZeroesAndGradesItsValue)
{
    sensorsim::Device& gauge = Launch(sensorsim::Kind::Gauge2, 2, 1, 1234);
    ctl->m_wheelLimits[6] = 10000;       // upper limit of the value
    ctl->m_wheelLimits[22 + 6] = 13000;  // lower limit above it: always out
    ASSERT_EQ(1, ctl->MeasureQun(0));
    EXPECT_EQ(12340, ctl->m_result.values[kQunValue]);
    EXPECT_EQ(kStatusOutOfTolerance, ctl->m_result.status[3]);
    EXPECT_EQ(0, CountRequests(gauge, 0x98, true));
    ASSERT_EQ(1, ctl->ZeroGauge());
    EXPECT_EQ(0, ctl->m_result.values[kQunValue]);
    ASSERT_EQ(1, ctl->MeasureQun(1));
    EXPECT_EQ(2, CountRequests(gauge, 0x98, true)) << "zero first";
}

TEST_F(GaugeTest, GaugeFaultsFailAndTheNextMeasurementWorks)
{
    sensorsim::Device& gauge = Launch(sensorsim::Kind::Gauge2, 2, 1, 500);
    ctl->m_result.values[kQunValue] = 777;
    gauge.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, ctl->MeasureQun(0));
    EXPECT_EQ(0, ctl->ZeroGauge());
    EXPECT_EQ(777, ctl->m_result.values[kQunValue]) << "a failed read changes nothing";
    gauge.SetFaults(qtest::FaultOnly(&sensorsim::Faults::shortReplies));
    EXPECT_EQ(0, ctl->MeasureQun(0));
    EXPECT_EQ(777, ctl->m_result.values[kQunValue]);
    gauge.SetFaults(qtest::FaultOnly(&sensorsim::Faults::garbage));
    EXPECT_EQ(0, ctl->MeasureQun(0));
    gauge.SetFaults({});
    EXPECT_EQ(1, ctl->MeasureQun(0));
    EXPECT_EQ(5000, ctl->m_result.values[kQunValue]);
}

TEST_F(GaugeTest, ZeroingThatFailsStillMeasures)
{
    sensorsim::DeviceConfig config = ctltest::Gauge(sensorsim::Kind::Gauge3, 321);
    config.zeroEcho = 0x55;  // a gauge that does not echo the zero command
    Launch(config, 3, 1);
    EXPECT_EQ(0, ctl->ZeroGauge());
    ASSERT_EQ(1, ctl->MeasureQem(1));
    EXPECT_EQ(3210, ctl->m_result.values[kQemValue]);
}

TEST_F(GaugeTest, TypeThreeGaugeFillsTheCurrentStepAndSavesTheMean)
{
    sensorsim::Device& gauge = Launch(sensorsim::Kind::Gauge3, 3, 3, 100);
    ctl->InitSteps();
    EXPECT_EQ(0, ctl->m_currentStep);
    ASSERT_EQ(1, ctl->MeasureQem(0));
    EXPECT_EQ(1000, ctl->m_steps[0].value);
    EXPECT_EQ(3, ctl->m_steps[0].state);
    ctl->NextStep();
    gauge.SetGaugeRaw(400);
    ASSERT_EQ(1, ctl->MeasureQem(0));
    EXPECT_EQ(2, ctl->m_steps[0].state) << "a measured step stays set";
    EXPECT_EQ(4000, ctl->m_steps[1].value);
    ctl->NextStep();
    EXPECT_EQ(2, ctl->m_currentStep);
    EXPECT_EQ(0, ctl->m_result.values[kQemValue]) << "the free step shows its own value";
    ctl->SaveSteps();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_result.values[27], 3), FIELD_IS(ctl->m_result.values[29], 1000),
                                 FIELD_IS(ctl->m_result.values[30], 4000)));
    // Steps 0 and 1 measured; step 2, current but never measured, is no reading.
    EXPECT_EQ(2500, ctl->m_result.values[kQemValue]);
}

TEST_F(GaugeTest, TypeThreeStepsWithoutAnyReadingSaveNoMean)
{
    Launch(sensorsim::Kind::Gauge3, 3, 6, 100);
    ctl->m_result.values[kQemValue] = 4321;  // a reading left from before
    ctl->InitSteps();
    ctl->NextStep();
    ctl->SaveSteps();
    EXPECT_EQ(6, ctl->m_result.values[27]) << "the step count whatever was measured";
    EXPECT_EQ(0, ctl->m_result.values[kQemValue]);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(0, ctl->m_result.values[29 + i]);
}

TEST_F(GaugeTest, ZeroingASetCurrentStepMakesItCurrentAndFreeAndLeavesTheMean)
{
    Launch(sensorsim::Kind::Gauge3, 3, 6, 100);
    ctl->m_result.values[29] = 600;
    ctl->m_result.values[30] = 900;
    ctl->InitSteps();
    EXPECT_EQ(2, ctl->m_currentStep);
    ctl->PrevStep();
    ASSERT_EQ(1, ctl->m_currentStep);
    ASSERT_EQ(1, ctl->ZeroGauge());
    EXPECT_EQ(0, ctl->m_steps[1].value);
    EXPECT_EQ(1, ctl->m_steps[1].state);
    ctl->SaveSteps();
    EXPECT_EQ(600, ctl->m_result.values[kQemValue]) << "the zeroed step holds no reading";
    EXPECT_EQ(0, ctl->m_result.values[30]);
}

// A reading that fails leaves the step it was for as it was; and a step read
// along a scheme (the gauge zeroed, then read, as one run) whose reading fails
// gets back the value the zeroing cleared.
TEST_F(GaugeTest, FailedReadingOfAStepLeavesTheStepAndTheZeroingBeforeItIsUndone)
{
    sensorsim::Device& gauge = Launch(sensorsim::Kind::Gauge3, 3, 3, 100);
    ctl->InitSteps();
    ASSERT_EQ(1, ctl->MeasureQem(0));
    ASSERT_EQ(1000, ctl->m_steps[0].value);
    gauge.SetFaults(qtest::FaultOnly(&sensorsim::Faults::shortReplies));
    EXPECT_EQ(0, ctl->MeasureQem(0));
    EXPECT_EQ(1000, ctl->m_result.values[kQemValue]);
    EXPECT_EQ(1000, ctl->m_steps[0].value);
    EXPECT_EQ(3, ctl->m_steps[0].state) << "still current and measured";

    // The zeroing answers; the reading after it is lost.
    const long sent = static_cast<long>(gauge.Requests().size());
    gauge.SetFaults({.dropReplies = {sent + 3}});  // zero, trigger, read
    EXPECT_EQ(0, ctl->ZeroAndMeasureQem(0));
    EXPECT_EQ(1, CountRequests(gauge, 0x98, true)) << "the gauge was zeroed";
    EXPECT_EQ(1000, ctl->m_steps[0].value) << "the zeroing is undone with the failed reading";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_steps[0].state, 3), FIELD_IS(ctl->m_result.values[kQemValue], 1000),
                                 FIELD_IS(ctl->m_currentStep, 0)));

    // A zeroing that fails reads nothing.
    gauge.SetFaults(qtest::FaultOnly(&sensorsim::Faults::shortReplies));
    EXPECT_EQ(-1, ctl->ZeroAndMeasureQem(0));
    EXPECT_EQ(1000, ctl->m_steps[0].value);
    gauge.SetFaults({});
    gauge.SetGaugeRaw(300);
    EXPECT_EQ(1, ctl->ZeroAndMeasureQem(0));
    EXPECT_EQ(3000, ctl->m_steps[0].value);
}

// ---------------------------------------------------------------- the step table alone

class StepTest : public ControllerTest {
protected:
    void Steps(BYTE n, std::initializer_list<int> set)
    {
        ctl->m_params.gaugeSteps = n;
        for (int i = 0; i < 6; ++i)
            ctl->m_result.values[29 + i] = 0;
        for (int i : set)
            ctl->m_result.values[29 + i] = 1000 * (i + 1);
        ctl->InitSteps();
    }
    int CurrentCount()
    {
        int n = 0;
        for (const auto& s : ctl->m_steps)
            n += s.state & 1;
        return n;
    }
};

TEST_F(StepTest, InitMakesTheFirstFreeStepCurrent)
{
    Steps(6, {0, 2, 5});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_currentStep, 1), FIELD_IS(CurrentCount(), 1),
                                 FIELD_IS(ctl->m_steps[0].state, 2), FIELD_IS(ctl->m_steps[1].state, 1)));
    Steps(6, {0, 1, 2, 3, 4, 5});
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_currentStep, 0), FIELD_IS(ctl->m_steps[0].state, 3),
                                 FIELD_IS(ctl->m_result.values[kQemValue], 1000), FIELD_IS(CurrentCount(), 1)));
}

TEST_F(StepTest, StepsWrapAroundTheUsedEntriesOnly)
{
    Steps(3, {});
    ASSERT_EQ(0, ctl->m_currentStep);
    ctl->PrevStep();
    EXPECT_EQ(2, ctl->m_currentStep);
    ctl->NextStep();
    EXPECT_EQ(0, ctl->m_currentStep);
    EXPECT_EQ(1, CurrentCount());
    EXPECT_EQ(0, ctl->m_steps[3].state) << "entries past n are never touched";
}

TEST_F(StepTest, StepCountOutsideOneToSixIsHeldInside)
{
    ctl->m_params.gaugeSteps = 0;
    EXPECT_EQ(1, ctl->StepCount());
    ctl->m_params.gaugeSteps = 200;
    EXPECT_EQ(6, ctl->StepCount());
    Steps(200, {0, 1, 2, 3, 4, 5});
    for (int i = 0; i < 20; ++i) {
        ctl->NextStep();
        ASSERT_GE(ctl->m_currentStep, 0);
        ASSERT_LT(ctl->m_currentStep, 6);
    }
    for (int i = 0; i < 20; ++i)
        ctl->PrevStep();
    EXPECT_EQ(1, CurrentCount());
}

TEST_F(StepTest, SavingATableNeverBuiltLeavesTheRecordValues)
{
    ctl->m_params.gaugeSteps = 3;
    ctl->m_result.values[27] = 3;
    ctl->m_result.values[28] = 4321;
    ctl->m_result.values[29] = 4321;
    ctl->SaveSteps();
    EXPECT_EQ(4321, ctl->m_result.values[28]);
    EXPECT_EQ(4321, ctl->m_result.values[29]);
    // A current step out of the table is never followed.
    ctl->m_currentStep = 17;
    ctl->SelectFreeStep();
    EXPECT_EQ(0, ctl->m_currentStep);
    ctl->m_currentStep = -5;
    ctl->NextStep();
    EXPECT_EQ(0, ctl->m_currentStep);
}
