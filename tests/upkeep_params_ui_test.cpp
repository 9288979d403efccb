// The parameter upkeep through the module file: which "Offset" is shown, the
// parameter-state snapshot in the sequence data, and what each failure leaves.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host_call_lines.h"
#include "module_host.h"
#include "params/param_index.h"
#include "script_host.h"

namespace {

constexpr PF_Err FAULT = 0x7E57;
constexpr PF_PathID OPEN = 1;
constexpr PF_PathID CLOSED = 2;
const std::string FAULT_TEXT = std::to_string(FAULT);
// What out_flags holds when the command starts: the upkeep must not keep it on a
// snapshot failure and must only add to it otherwise.
constexpr PF_OutFlags HELD = PF_OutFlag_SEND_UPDATE_PARAMS_UI | 0x1;
constexpr PF_OutFlags ERROR_SHOWN = PF_OutFlag_DISPLAY_ERROR_MESSAGE | PF_OutFlag_REFRESH_UI;

class UpkeepTest : public ModuleHostTest {
 protected:
  UpkeepTest() {
    host_.SetTestCardLayer(64, 48);
    host_.masks.Add(OPEN, false, Corners({{10, 20}, {50, 20}}));
    host_.masks.Add(CLOSED, true, Corners({{10, 10}, {40, 10}, {40, 40}}));
    EXPECT_EQ(host_.StartInstance(), PF_Err_NONE);
  }

  void Choose(PF_PathID id) {
    ASSERT_TRUE(host_.params.SetValue(PARAM_PATH, static_cast<double>(id)));
  }

  // One PF_Cmd_UPDATE_PARAMS_UI with out_flags starting as HELD; `arm`, when given,
  // sets the host's faults right before it.
  PF_Err Upkeep(std::function<void(refhost::FaultPlan&)> arm = nullptr) {
    host_.before_entry = [&](PF_InData&, PF_OutData& out) {
      out.out_flags = HELD;
      host_.faults.Clear();
      if (arm) arm(host_.faults);
    };
    host_.trace.Clear();
    const PF_Err err = host_.Send(PF_Cmd_UPDATE_PARAMS_UI);
    host_.before_entry = nullptr;
    return err;
  }

  std::vector<std::string> Lines() const {
    return CallLines(host_.trace.Entries(), {"host_new_handle", "host_dispose_handle"});
  }
  std::size_t Count(const std::string& call) const { return host_.trace.Count(call); }
  std::string Message() { return host_.OutData().return_msg; }
  A_u_longlong SequenceSize() { return host_.handles.Size(host_.SequenceDataHandle()); }
};

TEST_F(UpkeepTest, OnlyTheOffsetThatFitsThePathIsShownAndBothFlagsAreWrittenEveryPass) {
  struct Case {
    const char* what;
    PF_PathID path;
    bool percent_hidden, angle_hidden;
  };
  const Case cases[] = {
      {"no path", 0, true, true},         {"open path", OPEN, false, true},
      {"same again", OPEN, false, true},  {"closed path", CLOSED, true, false},
      {"no path again", 0, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(c.path);
    ASSERT_EQ(Upkeep(), PF_Err_NONE);
    const std::string flags[] = {
        "AEGP_SetDynamicStreamFlag 2 hidden=" + std::to_string(c.percent_hidden ? 1 : 0),
        "AEGP_SetDynamicStreamFlag 3 hidden=" + std::to_string(c.angle_hidden ? 1 : 0)};
    std::vector<std::string> written;
    for (const std::string& line : Lines()) {
      if (line.rfind("AEGP_SetDynamicStreamFlag", 0) == 0) written.push_back(line);
    }
    EXPECT_EQ(written, (std::vector<std::string>{flags[0], flags[1]}));
    EXPECT_EQ(host_.params.Hidden(PARAM_OFFSET_PERCENT), c.percent_hidden);
    EXPECT_EQ(host_.params.Hidden(PARAM_OFFSET_ANGLE), c.angle_hidden);
    const std::size_t path_calls = c.path != 0 ? 1 : 0;
    EXPECT_EQ(Count("PF_CheckoutPath"), path_calls);
    EXPECT_EQ(Count("PF_PathIsOpen"), path_calls);
    EXPECT_EQ(Count("PF_CheckinPath"), path_calls);
    EXPECT_EQ(host_.OutData().out_flags, HELD | PF_OutFlag_REFRESH_UI);
  }
  ExpectClean();
}

TEST_F(UpkeepTest, APassWithAChangeMakesItsCallsInOrder) {
  Choose(OPEN);
  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "PF_CheckoutPath", "PF_PathIsOpen", "PF_CheckinPath",
                         "AEGP_GetNewEffectForEffect", "AEGP_GetNewEffectStreamByIndex 2",
                         "AEGP_GetNewEffectStreamByIndex 3", "AEGP_SetDynamicStreamFlag 2 hidden=0",
                         "AEGP_SetDynamicStreamFlag 3 hidden=1", "PF_HasParamChanged -3 changed=1",
                         "host_new_handle", "PF_GetCurrentState", "host_dispose_handle",
                         "AEGP_DisposeEffect", "AEGP_DisposeStream", "AEGP_DisposeStream"}));
  // The HIDDEN flag, outside the undo history.
  for (const refhost::TraceEntry& e : host_.trace.Entries()) {
    if (e.call != "AEGP_SetDynamicStreamFlag") continue;
    EXPECT_EQ(e.args["flag"], AEGP_DynStreamFlag_HIDDEN);
    EXPECT_EQ(e.args["undoable"], 0);
  }
  ExpectClean();
}

