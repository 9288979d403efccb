// The AEGP suites: the host's project-level interface, reached with a plug-in id.
#pragma once

#include "pf_types.h"

#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion7 7
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion7 7
#define kAEGPDynamicStreamSuite "AEGP Dynamic Stream Suite"
#define kAEGPDynamicStreamSuiteVersion2 2
#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion2 2
#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPKeyframeSuiteVersion3 3
#define kAEGPMaskSuite "AEGP Mask Suite"
#define kAEGPMaskSuiteVersion1 1

typedef A_long AEGP_PluginID;
typedef void* AEGP_GlobalRefcon;
typedef struct _AEGP_EffectRef* AEGP_EffectRefH;
typedef struct _AEGP_StreamRef* AEGP_StreamRefH;
typedef struct _AEGP_AddKeyframesInfo* AEGP_AddKeyframesInfoH;
typedef struct _AEGP_Layer* AEGP_LayerH;

typedef A_long AEGP_LTimeMode;
enum : AEGP_LTimeMode { AEGP_LTimeMode_LayerTime = 0, AEGP_LTimeMode_CompTime = 1 };

typedef A_long AEGP_DynStreamFlags;
enum : AEGP_DynStreamFlags {
  AEGP_DynStreamFlag_ACTIVE_EYEBALL = 1 << 0,
  AEGP_DynStreamFlag_HIDDEN = 1 << 1,
  AEGP_DynStreamFlag_DISABLED = 1 << 4,
};

typedef A_FpLong AEGP_OneDVal;
struct AEGP_TwoDVal {
  A_FpLong x, y;
};
struct AEGP_ThreeDVal {
  A_FpLong x, y, z;
};
struct AEGP_ColorVal {
  A_FpLong alphaF, redF, greenF, blueF;
};

union AEGP_StreamVal2 {
  AEGP_TwoDVal two_d;
  AEGP_ThreeDVal three_d;
  AEGP_OneDVal one_d;
  AEGP_ColorVal color;
};

// A value of one stream at one time; the host owns it until AEGP_DisposeStreamValue.
struct AEGP_StreamValue2 {
  AEGP_StreamRefH streamH;
  AEGP_StreamVal2 val;
};

struct AEGP_UtilitySuite7 {
  A_Err (*AEGP_RegisterWithAEGP)(AEGP_GlobalRefcon global_refcon, const A_char* plugin_name,
                                 AEGP_PluginID* plugin_id);
};

struct AEGP_PFInterfaceSuite1 {
  // A new reference to this effect instance; dispose with AEGP_DisposeEffect.
  A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_ref,
                                      AEGP_EffectRefH* effectPH);
};

struct AEGP_StreamSuite7 {
  A_Err (*AEGP_GetNewEffectStreamByIndex)(AEGP_PluginID aegp_plugin_id, AEGP_EffectRefH effectH,
                                          PF_ParamIndex param_index, AEGP_StreamRefH* streamPH);
  A_Err (*AEGP_DisposeStream)(AEGP_StreamRefH streamH);
  A_Err (*AEGP_GetNewStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                                  AEGP_LTimeMode time_mode, const A_Time* timeP,
                                  A_Boolean pre_expression, AEGP_StreamValue2* valueP);
  A_Err (*AEGP_DisposeStreamValue)(AEGP_StreamValue2* valueP);
  A_Err (*AEGP_SetStreamValue)(AEGP_PluginID aegp_plugin_id, AEGP_StreamRefH streamH,
                               AEGP_StreamValue2* valueP);
};

struct AEGP_DynamicStreamSuite2 {
  // Outside the undo history when undoable is false.
  A_Err (*AEGP_SetDynamicStreamFlag)(AEGP_StreamRefH streamH, AEGP_DynStreamFlags one_flag,
                                     A_Boolean undoable, A_Boolean setB);
};

struct AEGP_EffectSuite2 {
  A_Err (*AEGP_DisposeEffect)(AEGP_EffectRefH effectH);
};

struct AEGP_KeyframeSuite3 {
  A_Err (*AEGP_StartAddKeyframes)(AEGP_StreamRefH streamH, AEGP_AddKeyframesInfoH* akPH);
  A_Err (*AEGP_AddKeyframes)(AEGP_AddKeyframesInfoH akH, AEGP_LTimeMode time_mode,
                             const A_Time* timeP, A_long* key_indexPL);
  A_Err (*AEGP_SetAddKeyframe)(AEGP_AddKeyframesInfoH akH, A_long key_index,
                               const AEGP_StreamValue2* valueP);
  // add true: the batch's keyframes join the stream; false: they are dropped.
  A_Err (*AEGP_EndAddKeyframes)(A_Boolean add, AEGP_AddKeyframesInfoH akH);
};

struct AEGP_MaskSuite1 {
  A_Err (*AEGP_GetLayerNumMasks)(AEGP_LayerH layerH, A_long* num_masksPL);
};
