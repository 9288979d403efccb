// Everything the effect relies on from the host, in one include.
#pragma once

#include "aegp_suites.h"
#include "pf_data.h"
#include "pf_param.h"
#include "pf_smart_render.h"
#include "pf_suites.h"
#include "pf_types.h"
#include "pf_world.h"
#include "sp_basic_suite.h"

#if defined(_WIN32)
#define THIMBLEROUTE_EXPORT extern "C" __declspec(dllexport)
#else
#define THIMBLEROUTE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The module's one export; the host calls it once per command.
typedef PF_Err (*PF_EntryPointFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);
