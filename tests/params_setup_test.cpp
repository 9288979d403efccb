// The nine parameters as the host records them from PF_Cmd_PARAMS_SETUP.
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "module_host.h"
#include "params/param_index.h"

namespace {

using ParamsSetupTest = ModuleHostTest;

constexpr PF_Fixed FIXED(int n) { return n * 65536; }

// Bytes of the value union past the type's own member: the record was cleared
// before each parameter, so nothing of another type's settings may show there.
bool UnionTailIsZero(const PF_ParamDef& def, std::size_t member_size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&def.u);
  for (std::size_t i = member_size; i < sizeof(def.u); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

struct ParamRow {
  PF_ParamIndex index;
  PF_ParamType type;
  const char* name;
  std::size_t member_size;
  std::function<void(const PF_ParamDef&)> expect_value;
};

void ExpectAngle(const PF_ParamDef& def) {
  EXPECT_EQ(def.u.ad.dephault, 0);
  EXPECT_EQ(def.u.ad.value, 0);
  EXPECT_EQ(def.u.ad.valid_min, 0);
  EXPECT_EQ(def.u.ad.valid_max, 0);
}

const std::vector<ParamRow>& Table() {
  static const std::vector<ParamRow> rows = {
      {PARAM_PATH, PF_Param_PATH, "Path", sizeof(PF_PathDef),
       [](const PF_ParamDef& def) {
         EXPECT_EQ(def.u.path_d.dephault, 0);
         EXPECT_EQ(def.u.path_d.path_id, 0u);
       }},
      {PARAM_OFFSET_PERCENT, PF_Param_FIX_SLIDER, "Offset", sizeof(PF_FixedSliderDef),
       [](const PF_ParamDef& def) {
         const PF_FixedSliderDef& fd = def.u.fd;
         EXPECT_STREQ(fd.value_str, "");
         EXPECT_STREQ(fd.value_desc, "");
         EXPECT_EQ(fd.valid_min, 0);
         EXPECT_EQ(fd.slider_min, 0);
         EXPECT_EQ(fd.valid_max, 0x00640000);
         EXPECT_EQ(fd.slider_max, 0x00640000);
         EXPECT_EQ(fd.dephault, 0);
         EXPECT_EQ(fd.value, 0);
         EXPECT_EQ(fd.precision, 1);
         EXPECT_EQ(fd.display_flags, PF_ValueDisplayFlag_PERCENT);
       }},
      {PARAM_OFFSET_ANGLE, PF_Param_ANGLE, "Offset", sizeof(PF_AngleDef), ExpectAngle},
      {PARAM_POINT, PF_Param_POINT, "Point", sizeof(PF_PointDef),
       [](const PF_ParamDef& def) {
         const PF_PointDef& td = def.u.td;
         EXPECT_EQ(td.restrict_bounds, 0);
         EXPECT_EQ(td.x_dephault, 0x00320000);
         EXPECT_EQ(td.y_dephault, 0x00320000);
         EXPECT_EQ(td.x_value, 0x00320000);
         EXPECT_EQ(td.y_value, 0x00320000);
       }},
      {PARAM_ANGLE, PF_Param_ANGLE, "Angle", sizeof(PF_AngleDef), ExpectAngle},
      {PARAM_ON_TRANSPARENT, PF_Param_CHECKBOX, "On Transparent", sizeof(PF_CheckBoxDef),
       [](const PF_ParamDef& def) {
         EXPECT_EQ(def.u.bd.dephault, 0);
         EXPECT_EQ(def.u.bd.value, 0);
         ASSERT_NE(def.u.bd.u.nameptr, nullptr);
         EXPECT_STREQ(def.u.bd.u.nameptr, "");
       }},
      {PARAM_BAKE, PF_Param_POPUP, "Bake Keyframes", sizeof(PF_PopupDef),
       [](const PF_ParamDef& def) {
         EXPECT_EQ(def.u.pd.num_choices, 2);
         EXPECT_EQ(def.u.pd.dephault, 1);
         EXPECT_EQ(def.u.pd.value, 1);
         ASSERT_NE(def.u.pd.u.namesptr, nullptr);
         EXPECT_STREQ(def.u.pd.u.namesptr, "----------|Execute");
       }},
      {PARAM_GUIDE, PF_Param_CHECKBOX, "", sizeof(PF_CheckBoxDef),
       [](const PF_ParamDef& def) {
         EXPECT_EQ(def.u.bd.dephault, 1);
         EXPECT_EQ(def.u.bd.value, 1);
         ASSERT_NE(def.u.bd.u.nameptr, nullptr);
         EXPECT_STREQ(def.u.bd.u.nameptr, "Guide");
       }},
      {PARAM_GUIDE_COLOR, PF_Param_COLOR, "Guide Color", sizeof(PF_ColorDef),
       [](const PF_ParamDef& def) {
         for (const PF_Pixel& pixel : {def.u.cd.value, def.u.cd.dephault}) {
           const auto* bytes = reinterpret_cast<const unsigned char*>(&pixel);
           EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{255, 86, 118, 255}));
         }
       }},
  };
  return rows;
}

