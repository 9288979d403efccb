// Per-command access to host suites: acquired on first use, released when the
// command's handler ends, however it ends.
#pragma once

#include "host_contract.h"

class SuiteCache {
 public:
  // Throws PF_Err_BAD_CALLBACK_PARAM when the host gives no basic suite.
  explicit SuiteCache(const SPBasicSuite* basic);
  ~SuiteCache();
  SuiteCache(const SuiteCache&) = delete;
  SuiteCache& operator=(const SuiteCache&) = delete;

  // Each accessor acquires its suite on the first call and throws
  // PF_Err_BAD_CALLBACK_PARAM when the host has none to give.
  const PF_ANSICallbacksSuite1* AnsiSuite();
  const AEGP_UtilitySuite7* UtilitySuite();
  const PF_HandleSuite1* HandleSuite();
  const AEGP_StreamSuite7* StreamSuite();
  const AEGP_DynamicStreamSuite2* DynamicStreamSuite();
  const AEGP_PFInterfaceSuite1* PFInterfaceSuite();
  const PF_PathQuerySuite1* PathQuerySuite();
  const PF_PathDataSuite1* PathDataSuite();
  const PF_ParamUtilsSuite1* ParamUtilsSuite();
  const AEGP_EffectSuite2* EffectSuite();
  const AEGP_KeyframeSuite3* KeyframeSuite();

 private:
  // Only the suites this effect reaches have a slot: the host's catalogue holds
  // many more, but a slot that no accessor fills would never need releasing.
  enum Slot {
    SLOT_ANSI,
    SLOT_UTILITY,
    SLOT_HANDLE,
    SLOT_STREAM,
    SLOT_DYNAMIC_STREAM,
    SLOT_PF_INTERFACE,
    SLOT_PATH_QUERY,
    SLOT_PATH_DATA,
    SLOT_PARAM_UTILS,
    SLOT_EFFECT,
    SLOT_KEYFRAME,
    SLOT_COUNT
  };
  const void* Acquire(Slot slot);

  const SPBasicSuite* basic_;
  const void* slots_[SLOT_COUNT] = {};
};

// One-shot acquisition outside any cache. Never throws: a failure sets the
// display-error flag, writes `message` (or a default) into return_msg and gives 516.
// Callers set *suite to null first: without a basic suite nothing is stored.
PF_Err AcquireSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message, const void** suite);
PF_Err ReleaseSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message);
