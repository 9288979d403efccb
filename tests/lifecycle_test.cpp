// About, global setup, sequence setup/re-setup/set-down and the completely-general
// echo, driven through the module file.
#include <cstring>
#include <string>
#include <vector>

#include "lifecycle/global_data.h"
#include "module_host.h"

namespace {

using refhost::HandleTable;
using LifecycleTest = ModuleHostTest;

constexpr PF_Err HOST_CODE = 1234;  // an error code only the host could have made up

TEST_F(LifecycleTest, AboutWritesNameVersionAndDescriptionOnTwoLines) {
  ASSERT_EQ(host_.Send(PF_Cmd_ABOUT), PF_Err_NONE);
  const std::string expected = "Thimbleroute, v1.0\rImagination!";
  EXPECT_EQ(std::string(host_.OutData().return_msg), expected);
  EXPECT_EQ(host_.OutData().out_flags, 0);
  ExpectClean();
}

TEST_F(LifecycleTest, GlobalSetupAddsExactlyItsFlagBitsToTheHosts) {
  struct Case {
    PF_OutFlags host_flags;
    PF_OutFlags2 host_flags2;
  };
  // Nothing set; unrelated bits set; bits overlapping the effect's own.
  for (const Case& c : {Case{0, 0}, Case{0x11, 0x3}, Case{0x40 | 0x100, 0x400 | 0x8}}) {
    SCOPED_TRACE(c.host_flags);
    refhost::Host host(module_.Entry());
    host.before_entry = [&](PF_InData&, PF_OutData& out) {
      out.out_flags = c.host_flags;
      out.out_flags2 = c.host_flags2;
    };
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.OutData().my_version, 525825u);
    EXPECT_EQ(host.OutData().out_flags, c.host_flags | 0x6000040);
    EXPECT_EQ(host.OutData().out_flags2, c.host_flags2 | 0x1400);
  }
}

TEST_F(LifecycleTest, GlobalSetupRegistersAndLeavesTheIdInAnUnlockedBlock) {
  ASSERT_EQ(host_.GlobalSetup(), PF_Err_NONE);
  const PF_Handle global = host_.GlobalDataHandle();
  ASSERT_NE(global, nullptr);
  EXPECT_EQ(host_.handles.Size(global), sizeof(GlobalData));
  EXPECT_EQ(host_.handles.LockCount(global), 0);
  GlobalData block;
  std::memcpy(&block, host_.handles.Bytes(global), sizeof(block));
  EXPECT_NE(host_.PluginId(), 0);
  EXPECT_EQ(block.plugin_id, host_.PluginId());

  ASSERT_EQ(host_.trace.Count("AEGP_RegisterWithAEGP"), 1u);
  for (const auto& entry : host_.trace.Entries()) {
    if (entry.call != "AEGP_RegisterWithAEGP") continue;
    EXPECT_EQ(entry.args["name"], "Error!");
    EXPECT_EQ(entry.args["global_refcon"], false);
  }
  ExpectClean();
}

