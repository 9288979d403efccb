// A parameter's definition and value record, as added at setup and checked out later.
#pragma once

#include "pf_types.h"
#include "pf_world.h"

typedef A_long PF_ParamType;
enum : PF_ParamType {
  PF_Param_LAYER = 0,
  PF_Param_SLIDER = 1,
  PF_Param_FIX_SLIDER = 2,
  PF_Param_ANGLE = 3,
  PF_Param_CHECKBOX = 4,
  PF_Param_COLOR = 5,
  PF_Param_POINT = 6,
  PF_Param_POPUP = 7,
  PF_Param_CUSTOM = 8,
  PF_Param_NO_DATA = 9,
  PF_Param_FLOAT_SLIDER = 10,
  PF_Param_ARBITRARY_DATA = 11,
  PF_Param_PATH = 12,
};

typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;

typedef A_short PF_ValueDisplayFlags;
enum : PF_ValueDisplayFlags {
  PF_ValueDisplayFlag_NONE = 0,
  PF_ValueDisplayFlag_PERCENT = 1 << 0,
  PF_ValueDisplayFlag_PIXEL = 1 << 1,
};

constexpr int PF_MAX_EFFECT_PARAM_NAME_LEN = 31;
constexpr int PF_MAX_PARAM_VALUE_LEN = 31;
constexpr int PF_MAX_PARAM_DESCRIPTION_LEN = 31;

struct PF_FixedSliderDef {
  PF_Fixed value;
  A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
  A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
  PF_Fixed valid_min, valid_max;
  PF_Fixed slider_min, slider_max;
  PF_Fixed dephault;
  A_short precision;  // decimal places shown
  PF_ValueDisplayFlags display_flags;
};

struct PF_AngleDef {
  PF_Fixed value;  // degrees
  PF_Fixed dephault;
  PF_Fixed valid_min, valid_max;
};

struct PF_CheckBoxDef {
  A_long value;
  A_long dephault;
  union {
    const A_char* nameptr;  // text shown beside the box
  } u;
};

struct PF_ColorDef {
  PF_Pixel value;
  PF_Pixel dephault;
};

struct PF_PointDef {
  PF_Fixed x_value, y_value;  // layer pixels when checked out
  PF_Boolean restrict_bounds;
  PF_Fixed x_dephault, y_dephault;  // per cent of the layer's width and height
};

struct PF_PopupDef {
  A_long value;  // 1-based item number
  A_short num_choices;
  A_short dephault;
  union {
    const A_char* namesptr;  // items separated by '|'
  } u;
};

struct PF_PathDef {
  PF_PathID path_id;
  A_long reserved0;
  A_long dephault;
};

union PF_ParamDefUnion {
  PF_LayerDef ld;
  PF_FixedSliderDef fd;
  PF_AngleDef ad;
  PF_CheckBoxDef bd;
  PF_ColorDef cd;
  PF_PointDef td;
  PF_PopupDef pd;
  PF_PathDef path_d;
};

struct PF_ParamDef {
  union {
    A_long id;
    A_long change_flags;
  } uu;
  PF_ParamUIFlags ui_flags;
  A_short ui_width;
  A_short ui_height;
  PF_ParamType param_type;
  A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
  PF_ParamFlags flags;
  A_long unused;
  PF_ParamDefUnion u;
};
typedef PF_ParamDef* PF_ParamDefPtr;
typedef PF_ParamDef** PF_ParamList;
