// PF_Cmd_PARAMS_SETUP: describes the nine parameters to the host, in index order.
// The order of the additions is what gives each parameter its ParamIndex.
#include <cstring>
#include <string>

#include "../host/handlers.h"
#include "param_index.h"

namespace {

// Names as the user sees them. Both offsets are "Offset": only one of them is
// shown at a time, the one that fits the chosen path.
constexpr const char* PATH_NAME = "Path";
constexpr const char* OFFSET_NAME = "Offset";
constexpr const char* POINT_NAME = "Point";
constexpr const char* ANGLE_NAME = "Angle";
constexpr const char* ON_TRANSPARENT_NAME = "On Transparent";
constexpr const char* BAKE_NAME = "Bake Keyframes";
// The guide checkbox has no name; its text beside the box says what it is.
constexpr const char* GUIDE_NAME = "";
constexpr const char* GUIDE_COLOR_NAME = "Guide Color";

// Texts handed to the host by pointer: literals, so they live as long as the module.
constexpr const char* ON_TRANSPARENT_BOX_TEXT = "";
constexpr const char* GUIDE_BOX_TEXT = "Guide";
constexpr const char* BAKE_ITEMS = "----------|Execute";  // item 2 asks for a bake
constexpr A_short BAKE_ITEM_COUNT = 2;
constexpr A_short BAKE_ITEM_IDLE = 1;

constexpr PF_Fixed FIXED_ONE = 1 << 16;
constexpr PF_Fixed OFFSET_PERCENT_MAX = 100 * FIXED_ONE;
constexpr A_short OFFSET_PERCENT_PRECISION = 1;  // decimal places shown
// The point's default is in per cent of the layer's size: its centre.
constexpr PF_Fixed POINT_DEFAULT_PERCENT = 50 * FIXED_ONE;
constexpr PF_Pixel GUIDE_COLOR_DEFAULT = {255, 86, 118, 255};  // alpha, red, green, blue

// Each writes the value-union members of one kind of parameter; everything else in
// the record stays as cleared.
void DescribePath(PF_ParamDef& def) { def.u.path_d.dephault = 0; }

void DescribeOffsetPercent(PF_ParamDef& def) {
  PF_FixedSliderDef& fd = def.u.fd;
  fd.value_str[0] = '\0';
  fd.value_desc[0] = '\0';
  fd.valid_min = 0;
  fd.slider_min = 0;
  fd.valid_max = OFFSET_PERCENT_MAX;
  fd.slider_max = OFFSET_PERCENT_MAX;
  fd.dephault = 0;
  fd.value = fd.dephault;
  fd.precision = OFFSET_PERCENT_PRECISION;
  fd.display_flags |= PF_ValueDisplayFlag_PERCENT;
}

void DescribeAngle(PF_ParamDef& def) {
  def.u.ad.dephault = 0;
  def.u.ad.value = def.u.ad.dephault;
}

void DescribePoint(PF_ParamDef& def) {
  PF_PointDef& td = def.u.td;
  td.restrict_bounds = false;
  td.x_dephault = POINT_DEFAULT_PERCENT;
  td.y_dephault = POINT_DEFAULT_PERCENT;
  td.x_value = td.x_dephault;
  td.y_value = td.y_dephault;
}

void DescribeOnTransparent(PF_ParamDef& def) {
  def.u.bd.dephault = 0;
  def.u.bd.value = def.u.bd.dephault;
  def.u.bd.u.nameptr = ON_TRANSPARENT_BOX_TEXT;
}

void DescribeBake(PF_ParamDef& def) {
  PF_PopupDef& pd = def.u.pd;
  pd.num_choices = BAKE_ITEM_COUNT;
  pd.dephault = BAKE_ITEM_IDLE;
  pd.value = pd.dephault;
  pd.u.namesptr = BAKE_ITEMS;
}

void DescribeGuide(PF_ParamDef& def) {
  def.u.bd.dephault = 1;
  def.u.bd.value = def.u.bd.dephault;
  def.u.bd.u.nameptr = GUIDE_BOX_TEXT;
}

void DescribeGuideColor(PF_ParamDef& def) {
  def.u.cd.value = GUIDE_COLOR_DEFAULT;
  def.u.cd.dephault = def.u.cd.value;
}

struct ParamEntry {
  ParamIndex index;
  PF_ParamType type;
  const char* name;
  void (*describe)(PF_ParamDef& def);
};

// In the order of addition, which is index order.
constexpr ParamEntry PARAMS[] = {
    {PARAM_PATH, PF_Param_PATH, PATH_NAME, DescribePath},
    {PARAM_OFFSET_PERCENT, PF_Param_FIX_SLIDER, OFFSET_NAME, DescribeOffsetPercent},
    {PARAM_OFFSET_ANGLE, PF_Param_ANGLE, OFFSET_NAME, DescribeAngle},
    {PARAM_POINT, PF_Param_POINT, POINT_NAME, DescribePoint},
    {PARAM_ANGLE, PF_Param_ANGLE, ANGLE_NAME, DescribeAngle},
    {PARAM_ON_TRANSPARENT, PF_Param_CHECKBOX, ON_TRANSPARENT_NAME, DescribeOnTransparent},
    {PARAM_BAKE, PF_Param_POPUP, BAKE_NAME, DescribeBake},
    {PARAM_GUIDE, PF_Param_CHECKBOX, GUIDE_NAME, DescribeGuide},
    {PARAM_GUIDE_COLOR, PF_Param_COLOR, GUIDE_COLOR_NAME, DescribeGuideColor},
};

constexpr bool InIndexOrder() {
  int expected = PARAM_INPUT + 1;
  for (const ParamEntry& entry : PARAMS) {
    if (entry.index != expected++) return false;
  }
  return expected == PARAM_COUNT;
}
static_assert(InIndexOrder(), "every parameter after the input layer, once, in index order");

// The host's strcpy knows nothing of the field's size.
constexpr bool NamesFit() {
  for (const ParamEntry& entry : PARAMS) {
    if (std::char_traits<char>::length(entry.name) > PF_MAX_EFFECT_PARAM_NAME_LEN) return false;
  }
  return true;
}
static_assert(NamesFit(), "every name fits the definition's name field");

}  // namespace

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  PF_Err err = PF_Err_NONE;
  PF_ParamDef def;
  for (const ParamEntry& entry : PARAMS) {
    // The host copies the record during add_param, so one record serves them all;
    // clearing it keeps one parameter's settings out of the next.
    std::memset(&def, 0, sizeof(def));
    def.param_type = entry.type;
    in_data->utils->ansi.strcpy(def.name, entry.name);
    entry.describe(def);
    def.uu.id = entry.index;
    err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
    if (err != PF_Err_NONE) return err;
  }
  out_data->num_params = PARAM_COUNT;
  return err;
}