TEST_F(LifecycleTest, GlobalSetupFailureLeavesNoGlobalDataAndNoHandle) {
  struct Case {
    const char* what;
    const char* call;
    PF_Err code;      // injected into the first `call`
    PF_Err expected;  // the command's result
    bool registers;
  };
  const Case cases[] = {
      {"no handle", "host_new_handle", PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED, false},
      // Later commands read the id without a check: a block that cannot be
      // written must end setup with an error, not with a success and no data.
      {"handle that will not lock", "host_lock_handle", PF_Err_OUT_OF_MEMORY,
       PF_Err_OUT_OF_MEMORY, false},
      {"registration refused", "AEGP_RegisterWithAEGP", HOST_CODE, HOST_CODE, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    refhost::Host host(module_.Entry());
    host.faults.FailCall(c.call, 1, c.code);
    EXPECT_EQ(host.GlobalSetup(), c.expected);
    EXPECT_EQ(host.GlobalDataHandle(), nullptr);
    EXPECT_EQ(host.OutData().global_data, nullptr);
    EXPECT_EQ(host.trace.Count("AEGP_RegisterWithAEGP"), c.registers ? 1u : 0u);
    // A handle that was made is unlocked and given back, never kept or lost.
    EXPECT_TRUE(host.handles.Live().empty());
    EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
    EXPECT_EQ(host.OutData().my_version, 525825u);
    EXPECT_STREQ(host.OutData().return_msg, "");
  }
}

TEST_F(LifecycleTest, SetdownWithoutSequenceDataDoesNothingEvenWithoutBasicSuite) {
  host_.SetOffersBasicSuite(false);
  EXPECT_EQ(host_.SequenceSetdown(), PF_Err_NONE);
  EXPECT_TRUE(host_.trace.Entries().empty());
  ExpectClean();
}

TEST_F(LifecycleTest, SetdownDisposesTheSequenceData) {
  ASSERT_EQ(host_.SequenceSetup(), PF_Err_NONE);
  const PF_Handle sequence = host_.SequenceDataHandle();
  ASSERT_NE(sequence, nullptr);
  EXPECT_EQ(host_.SequenceSetdown(), PF_Err_NONE);
  EXPECT_EQ(host_.handles.StateOf(sequence), HandleTable::State::DISPOSED);
  EXPECT_EQ(host_.SequenceDataHandle(), nullptr);
  ExpectClean();
}

// A 16-byte block standing for a parameter snapshot the upkeep left behind.
PF_Handle SnapshotBlock(refhost::Host& host) {
  const PF_Handle block = host.handles.New(16);
  std::memset(host.handles.Lock(block), 0xAB, 16);
  host.handles.Unlock(block);
  return block;
}

TEST_F(LifecycleTest, SetupAndResetupLeaveOneByteHoldingZero) {
  struct Case {
    PF_Cmd cmd;
    bool snapshot_before;
  };
  for (const Case& c : {Case{PF_Cmd_SEQUENCE_SETUP, false}, Case{PF_Cmd_SEQUENCE_RESETUP, true},
                        Case{PF_Cmd_SEQUENCE_SETUP, true}}) {
    SCOPED_TRACE(std::to_string(c.cmd) + (c.snapshot_before ? " over a snapshot" : ""));
    refhost::Host host(module_.Entry());
    const PF_Handle before = c.snapshot_before ? SnapshotBlock(host) : nullptr;
    host.SetSequenceDataHandle(before);

    ASSERT_EQ(host.Send(c.cmd), PF_Err_NONE);
    const PF_Handle after = host.SequenceDataHandle();
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_EQ(host.handles.Size(after), 1u);
    EXPECT_EQ(host.handles.Bytes(after)[0], std::byte{0});
    EXPECT_EQ(host.handles.LockCount(after), 0);
    EXPECT_EQ(host.trace.Count("host_dispose_handle"), c.snapshot_before ? 1u : 0u);
    if (before != nullptr) {
      EXPECT_EQ(host.handles.StateOf(before), HandleTable::State::DISPOSED);
    }
    EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
  }
}

TEST_F(LifecycleTest, SetupFailureDisposesOldAndNewBlocksAndReturnsOutOfMemory) {
  for (const char* call : {"host_new_handle", "host_lock_handle"}) {
    SCOPED_TRACE(call);
    refhost::Host host(module_.Entry());
    const PF_Handle before = SnapshotBlock(host);
    host.SetSequenceDataHandle(before);
    host.faults.FailCall(call, 1, PF_Err_OUT_OF_MEMORY);

    EXPECT_EQ(host.SequenceResetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.SequenceDataHandle(), nullptr);
    EXPECT_EQ(host.handles.StateOf(before), HandleTable::State::DISPOSED);
    // A block that could not be written is not kept half-made.
    EXPECT_TRUE(host.handles.Live().empty());
    EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
    // Set-down afterwards finds nothing to dispose and still succeeds.
    EXPECT_EQ(host.SequenceSetdown(), PF_Err_NONE);
  }
}

TEST_F(LifecycleTest, CompletelyGeneralEchoesTextCutToTheMessageField) {
  const std::string fits(255, 'y');
  const std::string one_over(256, 'z');
  const std::string far_over(300, 'x');
  struct Case {
    const char* what;
    const char* extra;
    std::string expected;
  };
  const Case cases[] = {
      {"short", "hello", "hello"},
      {"format characters taken literally", "100% %s %n", "100% %s %n"},
      {"exactly the field", fits.c_str(), fits},
      {"one past the field", one_over.c_str(), std::string(255, 'z')},
      {"far past the field", far_over.c_str(), std::string(255, 'x')},
      {"empty", "", ""},
      {"null", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    refhost::Host host(module_.Entry());
    // A stale message in the field shows that an empty text is written, not skipped.
    host.before_entry = [](PF_InData&, PF_OutData& out) { std::strcpy(out.return_msg, "stale"); };
    EXPECT_EQ(host.Send(PF_Cmd_COMPLETELY_GENERAL, const_cast<char*>(c.extra)), PF_Err_NONE);
    EXPECT_EQ(std::string(host.OutData().return_msg), c.expected);
    EXPECT_EQ(host.OutData().out_flags, 0);
    // The host's sprintf reports any attempt to write past return_msg.
    EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
  }
}

}  // namespace
