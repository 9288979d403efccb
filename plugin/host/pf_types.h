// The host's scalar types, error codes, command selectors and flag words.
// Names are spelled as the host spells them; the layouts are this project's.
#pragma once

#include <cstdint>

typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef uint8_t A_u_char;
typedef char A_char;
typedef uint8_t A_Boolean;
typedef double A_FpLong;
typedef uint64_t A_u_longlong;
typedef int32_t A_Err;

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_Fixed;   // 16.16 fixed point: 65536 is 1.0
typedef uint8_t PF_Boolean;
typedef double PF_FpLong;
typedef A_long PF_ParamIndex;
typedef A_u_long PF_PathID;  // a mask path's id; 0 means none chosen
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;

// The host's opaque reference to one effect instance; first argument of most calls.
typedef struct PF_ProgressInfo* PF_ProgPtr;
// A host memory handle: a pointer to the block pointer. Only the host moves the block.
typedef void** PF_Handle;

enum : PF_Err {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_BAD_CALLBACK_PARAM = 516,
};

enum : PF_Cmd {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP = 1,
  PF_Cmd_UNUSED_0 = 2,
  PF_Cmd_GLOBAL_SETDOWN = 3,
  PF_Cmd_PARAMS_SETUP = 4,
  PF_Cmd_SEQUENCE_SETUP = 5,
  PF_Cmd_SEQUENCE_RESETUP = 6,
  PF_Cmd_SEQUENCE_FLATTEN = 7,
  PF_Cmd_SEQUENCE_SETDOWN = 8,
  PF_Cmd_DO_DIALOG = 9,
  PF_Cmd_FRAME_SETUP = 10,
  PF_Cmd_RENDER = 11,
  PF_Cmd_FRAME_SETDOWN = 12,
  PF_Cmd_USER_CHANGED_PARAM = 13,
  PF_Cmd_UPDATE_PARAMS_UI = 14,
  PF_Cmd_EVENT = 15,
  PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
  PF_Cmd_COMPLETELY_GENERAL = 17,
  PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
  PF_Cmd_AUDIO_RENDER = 19,
  PF_Cmd_AUDIO_SETUP = 20,
  PF_Cmd_AUDIO_SETDOWN = 21,
  PF_Cmd_ARBITRARY_CALLBACK = 22,
  PF_Cmd_SMART_PRE_RENDER = 23,
  PF_Cmd_SMART_RENDER = 24,
};

enum : PF_OutFlags {
  PF_OutFlag_USE_OUTPUT_EXTENT = 0x40,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 0x100,
  PF_OutFlag_REFRESH_UI = 0x20000,
  PF_OutFlag_DEEP_COLOR_AWARE = 0x2000000,
  PF_OutFlag_SEND_UPDATE_PARAMS_UI = 0x4000000,
};

enum : PF_OutFlags2 {
  PF_OutFlag2_SUPPORTS_SMART_RENDER = 0x400,
  PF_OutFlag2_FLOAT_COLOR_AWARE = 0x1000,
};

// The host's version packing (PF_VERSION): build in bits 0-8, stage in 9-10,
// fix version in 11-14, subversion in 15-18, version in 19-21.
enum { PF_Stage_DEVELOP = 0, PF_Stage_ALPHA = 1, PF_Stage_BETA = 2, PF_Stage_RELEASE = 3 };
constexpr A_u_long PF_VERSION(A_u_long vers, A_u_long subvers, A_u_long bugvers, A_u_long stage,
                              A_u_long build) {
  return ((vers & 0x7u) << 19) | ((subvers & 0xFu) << 15) | ((bugvers & 0xFu) << 11) |
         ((stage & 0x3u) << 9) | (build & 0x1FFu);
}

enum : PF_ParamIndex {
  PF_ParamIndex_CHECK_ALL = -1,
  PF_ParamIndex_CHECK_ALL_EXCEPT_LAYER_PARAMS = -2,
  // every parameter except those carrying the host's exclusion flag
  PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE = -3,
};

struct PF_RationalScale {
  A_long num;
  A_u_long den;
};

struct PF_Point {
  A_long h, v;
};

struct PF_LRect {
  A_long left, top, right, bottom;
};
typedef PF_LRect PF_Rect;

// Colour channels are in the order alpha, red, green, blue at every depth.
struct PF_Pixel {
  A_u_char alpha, red, green, blue;
};
typedef PF_Pixel PF_Pixel8;

struct PF_Pixel16 {
  A_u_short alpha, red, green, blue;
};

struct PF_PixelFloat {
  float alpha, red, green, blue;
};

constexpr A_long PF_MAX_CHAN8 = 255;
constexpr A_long PF_MAX_CHAN16 = 32768;

// A time as the AEGP calls take it: value over scale.
struct A_Time {
  A_long value;
  A_u_long scale;
};

// A snapshot of the parameters' state; only the host reads its contents.
struct PF_State {
  A_long reserved[4];
};
static_assert(sizeof(PF_State) == 16, "the snapshot is a 16-byte block");
