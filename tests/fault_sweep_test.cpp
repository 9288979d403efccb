// Every host call of every command made to fail in turn; the module must answer
// each with a sound result and leave the host exactly as clean as before.
#include <cstdio>

#include "fault_sweep.h"

namespace {

void Nothing(refhost::Host&) {}
void Started(refhost::Host& host) { ASSERT_EQ(host.StartInstance(), PF_Err_NONE); }

const sweep::Scenario LIFECYCLE[] = {
    {"global setup", Nothing, [](refhost::Host& h) { return h.GlobalSetup(); }},
    {"parameter setup", [](refhost::Host& h) { h.GlobalSetup(); },
     [](refhost::Host& h) { return h.ParamsSetup(); }},
    {"sequence setup", Started, [](refhost::Host& h) { return h.SequenceSetup(); }},
    {"sequence re-setup", Started, [](refhost::Host& h) { return h.SequenceResetup(); }},
    {"sequence set-down", Started, [](refhost::Host& h) { return h.SequenceSetdown(); }},
    {"about", Started, [](refhost::Host& h) { return h.Send(PF_Cmd_ABOUT); }},
    {"completely general", Started,
     [](refhost::Host& h) { return h.Send(PF_Cmd_COMPLETELY_GENERAL, const_cast<char*>("hello")); }},
};

class LifecycleSweep : public ::testing::TestWithParam<sweep::Scenario> {};

TEST_P(LifecycleSweep, EveryInjectionClean) { sweep::Run(THIMBLEROUTE_MODULE_PATH, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Commands, LifecycleSweep, ::testing::ValuesIn(LIFECYCLE),
                         sweep::TestName);

}  // namespace

namespace {

// The sweep's figure, printed once all of its scenarios have run.
class SweepFigure : public ::testing::Environment {
 public:
  void TearDown() override {
    const sweep::Tally& t = sweep::Totals();
    if (t.scenarios == 0) return;
    std::printf("fault sweep: %d scenarios, %d injections, %d clean%s\n", t.scenarios, t.injections,
                t.clean, t.clean == t.injections ? " (all clean)" : "");
  }
};

const auto* const sweep_figure = ::testing::AddGlobalTestEnvironment(new SweepFigure);

}  // namespace
