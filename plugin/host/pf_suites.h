// The effect-side suites, each a table of host functions served by name and version.
#pragma once

#include "pf_data.h"
#include "pf_types.h"
#include "pf_world.h"

#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
#define kPFParamUtilsSuite "PF Param Utils Suite"
#define kPFParamUtilsSuiteVersion1 1
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2

struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(A_u_longlong size);
  void* (*host_lock_handle)(PF_Handle pf_handle);
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  A_u_longlong (*host_get_handle_size)(PF_Handle pf_handle);
};

struct PF_ANSICallbacksSuite1 {
  PF_FpLong (*atan2)(PF_FpLong y, PF_FpLong x);
  PF_FpLong (*fmod)(PF_FpLong x, PF_FpLong y);
  A_long (*sprintf)(A_char* buffer, const A_char* format, ...);
  A_char* (*strcpy)(A_char* dest, const A_char* src);
};

// A mask path checked out of the host, and the host's preparation of one of its
// segments for length queries. Both are opaque to the effect.
typedef struct PF_PathOutline* PF_PathOutlinePtr;
typedef struct PF_PathSegPrep* PF_PathSegPrepPtr;

struct PF_PathQuerySuite1 {
  // The path's shape at what_time; balance with PF_CheckinPath in the same command.
  PF_Err (*PF_CheckoutPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, A_long what_time,
                            A_long time_step, A_u_long time_scale, PF_PathOutlinePtr* pathPP);
  PF_Err (*PF_CheckinPath)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean changedB,
                           PF_PathOutlinePtr pathP);
};

struct PF_PathDataSuite1 {
  PF_Err (*PF_PathIsOpen)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, PF_Boolean* openPB);
  PF_Err (*PF_PathNumSegments)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                               A_long* num_segmentsPL);
  // Samples segment which_segL at `frequency` steps so that lengths can be queried.
  PF_Err (*PF_PathPrepareSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                                    A_long which_segL, A_long frequency,
                                    PF_PathSegPrepPtr* lengthPrepPP);
  PF_Err (*PF_PathGetSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                                PF_PathSegPrepPtr* lengthPrepP0, PF_FpLong* lengthPF);
  // Note the order: the preparation comes before the segment index here only.
  PF_Err (*PF_PathEvalSegLengthDeriv1)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                                       PF_PathSegPrepPtr* lengthPrepP0, A_long which_segL,
                                       PF_FpLong lengthF, PF_FpLong* x, PF_FpLong* y,
                                       PF_FpLong* deriv1x, PF_FpLong* deriv1y);
  PF_Err (*PF_PathCleanupSegLength)(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                                    A_long which_segL, PF_PathSegPrepPtr* lengthPrepP);
};

struct PF_ParamUtilsSuite1 {
  PF_Err (*PF_GetCurrentState)(PF_ProgPtr effect_ref, PF_State* stateP);
  // Whether the parameter (or all of them, with a negative index) changed since stateP.
  PF_Err (*PF_HasParamChanged)(PF_ProgPtr effect_ref, const PF_State* stateP,
                               PF_ParamIndex param_index, PF_Boolean* changedPB);
};

struct PF_WorldSuite2 {
  PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
};
