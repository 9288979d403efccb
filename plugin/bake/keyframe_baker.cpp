#include "keyframe_baker.h"

// Placeholder until the baker lands.
void KeyframeBaker::ResetControls(SuiteCache&, PF_InData*, PF_Err&) {}
void KeyframeBaker::Bake(SuiteCache&, PF_InData*, PathLocator&, const RenderInfo&, PF_Err&) {}
