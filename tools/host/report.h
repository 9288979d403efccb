// How the program words what the host saw: the effect's version and flags, and a
// plug-in error the way the real host shows one.
#pragma once

#include <string>

#include "plugin/host/host_contract.h"

namespace thimbleroute_cli {

// "1.0.0 release build 1" from the host's packed version number.
std::string VersionText(A_u_long version);

// The set bits by name ("PF_OutFlag_DEEP_COLOR_AWARE | ..."); unknown bits in hex.
std::string OutFlagsText(PF_OutFlags flags);
std::string OutFlags2Text(PF_OutFlags2 flags);

// A parameter as the user meets it: its type ("fixed slider") and its default
// with its range or items ("0.0 % (0 to 100)", "1 \"----------\" of ----------|Execute").
std::string ParamTypeText(PF_ParamType type);
std::string ParamDefaultText(const PF_ParamDef& def);

// "PF_Cmd_SMART_RENDER failed with error 516: Couldn't load suite." The message is
// the one the plug-in left in return_msg; the real host shows it only when the
// plug-in asked for it with PF_OutFlag_DISPLAY_ERROR_MESSAGE, and so does this.
std::string PluginErrorText(const std::string& command, PF_Err err, const PF_OutData& out_data);
// The same with the message already taken from the command's out_data (empty when
// the plug-in did not ask for it to be shown).
std::string PluginErrorText(const std::string& command, PF_Err err, const std::string& shown_message);

}  // namespace thimbleroute_cli
