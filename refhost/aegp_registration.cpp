// "AEGP Utility Suite" 7: registration gives the plug-in id that every later AEGP
// call must present.
#include <string>

#include "serve.h"

namespace refhost {

namespace {

// Ids start high so that a zeroed or made-up id is never mistaken for a real one.
constexpr AEGP_PluginID FIRST_PLUGIN_ID = 7001;

A_Err RegisterWithAEGP(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                       AEGP_PluginID* plugin_id) {
  const std::string name = plugin_name != nullptr ? plugin_name : "";
  return ServeCall(
      "AEGP_RegisterWithAEGP",
      [&] {
        return nlohmann::json{{"name", name}, {"global_refcon", global_refcon != nullptr}};
      },
      [&](Host& host) -> PF_Err {
        if (plugin_id == nullptr) {
          host.ledger.Violation("AEGP_RegisterWithAEGP without a place for the id");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.SetPluginId(FIRST_PLUGIN_ID);
        *plugin_id = FIRST_PLUGIN_ID;
        return PF_Err_NONE;
      });
}

const AEGP_UtilitySuite7 UTILITY_SUITE = {RegisterWithAEGP};

}  // namespace

void InstallAegpRegistration(Host& host) {
  host.ServeSuite(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7, &UTILITY_SUITE);
}

// Demanded by every AEGP call that takes a plug-in id.
bool CheckPluginId(Host& host, AEGP_PluginID id, const char* call) {
  if (host.PluginId() != 0 && id == host.PluginId()) return true;
  host.ledger.Violation(std::string(call) + ": plug-in id " + std::to_string(id) +
                        " was never registered");
  return false;
}

}  // namespace refhost
