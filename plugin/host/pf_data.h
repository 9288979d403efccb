// The blocks that travel with every command, and the callback tables inside them.
#pragma once

#include "pf_param.h"
#include "pf_types.h"
#include "pf_world.h"
#include "sp_basic_suite.h"

// The host's C library routines, so the module needs none of its own for these.
struct PF_ANSICallbacks {
  PF_FpLong (*atan2)(PF_FpLong y, PF_FpLong x);
  PF_FpLong (*fmod)(PF_FpLong x, PF_FpLong y);  // C semantics: sign of x, |result| < |y|
  A_long (*sprintf)(A_char* buffer, const A_char* format, ...);
  A_char* (*strcpy)(A_char* dest, const A_char* src);
};

struct PF_UtilCallbacks {
  // Copies src into dst; null rectangles mean the whole world.
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                 PF_Rect* src_r, PF_Rect* dst_r);
  // Sets every pixel of dst_rect (the whole world when null) to color.
  PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                 PF_EffectWorld* world);
  PF_Handle (*host_new_handle)(A_u_longlong size);  // null when out of memory
  void* (*host_lock_handle)(PF_Handle pf_handle);    // null when the block cannot be had
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  A_u_longlong (*get_handle_size)(PF_Handle pf_handle);
  PF_ANSICallbacks ansi;
};

struct PF_InteractCallbacks {
  // Value of parameter `param_index` at what_time; balance with checkin_param.
  PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex param_index, A_long what_time,
                           A_long time_step, A_u_long time_scale, PF_ParamDef* param);
  PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
  // Appends (index -1) a parameter; the host copies the record during the call.
  PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
};

struct PF_InData {
  PF_InteractCallbacks inter;
  PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  A_long current_time;  // layer time, in time_scale units
  A_long time_step;
  A_long total_time;
  A_u_long time_scale;
  A_long width, height;
  PF_RationalScale downsample_x, downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  SPBasicSuite* pica_basicP;
};

struct PF_OutData {
  A_u_long my_version;
  A_char name[32];
  PF_Handle global_data;
  A_long num_params;
  PF_Handle sequence_data;
  A_long flat_sdata_size;
  PF_Handle frame_data;
  A_long width, height;
  PF_Point origin;
  PF_OutFlags out_flags;
  A_char return_msg[256];  // shown to the user with PF_OutFlag_DISPLAY_ERROR_MESSAGE
  PF_OutFlags2 out_flags2;
};
