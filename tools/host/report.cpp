#include "report.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace thimbleroute_cli {

namespace {

std::string FlagsText(A_long flags, const std::vector<std::pair<A_long, const char*>>& names) {
  std::string text;
  auto bits = static_cast<A_u_long>(flags);
  for (const auto& [bit, name] : names) {
    if ((bits & static_cast<A_u_long>(bit)) != 0) {
      text += (text.empty() ? "" : " | ") + std::string(name);
      bits &= ~static_cast<A_u_long>(bit);
    }
  }
  if (bits != 0) {
    char rest[16];
    std::snprintf(rest, sizeof rest, "0x%x", static_cast<unsigned>(bits));
    text += (text.empty() ? "" : " | ") + std::string(rest);
  }
  return text.empty() ? "none" : text;
}

}  // namespace

std::string VersionText(A_u_long version) {
  static const char* const STAGES[] = {"develop", "alpha", "beta", "release"};
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u %s build %u", static_cast<unsigned>((version >> 19) & 0x7u),
                static_cast<unsigned>((version >> 15) & 0xFu), static_cast<unsigned>((version >> 11) & 0xFu),
                STAGES[(version >> 9) & 0x3u], static_cast<unsigned>(version & 0x1FFu));
  return text;
}

std::string OutFlagsText(PF_OutFlags flags) {
  return FlagsText(flags, {{PF_OutFlag_USE_OUTPUT_EXTENT, "PF_OutFlag_USE_OUTPUT_EXTENT"},
                           {PF_OutFlag_DISPLAY_ERROR_MESSAGE, "PF_OutFlag_DISPLAY_ERROR_MESSAGE"},
                           {PF_OutFlag_REFRESH_UI, "PF_OutFlag_REFRESH_UI"},
                           {PF_OutFlag_DEEP_COLOR_AWARE, "PF_OutFlag_DEEP_COLOR_AWARE"},
                           {PF_OutFlag_SEND_UPDATE_PARAMS_UI, "PF_OutFlag_SEND_UPDATE_PARAMS_UI"}});
}

std::string OutFlags2Text(PF_OutFlags2 flags) {
  return FlagsText(flags, {{PF_OutFlag2_SUPPORTS_SMART_RENDER, "PF_OutFlag2_SUPPORTS_SMART_RENDER"},
                           {PF_OutFlag2_FLOAT_COLOR_AWARE, "PF_OutFlag2_FLOAT_COLOR_AWARE"}});
}

std::string PluginErrorText(const std::string& command, PF_Err err, const PF_OutData& out_data) {
  std::string text = command + " failed with error " + std::to_string(err);
  if ((out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0) {
    // return_msg may lack its terminator if the plug-in misbehaved: read at most its size.
    std::size_t n = strnlen(out_data.return_msg, sizeof out_data.return_msg);
    if (n > 0) text += ": " + std::string(out_data.return_msg, n);
  }
  return text;
}

}  // namespace thimbleroute_cli