TEST_F(ParamsSetupTest, HostRecordsTheNineParametersExactly) {
  ASSERT_EQ(host_.ParamsSetup(), PF_Err_NONE);
  EXPECT_EQ(host_.OutData().num_params, 10);
  ASSERT_EQ(host_.params.Count(), 10);
  ASSERT_EQ(Table().size(), 9u);
  for (const ParamRow& row : Table()) {
    SCOPED_TRACE(row.index);
    const PF_ParamDef* def = host_.params.Definition(row.index);
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->param_type, row.type);
    EXPECT_STREQ(def->name, row.name);
    EXPECT_EQ(def->uu.id, row.index);
    EXPECT_EQ(def->flags, 0);
    EXPECT_EQ(def->ui_flags, 0);
    EXPECT_EQ(def->ui_width, 0);
    EXPECT_EQ(def->ui_height, 0);
    EXPECT_EQ(def->unused, 0);
    row.expect_value(*def);
    EXPECT_TRUE(UnionTailIsZero(*def, row.member_size));
  }
  ExpectClean();
}

TEST_F(ParamsSetupTest, EachParameterIsNamedThenAddedWithoutAnySuite) {
  ASSERT_EQ(host_.ParamsSetup(), PF_Err_NONE);
  std::vector<std::string> expected;
  for (int i = 0; i < 9; ++i) {
    expected.push_back("strcpy");
    expected.push_back("add_param");
  }
  EXPECT_EQ(host_.trace.Calls(), expected);
  for (const auto& entry : host_.trace.Entries()) {
    if (entry.call == "add_param") {
      EXPECT_EQ(entry.args["index"], -1);
    }
  }
}

TEST_F(ParamsSetupTest, RefusedFifthAdditionStopsSetupWithTheHostsCode) {
  constexpr PF_Err HOST_CODE = 1234;
  host_.faults.FailCall("add_param", 5, HOST_CODE);
  host_.before_entry = [](PF_InData&, PF_OutData& out) { out.num_params = 77; };
  EXPECT_EQ(host_.ParamsSetup(), HOST_CODE);
  EXPECT_EQ(host_.OutData().num_params, 77);
  // The input layer and parameters 1 to 4.
  ASSERT_EQ(host_.params.Count(), 5);
  EXPECT_STREQ(host_.params.Definition(PARAM_POINT)->name, "Point");
  std::vector<int> offered;
  for (const auto& entry : host_.trace.Entries()) {
    if (entry.call == "add_param") offered.push_back(entry.args["def"]["id"].get<int>());
  }
  EXPECT_EQ(offered, (std::vector<int>{1, 2, 3, 4, 5}));
  ExpectClean();
}

TEST_F(ParamsSetupTest, NewInstanceStartsAtTheDefaultsWithThePointAtTheLayerCentre) {
  host_.params.SetLayerSize(640, 360);
  ASSERT_EQ(host_.StartInstance(), PF_Err_NONE);
  std::vector<PF_ParamDef> values;
  host_.params.ValuesAt(0, 1, 24, values);
  ASSERT_EQ(values.size(), 10u);
  EXPECT_EQ(values[PARAM_INPUT].param_type, PF_Param_LAYER);
  EXPECT_EQ(values[PARAM_PATH].u.path_d.path_id, 0u);
  EXPECT_EQ(values[PARAM_OFFSET_PERCENT].u.fd.value, 0);
  EXPECT_EQ(values[PARAM_POINT].u.td.x_value, FIXED(320));
  EXPECT_EQ(values[PARAM_POINT].u.td.y_value, FIXED(180));
  EXPECT_EQ(values[PARAM_ON_TRANSPARENT].u.bd.value, 0);
  EXPECT_EQ(values[PARAM_BAKE].u.pd.value, 1);
  EXPECT_EQ(values[PARAM_GUIDE].u.bd.value, 1);
  EXPECT_EQ(values[PARAM_GUIDE_COLOR].u.cd.value.red, 86);
  ExpectClean();
}

}  // namespace