TEST_F(UpkeepTest, NoChangeKeepsTheSnapshotHandleAndMakesNoAllocation) {
  const PF_Handle snapshot = host_.SequenceDataHandle();
  ASSERT_EQ(SequenceSize(), sizeof(PF_State));
  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  EXPECT_EQ(host_.SequenceDataHandle(), snapshot);
  EXPECT_EQ(Count("PF_HasParamChanged"), 1u);
  EXPECT_EQ(Count("host_new_handle"), 0u);
  EXPECT_EQ(Count("PF_GetCurrentState"), 0u);
  ExpectClean();
}

TEST_F(UpkeepTest, AChangeInstallsANewSnapshotInBothBlocksAndDisposesTheOld) {
  const PF_Handle old = host_.SequenceDataHandle();
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 25.0));
  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  const PF_Handle renewed = host_.SequenceDataHandle();
  EXPECT_NE(renewed, old);
  EXPECT_EQ(host_.InData().sequence_data, renewed);
  EXPECT_EQ(host_.OutData().sequence_data, renewed);
  EXPECT_EQ(SequenceSize(), sizeof(PF_State));
  EXPECT_EQ(host_.handles.StateOf(old), refhost::HandleTable::State::DISPOSED);

  // The new snapshot is current: the next pass finds nothing changed.
  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  EXPECT_EQ(host_.SequenceDataHandle(), renewed);
  ExpectClean();
}

// The one-byte block of setup or re-setup holds no snapshot: the first pass
// takes one without asking, and the block is never shown to the host as one.
TEST_F(UpkeepTest, TheFirstPassAfterSetupOrResetupSnapshotsWithoutAsking) {
  for (PF_Cmd cmd : {PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP}) {
    SCOPED_TRACE(cmd);
    ASSERT_EQ(host_.Send(cmd), PF_Err_NONE);
    const PF_Handle placeholder = host_.SequenceDataHandle();
    ASSERT_EQ(SequenceSize(), 1u);
    ASSERT_EQ(Upkeep(), PF_Err_NONE);
    EXPECT_EQ(Count("PF_HasParamChanged"), 0u);
    EXPECT_EQ(Count("PF_GetCurrentState"), 1u);
    EXPECT_EQ(SequenceSize(), sizeof(PF_State));
    EXPECT_EQ(host_.handles.StateOf(placeholder), refhost::HandleTable::State::DISPOSED);
  }
  ExpectClean();
}

// A failed state query is shown to the user as "ERROR", replacing whatever flags
// the command started with; the sequence data stays what it was and the new
// block made for the failed snapshot goes back.
TEST_F(UpkeepTest, AFailedStateQueryShowsErrorAndKeepsTheSequenceData) {
  struct Case {
    const char* call;
    std::function<void(refhost::Host&)> prepare;
  };
  const Case cases[] = {
      {"PF_HasParamChanged",
       [](refhost::Host& h) { ASSERT_TRUE(h.params.SetValue(PARAM_OFFSET_PERCENT, 40.0)); }},
      {"PF_GetCurrentState",
       [](refhost::Host& h) { ASSERT_TRUE(h.params.SetValue(PARAM_OFFSET_PERCENT, 60.0)); }},
      {"PF_GetCurrentState", [](refhost::Host& h) { ASSERT_EQ(h.SequenceResetup(), PF_Err_NONE); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    c.prepare(host_);
    const PF_Handle before = host_.SequenceDataHandle();
    const A_u_longlong size = SequenceSize();
    EXPECT_EQ(Upkeep([&](refhost::FaultPlan& f) { f.FailCall(c.call, 1, FAULT); }), FAULT);
    EXPECT_EQ(host_.OutData().out_flags, ERROR_SHOWN);
    EXPECT_EQ(Message(), "ERROR");
    EXPECT_EQ(host_.SequenceDataHandle(), before);
    EXPECT_EQ(host_.OutData().sequence_data, before);
    EXPECT_EQ(SequenceSize(), size);
    EXPECT_EQ(Count("AEGP_DisposeEffect"), 1u);
    EXPECT_EQ(Count("AEGP_DisposeStream"), 2u);
    ExpectClean();
  }
}

// No memory for a snapshot is no error: nothing is reported, and the next pass
// asks again.
TEST_F(UpkeepTest, NoBlockForASnapshotIsNotReportedAndTheNextPassAsksAgain) {
  const PF_Handle snapshot = host_.SequenceDataHandle();
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 30.0));
  EXPECT_EQ(Upkeep([](refhost::FaultPlan& f) { f.FailAllocation(1); }), PF_Err_NONE);
  EXPECT_EQ(host_.OutData().out_flags, HELD | PF_OutFlag_REFRESH_UI);
  EXPECT_EQ(Message(), "");
  EXPECT_EQ(host_.SequenceDataHandle(), snapshot);

  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  EXPECT_EQ(Count("PF_HasParamChanged"), 1u);
  EXPECT_EQ(Count("PF_GetCurrentState"), 1u);
  EXPECT_NE(host_.SequenceDataHandle(), snapshot);
  ExpectClean();
}

