// Who the effect says it is. Global setup, About and the property list all take
// their values from here, so the code and the resource cannot disagree.
#pragma once

#include "../host/pf_types.h"

constexpr const char* EFFECT_NAME = "Thimbleroute";
constexpr const char* EFFECT_CATEGORY = "Nemblo";
constexpr const char* EFFECT_MATCH_NAME = "Thimbleroute by Durvasket";
constexpr const char* EFFECT_DESCRIPTION = "Imagination!";
constexpr const char* ENTRY_POINT_NAME = "EntryPointFunc";
// The name under which global setup registers with the AEGP interface.
constexpr const char* AEGP_REGISTRATION_NAME = "Error!";

constexpr A_u_long MAJOR_VERSION = 1;
constexpr A_u_long MINOR_VERSION = 0;
constexpr A_u_long BUG_VERSION = 0;
constexpr A_u_long STAGE_VERSION = PF_Stage_RELEASE;
constexpr A_u_long BUILD_VERSION = 1;
constexpr A_u_long EFFECT_VERSION =
    PF_VERSION(MAJOR_VERSION, MINOR_VERSION, BUG_VERSION, STAGE_VERSION, BUILD_VERSION);
static_assert(EFFECT_VERSION == 525825, "version 1.0.0 release build 1");

constexpr PF_OutFlags EFFECT_OUT_FLAGS = PF_OutFlag_USE_OUTPUT_EXTENT |
                                         PF_OutFlag_DEEP_COLOR_AWARE |
                                         PF_OutFlag_SEND_UPDATE_PARAMS_UI;
constexpr PF_OutFlags2 EFFECT_OUT_FLAGS2 =
    PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
static_assert(EFFECT_OUT_FLAGS == 0x6000040 && EFFECT_OUT_FLAGS2 == 0x1400, "flag words");
