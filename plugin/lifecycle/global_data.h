// The blocks the host keeps for the effect between commands.
#pragma once

#include "../host/host_contract.h"

// One per loaded module, made at global setup and never disposed by the effect.
struct GlobalData {
  AEGP_PluginID plugin_id;  // id from AEGP registration, demanded by every AEGP call
};

// Sequence data is either the one-byte placeholder made at sequence setup or a
// 16-byte handle holding the host's PF_State snapshot (see params/).
constexpr A_u_longlong SEQUENCE_PLACEHOLDER_SIZE = 1;
constexpr A_u_longlong SEQUENCE_SNAPSHOT_SIZE = sizeof(PF_State);
