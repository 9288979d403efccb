#pragma once

#include "../host/host_contract.h"

enum PixelDepth { DEPTH_8 = 0, DEPTH_16 = 1, DEPTH_32F = 2 };

// The depth of a world of `format`; false for any format the effect does not render.
inline bool PixelDepthOf(PF_PixelFormat format, PixelDepth& depth) {
  switch (format) {
    case PF_PixelFormat_ARGB32: depth = DEPTH_8; return true;
    case PF_PixelFormat_ARGB64: depth = DEPTH_16; return true;
    case PF_PixelFormat_ARGB128: depth = DEPTH_32F; return true;
    default: return false;
  }
}
