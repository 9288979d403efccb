// Finds the point at a fraction of a mask path's arc length, through the host's
// path suites. Opened once per render command, used for one or many locates,
// closed before the command ends.
#pragma once

#include "../host/host_contract.h"
#include "../host/suite_cache.h"

// Passed as the sampling frequency to every segment preparation.
constexpr A_long SEGMENT_LENGTH_FREQUENCY = 100;

// Owned by the caller and passed to every locate. A locate that finds a segment
// writes the position and derivative and sets `found`; otherwise it changes nothing.
// Before any successful locate the point is the origin with a zero derivative and
// `found` is false, so a caller can tell "never found" from a real point. A caller
// that needs to know whether one particular locate found a point clears `found`
// before it: the position and derivative then still hold the previous point.
struct LocatedPoint {
  double x = 0.0;
  double y = 0.0;
  double dx = 0.0;  // first derivative: only its direction is used
  double dy = 0.0;
  bool found = false;
};

struct PathLocator {
  // Checks the path out at the command's current time and measures its length.
  void Open(SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data, PF_PathID path_id,
            PF_Err& err);
  // Locates the point at `fraction` of the total length into `point`.
  void Locate(double fraction, LocatedPoint& point, PF_Err& err);
  // Checks the path back in and releases the mask suite, whatever `err` holds.
  void Close(PF_Err& err);

  PF_InData* in_data = nullptr;
  PF_OutData* out_data = nullptr;
  const PF_PathQuerySuite1* query_suite = nullptr;
  const PF_PathDataSuite1* data_suite = nullptr;
  PF_ProgPtr effect_ref = nullptr;
  PF_PathID path_id = 0;
  PF_PathOutlinePtr path = nullptr;
  PF_Boolean is_open = true;
  A_long segment_count = 0;
  double total_length = 0.0;
  PF_PathSegPrepPtr preparation = nullptr;
  double segment_length = 0.0;
  const AEGP_MaskSuite1* mask_suite = nullptr;
};
