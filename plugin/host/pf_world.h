// Images as the host hands them over: a world is rows of pixels, `rowbytes` apart.
#pragma once

#include "pf_types.h"

typedef A_long PF_PixelFormat;
enum : PF_PixelFormat {
  PF_PixelFormat_ARGB32 = 0x62777338,   // '8bws' 8 bits a channel
  PF_PixelFormat_ARGB64 = 0x62777336,   // '6bws' 16 bits a channel, 0..32768
  PF_PixelFormat_ARGB128 = 0x62777366,  // 'fbws' 32-bit float a channel
  PF_PixelFormat_INVALID = 0x3F3F3F3F,  // '????'
};

typedef A_long PF_WorldFlags;
enum : PF_WorldFlags {
  PF_WorldFlag_DEEP = 1 << 0,
  PF_WorldFlag_WRITEABLE = 1 << 1,
};

typedef void* PF_PixelPtr;

struct PF_LayerDef {
  PF_WorldFlags world_flags;
  PF_PixelPtr data;   // first pixel of the first row
  A_long rowbytes;    // distance between rows, may exceed width times pixel size
  A_long width;
  A_long height;
  PF_Rect extent_hint;
  PF_RationalScale pix_aspect_ratio;
  A_long origin_x;
  A_long origin_y;
  A_long dephault;  // layer parameter default (unused for worlds)
};
typedef PF_LayerDef PF_EffectWorld;