// A failure before the flags: no flag is written, no message set, only the
// refresh is added, and the path goes back whenever it was checked out.
TEST_F(UpkeepTest, AFailureBeforeTheFlagsWritesNoneAndGivesEverythingBack) {
  struct Case {
    const char* call;
    std::vector<std::string> lines;
  };
  const std::string failed = " -> " + FAULT_TEXT;
  const Case cases[] = {
      {"PF_PathIsOpen", {"PF_CheckoutPath", "PF_PathIsOpen" + failed, "PF_CheckinPath"}},
      {"AEGP_GetNewEffectForEffect",
       {"PF_CheckoutPath", "PF_PathIsOpen", "PF_CheckinPath", "AEGP_GetNewEffectForEffect" + failed}},
      {"AEGP_GetNewEffectStreamByIndex",
       {"PF_CheckoutPath", "PF_PathIsOpen", "PF_CheckinPath", "AEGP_GetNewEffectForEffect",
        "AEGP_GetNewEffectStreamByIndex 2" + failed, "AEGP_DisposeEffect"}},
  };
  Choose(CLOSED);
  ASSERT_EQ(Upkeep(), PF_Err_NONE);
  Choose(OPEN);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(Upkeep([&](refhost::FaultPlan& f) { f.FailCall(c.call, 1, FAULT); }), FAULT);
    EXPECT_EQ(Lines(), c.lines);
    EXPECT_EQ(host_.OutData().out_flags, HELD | PF_OutFlag_REFRESH_UI);
    EXPECT_EQ(Message(), "");
    EXPECT_TRUE(host_.params.Hidden(PARAM_OFFSET_PERCENT));  // as the closed path left them
    EXPECT_FALSE(host_.params.Hidden(PARAM_OFFSET_ANGLE));
    ExpectClean();
  }
}

TEST_F(UpkeepTest, AFailedSecondFlagWriteStillReleasesAllThreeReferences) {
  Choose(OPEN);
  EXPECT_EQ(Upkeep([](refhost::FaultPlan& f) { f.FailCall("AEGP_SetDynamicStreamFlag", 2, FAULT); }),
            FAULT);
  EXPECT_EQ(Lines(), (std::vector<std::string>{
                         "PF_CheckoutPath", "PF_PathIsOpen", "PF_CheckinPath",
                         "AEGP_GetNewEffectForEffect", "AEGP_GetNewEffectStreamByIndex 2",
                         "AEGP_GetNewEffectStreamByIndex 3", "AEGP_SetDynamicStreamFlag 2 hidden=0",
                         "AEGP_SetDynamicStreamFlag 3 hidden=1 -> " + FAULT_TEXT,
                         "AEGP_DisposeEffect", "AEGP_DisposeStream", "AEGP_DisposeStream"}));
  EXPECT_FALSE(host_.params.Hidden(PARAM_OFFSET_PERCENT));  // the first write stays
  EXPECT_EQ(host_.OutData().out_flags, HELD | PF_OutFlag_REFRESH_UI);
  EXPECT_EQ(Message(), "");
  ExpectClean();
}

// Without the block of global setup there is no plug-in id to present: the
// upkeep fails like a failed effect reference, and nothing is left out.
TEST(UpkeepWithoutGlobalData, FailsBeforeAnyAegpCallAndStillAsksForARefresh) {
  refhost::Module module(THIMBLEROUTE_MODULE_PATH);
  refhost::Host host(module.Entry());
  host.masks.Add(OPEN, false, Corners({{10, 20}, {50, 20}}));
  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(host.SequenceSetup(), PF_Err_NONE);
  ASSERT_TRUE(host.params.SetValue(PARAM_PATH, static_cast<double>(OPEN)));
  const PF_Handle placeholder = host.SequenceDataHandle();
  host.trace.Clear();
  EXPECT_EQ(host.Send(PF_Cmd_UPDATE_PARAMS_UI), PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(CallLines(host.trace.Entries()),
            (std::vector<std::string>{"PF_CheckoutPath", "PF_PathIsOpen", "PF_CheckinPath"}));
  EXPECT_EQ(host.OutData().out_flags, PF_OutFlag_REFRESH_UI);
  EXPECT_EQ(host.SequenceDataHandle(), placeholder);
  EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
  EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
}

}  // namespace
