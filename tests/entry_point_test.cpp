// The export and its selector table, driven through the module file.
#include <cstring>
#include <string>
#include <vector>

#include "module_host.h"

namespace {

using EntryPointTest = ModuleHostTest;

TEST_F(EntryPointTest, UnhandledSelectorsReturnNoneAndTouchNothing) {
  ASSERT_EQ(host_.StartInstance(), PF_Err_NONE);
  for (PF_Cmd cmd : std::vector<PF_Cmd>{PF_Cmd_UNUSED_0, PF_Cmd_GLOBAL_SETDOWN, PF_Cmd_SEQUENCE_FLATTEN,
                     PF_Cmd_DO_DIALOG, PF_Cmd_FRAME_SETUP, PF_Cmd_RENDER, PF_Cmd_FRAME_SETDOWN,
                     PF_Cmd_EVENT, PF_Cmd_GET_EXTERNAL_DEPENDENCIES, PF_Cmd_QUERY_DYNAMIC_FLAGS,
                     PF_Cmd_AUDIO_RENDER, PF_Cmd_AUDIO_SETUP, PF_Cmd_AUDIO_SETDOWN,
                     PF_Cmd_ARBITRARY_CALLBACK, 25, 1000, -1, static_cast<PF_Cmd>(0x80000000u)}) {
    SCOPED_TRACE(cmd);
    PF_Handle global = host_.GlobalDataHandle();
    PF_Handle sequence = host_.SequenceDataHandle();
    host_.trace.Clear();
    EXPECT_EQ(host_.Send(cmd), PF_Err_NONE);
    EXPECT_TRUE(host_.trace.Entries().empty());
    const PF_OutData blank{};
    EXPECT_EQ(host_.OutData().out_flags, blank.out_flags);
    EXPECT_STREQ(host_.OutData().return_msg, "");
    EXPECT_EQ(host_.GlobalDataHandle(), global);
    EXPECT_EQ(host_.SequenceDataHandle(), sequence);
  }
  ExpectClean();
}

TEST_F(EntryPointTest, SetupAndResetupShareOneHandler) {
  ASSERT_EQ(host_.GlobalSetup(), PF_Err_NONE);
  ASSERT_EQ(host_.SequenceSetup(), PF_Err_NONE);
  host_.trace.Clear();
  ASSERT_EQ(host_.SequenceSetup(), PF_Err_NONE);
  const std::vector<std::string> setup = host_.trace.Calls();
  host_.trace.Clear();
  ASSERT_EQ(host_.SequenceResetup(), PF_Err_NONE);
  EXPECT_EQ(host_.trace.Calls(), setup);
  ExpectClean();
}

TEST_F(EntryPointTest, MissingSuiteEndsCommandWith516AndReleasesTheRest) {
  // Global setup takes the handle suite, then needs the utility suite to register.
  host_.faults.MakeSuiteUnavailable(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7);
  EXPECT_EQ(host_.GlobalSetup(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host_.trace.Count("AcquireSuite"), 2u);
  EXPECT_EQ(host_.trace.Count("ReleaseSuite"), 1u);
  EXPECT_EQ(host_.trace.Entries().back().args["name"], kPFHandleSuite);
  // The version and flags were written before the failure and stay written.
  EXPECT_EQ(host_.OutData().my_version, 525825u);
  EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
}

TEST(ModuleFile, MissingFileAndMissingExportAreReportedClearly) {
  EXPECT_THROW(
      {
        try {
          refhost::Module module("no/such/Thimbleroute.aex");
        } catch (const refhost::ModuleError& e) {
          EXPECT_NE(std::string(e.what()).find("no such file"), std::string::npos);
          throw;
        }
      },
      refhost::ModuleError);
  EXPECT_THROW(
      {
        try {
          refhost::Module module(THIMBLEROUTE_MODULE_PATH, "NotTheEntryPoint");
        } catch (const refhost::ModuleError& e) {
          EXPECT_NE(std::string(e.what()).find("does not export NotTheEntryPoint"),
                    std::string::npos);
          throw;
        }
      },
      refhost::ModuleError);
}

}  // namespace
