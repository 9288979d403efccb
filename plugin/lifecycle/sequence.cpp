#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "global_data.h"

PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* /*out_data*/) {
  if (in_data->sequence_data == nullptr) return PF_Err_NONE;
  SuiteCache suites(in_data->pica_basicP);
  suites.HandleSuite()->host_dispose_handle(in_data->sequence_data);
  return PF_Err_NONE;
}

// Serves both setup and re-setup: whatever block the host hands in is disposed and
// replaced by the one-byte placeholder, so any earlier snapshot is discarded.
PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data) {
  SuiteCache suites(in_data->pica_basicP);
  PF_Err err = SequenceSetdown(in_data, out_data);
  if (err != PF_Err_NONE) return err;

  const PF_HandleSuite1* handles = suites.HandleSuite();
  PF_Handle sequence = handles->host_new_handle(SEQUENCE_PLACEHOLDER_SIZE);
  if (sequence == nullptr) return PF_Err_OUT_OF_MEMORY;

  auto* byte = static_cast<A_u_char*>(handles->host_lock_handle(sequence));
  if (byte == nullptr) {
    // A block that cannot be written is of no use to later commands and nobody
    // else holds it: give it back rather than leak it.
    handles->host_dispose_handle(sequence);
    return PF_Err_OUT_OF_MEMORY;
  }
  *byte = 0;
  out_data->sequence_data = sequence;
  handles->host_unlock_handle(sequence);
  return err;
}
