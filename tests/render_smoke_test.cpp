// The whole road of a frame through the module file: pre-render, render, marker.
#include "module_host.h"
#include "params/param_index.h"
#include "refhost/frame.h"

namespace {

using RenderSmokeTest = ModuleHostTest;

TEST_F(RenderSmokeTest, GuideOnAnOpenPathPaintsTheMarkerAtTheOffset) {
  host_.SetTestCardLayer(64, 48);
  ASSERT_EQ(host_.StartInstance(), PF_Err_NONE);
  host_.masks.Add(3, false, {{{10, 20}, {}, {}}, {{50, 20}, {}, {}}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_PATH, 3.0));
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 50.0));
  for (PF_PixelFormat format : {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
    refhost::FrameResult frame = refhost::RenderFrame(host_, {0, format, {1, 1}, 3});
    ASSERT_EQ(frame.Result(), PF_Err_NONE);
    EXPECT_EQ(frame.output->CountDifferences(*frame.input),
              format == PF_PixelFormat_ARGB32 ? 147 : 133);
    const PF_PixelFloat centre = frame.output->ReadFloat(30, 20);
    EXPECT_NEAR(centre.red, 86 / 255.0, 1e-4);
  }
  ExpectClean();
}

}  // namespace
