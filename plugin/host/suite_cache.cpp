#include "suite_cache.h"

namespace {

struct SuiteKey {
  const char* name;
  A_long version;
};

// Indexed by SuiteCache::Slot; each slot is acquired and released under its own pair.
constexpr SuiteKey SLOT_KEYS[] = {
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7},
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion7},
    {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kPFPathQuerySuite, kPFPathQuerySuiteVersion1},
    {kPFPathDataSuite, kPFPathDataSuiteVersion1},
    {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion2},
    {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion3},
};

const char* const DEFAULT_ACQUIRE_MESSAGE = "Not able to acquire AEFX Suite.";
const char* const DEFAULT_RELEASE_MESSAGE = "Not able to release AEFX Suite.";

PF_Err Report(PF_InData* in_data, PF_OutData* out_data, const char* message) {
  out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  in_data->utils->ansi.sprintf(out_data->return_msg, message);
  return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace

static_assert(sizeof(SLOT_KEYS) / sizeof(SLOT_KEYS[0]) == 11, "one key per slot");

SuiteCache::SuiteCache(const SPBasicSuite* basic) : basic_(basic) {
  if (basic_ == nullptr) throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
}

SuiteCache::~SuiteCache() {
  for (int slot = 0; slot < SLOT_COUNT; ++slot) {
    if (slots_[slot] != nullptr) {
      basic_->ReleaseSuite(SLOT_KEYS[slot].name, SLOT_KEYS[slot].version);
    }
  }
}

const void* SuiteCache::Acquire(Slot slot) {
  if (slots_[slot] != nullptr) return slots_[slot];
  const void* suite = nullptr;
  const SPErr err = basic_->AcquireSuite(SLOT_KEYS[slot].name, SLOT_KEYS[slot].version, &suite);
  if (err != kSPNoError || suite == nullptr) {
    // A suite handed out along with an error has still been handed out: give it
    // back, or the host would hold it for good.
    if (suite != nullptr) basic_->ReleaseSuite(SLOT_KEYS[slot].name, SLOT_KEYS[slot].version);
    throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
  }
  slots_[slot] = suite;
  return suite;
}

const PF_ANSICallbacksSuite1* SuiteCache::AnsiSuite() {
  return static_cast<const PF_ANSICallbacksSuite1*>(Acquire(SLOT_ANSI));
}
const AEGP_UtilitySuite7* SuiteCache::UtilitySuite() {
  return static_cast<const AEGP_UtilitySuite7*>(Acquire(SLOT_UTILITY));
}
const PF_HandleSuite1* SuiteCache::HandleSuite() {
  return static_cast<const PF_HandleSuite1*>(Acquire(SLOT_HANDLE));
}
const AEGP_StreamSuite7* SuiteCache::StreamSuite() {
  return static_cast<const AEGP_StreamSuite7*>(Acquire(SLOT_STREAM));
}
const AEGP_DynamicStreamSuite2* SuiteCache::DynamicStreamSuite() {
  return static_cast<const AEGP_DynamicStreamSuite2*>(Acquire(SLOT_DYNAMIC_STREAM));
}
const AEGP_PFInterfaceSuite1* SuiteCache::PFInterfaceSuite() {
  return static_cast<const AEGP_PFInterfaceSuite1*>(Acquire(SLOT_PF_INTERFACE));
}
const PF_PathQuerySuite1* SuiteCache::PathQuerySuite() {
  return static_cast<const PF_PathQuerySuite1*>(Acquire(SLOT_PATH_QUERY));
}
const PF_PathDataSuite1* SuiteCache::PathDataSuite() {
  return static_cast<const PF_PathDataSuite1*>(Acquire(SLOT_PATH_DATA));
}
const PF_ParamUtilsSuite1* SuiteCache::ParamUtilsSuite() {
  return static_cast<const PF_ParamUtilsSuite1*>(Acquire(SLOT_PARAM_UTILS));
}
const AEGP_EffectSuite2* SuiteCache::EffectSuite() {
  return static_cast<const AEGP_EffectSuite2*>(Acquire(SLOT_EFFECT));
}
const AEGP_KeyframeSuite3* SuiteCache::KeyframeSuite() {
  return static_cast<const AEGP_KeyframeSuite3*>(Acquire(SLOT_KEYFRAME));
}

PF_Err AcquireSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message, const void** suite) {
  if (in_data->pica_basicP != nullptr) {
    // Only the pointer counts here: a host that reports an error but hands out a
    // suite has still handed it out, and it must be released.
    in_data->pica_basicP->AcquireSuite(name, version, suite);
    if (*suite != nullptr) return PF_Err_NONE;
  }
  return Report(in_data, out_data, message != nullptr ? message : DEFAULT_ACQUIRE_MESSAGE);
}

PF_Err ReleaseSuiteOrReport(PF_InData* in_data, PF_OutData* out_data, const char* name,
                            A_long version, const char* message) {
  if (in_data->pica_basicP != nullptr) {
    in_data->pica_basicP->ReleaseSuite(name, version);
    return PF_Err_NONE;
  }
  return Report(in_data, out_data, message != nullptr ? message : DEFAULT_RELEASE_MESSAGE);
}
