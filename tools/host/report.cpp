#include "report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
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

// A 16.16 fixed-point number with `decimals` places.
std::string FixedText(PF_Fixed value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value) / 65536.0);
  return text;
}

// The host's texts are the module's; a missing one is shown as empty.
std::string Text(const A_char* text) { return text == nullptr ? std::string() : std::string(text); }

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
  std::string message;
  if ((out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0) {
    // return_msg may lack its terminator if the plug-in misbehaved: read at most its size.
    message.assign(out_data.return_msg, strnlen(out_data.return_msg, sizeof out_data.return_msg));
  }
  return PluginErrorText(command, err, message);
}

std::string PluginErrorText(const std::string& command, PF_Err err, const std::string& shown_message) {
  std::string text = command + " failed with error " + std::to_string(err);
  if (!shown_message.empty()) text += ": " + shown_message;
  return text;
}

std::string ParamTypeText(PF_ParamType type) {
  switch (type) {
    case PF_Param_LAYER: return "layer";
    case PF_Param_SLIDER: return "slider";
    case PF_Param_FIX_SLIDER: return "fixed slider";
    case PF_Param_ANGLE: return "angle";
    case PF_Param_CHECKBOX: return "checkbox";
    case PF_Param_COLOR: return "color";
    case PF_Param_POINT: return "point";
    case PF_Param_POPUP: return "popup";
    case PF_Param_CUSTOM: return "custom";
    case PF_Param_NO_DATA: return "no data";
    case PF_Param_FLOAT_SLIDER: return "float slider";
    case PF_Param_ARBITRARY_DATA: return "arbitrary data";
    case PF_Param_PATH: return "path";
  }
  return "type " + std::to_string(type);
}

std::string ParamDefaultText(const PF_ParamDef& def) {
  std::ostringstream out;
  const PF_ParamDefUnion& u = def.u;
  switch (def.param_type) {
    case PF_Param_PATH:
      if (u.path_d.dephault == 0) {
        out << "none";
      } else {
        out << "path " << u.path_d.dephault;
      }
      break;
    case PF_Param_FIX_SLIDER: {
      const bool percent = (u.fd.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
      const int places = std::max<int>(0, std::min<int>(u.fd.precision, 6));
      out << FixedText(u.fd.dephault, places) << (percent ? " %" : "") << " (" << FixedText(u.fd.valid_min, 0)
          << " to " << FixedText(u.fd.valid_max, 0) << ")";
      break;
    }
    case PF_Param_ANGLE: out << FixedText(u.ad.dephault, 1) << " degrees"; break;
    case PF_Param_POINT:
      // The default is in per cent of the layer's size.
      out << FixedText(u.td.x_dephault, 0) << " %, " << FixedText(u.td.y_dephault, 0) << " % of the layer";
      break;
    case PF_Param_CHECKBOX:
      out << (u.bd.dephault != 0 ? "on" : "off");
      if (!Text(u.bd.u.nameptr).empty()) out << ", beside the box \"" << Text(u.bd.u.nameptr) << "\"";
      break;
    case PF_Param_POPUP: {
      std::vector<std::string> items;
      std::string all = Text(u.pd.u.namesptr);
      for (std::size_t start = 0;;) {
        std::size_t bar = all.find('|', start);
        items.push_back(all.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      out << "item " << u.pd.dephault;
      if (u.pd.dephault >= 1 && static_cast<std::size_t>(u.pd.dephault) <= items.size()) {
        out << " \"" << items[static_cast<std::size_t>(u.pd.dephault) - 1] << "\"";
      }
      out << " of " << u.pd.num_choices << ":";
      for (const std::string& item : items) out << " \"" << item << "\"";
      break;
    }
    case PF_Param_COLOR: {
      char text[16];
      std::snprintf(text, sizeof text, "#%02x%02x%02x", u.cd.dephault.red, u.cd.dephault.green, u.cd.dephault.blue);
      out << text;
      if (u.cd.dephault.alpha != 255) out << " alpha " << static_cast<int>(u.cd.dephault.alpha);
      break;
    }
    default: out << "-"; break;
  }
  return out.str();
}

}  // namespace thimbleroute_cli
