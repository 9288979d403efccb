// The effect's parameters by index. The index is also the host id and the AEGP
// stream index of each parameter.
#pragma once

enum ParamIndex {
  PARAM_INPUT = 0,  // the layer itself, supplied by the host
  PARAM_PATH,
  PARAM_OFFSET_PERCENT,  // "Offset" on an open path
  PARAM_OFFSET_ANGLE,    // "Offset" on a closed path
  PARAM_POINT,
  PARAM_ANGLE,
  PARAM_ON_TRANSPARENT,
  PARAM_BAKE,
  PARAM_GUIDE,
  PARAM_GUIDE_COLOR,
  PARAM_COUNT
};
