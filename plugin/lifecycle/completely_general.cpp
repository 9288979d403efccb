#include <cstddef>

#include "../host/handlers.h"
#include "../host/suite_cache.h"

namespace {
// return_msg holds 255 characters and a NUL.
constexpr std::size_t RETURN_MSG_CHARS = sizeof(PF_OutData::return_msg) - 1;
}  // namespace

// Echoes the caller's text as the effect's message. A text longer than the field
// is cut to fit and a missing one gives an empty message: nothing is ever written
// past return_msg.
PF_Err CompletelyGeneral(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                         PF_LayerDef* /*output*/, void* extra) {
  SuiteCache suites(in_data->pica_basicP);
  const char* text = extra != nullptr ? static_cast<const char*>(extra) : "";
  std::size_t length = 0;
  while (length < RETURN_MSG_CHARS && text[length] != '\0') ++length;
  suites.AnsiSuite()->sprintf(out_data->return_msg, "%.*s", static_cast<int>(length), text);
  return PF_Err_NONE;
}
