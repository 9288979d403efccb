#include "path_locator.h"

namespace {

const char* const LOAD_SUITE_MESSAGE = "Couldn't load suite.";
const char* const RELEASE_SUITE_MESSAGE = "Couldn't release suite.";

// For the calls that give something back: their error counts only when none was
// recorded before.
void KeepFirst(PF_Err& err, PF_Err result) {
  if (err == PF_Err_NONE) err = result;
}

// The slot is emptied first, so that afterwards it holds exactly what this call
// handed out (if anything), also when the call reports an error.
void Prepare(PathLocator& locator, A_long segment, PF_Err& err) {
  locator.preparation = nullptr;
  if (err != PF_Err_NONE) return;
  err = locator.data_suite->PF_PathPrepareSegLength(locator.effect_ref, locator.path, segment,
                                                    SEGMENT_LENGTH_FREQUENCY,
                                                    &locator.preparation);
}

void Measure(PathLocator& locator, A_long segment, PF_Err& err) {
  if (err != PF_Err_NONE) return;
  PF_FpLong length = 0.0;
  err = locator.data_suite->PF_PathGetSegLength(locator.effect_ref, locator.path, segment,
                                                &locator.preparation, &length);
  if (err == PF_Err_NONE) locator.segment_length = length;
}

// The point is written only from a successful evaluation, all four values at once.
void Evaluate(PathLocator& locator, A_long segment, double length, LocatedPoint& point,
              PF_Err& err) {
  if (err != PF_Err_NONE) return;
  PF_FpLong x = 0.0, y = 0.0, dx = 0.0, dy = 0.0;
  err = locator.data_suite->PF_PathEvalSegLengthDeriv1(locator.effect_ref, locator.path,
                                                       &locator.preparation, segment, length, &x,
                                                       &y, &dx, &dy);
  if (err == PF_Err_NONE) point = LocatedPoint{x, y, dx, dy, true};
}

// Whatever preparation the host handed out is cleaned up, also when its
// measurement or evaluation failed: the host holds its sampling table until then,
// and nothing else would ever give it back.
void CleanUp(PathLocator& locator, A_long segment, PF_Err& err) {
  if (locator.preparation == nullptr) return;
  KeepFirst(err, locator.data_suite->PF_PathCleanupSegLength(locator.effect_ref, locator.path,
                                                             segment, &locator.preparation));
  locator.preparation = nullptr;
}

// One preparation, measurement and clean-up per segment. The total is kept only
// when every segment was measured: a partial sum would be no length of the path.
void MeasureTotalLength(PathLocator& locator, PF_Err& err) {
  double total = 0.0;
  for (A_long segment = 0; segment < locator.segment_count && err == PF_Err_NONE; ++segment) {
    Prepare(locator, segment, err);
    Measure(locator, segment, err);
    if (err == PF_Err_NONE) total += locator.segment_length;
    CleanUp(locator, segment, err);
  }
  if (err == PF_Err_NONE) locator.total_length = total;
}

}  // namespace

void PathLocator::Open(SuiteCache& suites, PF_InData* in_data_arg, PF_OutData* out_data_arg,
                       PF_PathID path_id_arg, PF_Err& err) {
  *this = PathLocator{};
  in_data = in_data_arg;
  out_data = out_data_arg;
  effect_ref = in_data->effect_ref;
  path_id = path_id_arg;
  if (err != PF_Err_NONE) return;

  // Held from open to close and never called.
  const void* suite = nullptr;
  err = AcquireSuiteOrReport(in_data, out_data, kAEGPMaskSuite, kAEGPMaskSuiteVersion1,
                             LOAD_SUITE_MESSAGE, &suite);
  mask_suite = static_cast<const AEGP_MaskSuite1*>(suite);
  if (err != PF_Err_NONE) return;

  try {
    query_suite = suites.PathQuerySuite();
    err = query_suite->PF_CheckoutPath(effect_ref, path_id, in_data->current_time,
                                       in_data->time_step, in_data->time_scale, &path);
    if (err != PF_Err_NONE) return;
    data_suite = suites.PathDataSuite();
  } catch (PF_Err) {
    // The suite error ends the command here, and the caller never gets to close:
    // the path and the mask suite go back now. The thrown error is the result.
    PF_Err close_err = PF_Err_NONE;
    Close(close_err);
    throw;
  }

  // Each answer is kept only when the host gave it without an error.
  PF_Boolean open = true;
  err = data_suite->PF_PathIsOpen(effect_ref, path, &open);
  if (err == PF_Err_NONE) is_open = open;

  if (err == PF_Err_NONE) {
    A_long count = 0;
    err = data_suite->PF_PathNumSegments(effect_ref, path, &count);
    if (err == PF_Err_NONE) segment_count = count;
  }

  if (err == PF_Err_NONE) MeasureTotalLength(*this, err);
}

void PathLocator::Locate(double fraction, LocatedPoint& point, PF_Err& err) {
  if (err != PF_Err_NONE || path == nullptr || data_suite == nullptr) return;

  // Exactly the whole length: the walk would pass the last segment (its length
  // equals what remains), so the last segment is evaluated at its full length.
  if (fraction == 1.0) {
    // With no segments there is no last one to evaluate: nothing is found, and no
    // call is made with segment -1.
    if (segment_count <= 0) return;
    const A_long last = segment_count - 1;
    Prepare(*this, last, err);
    Measure(*this, last, err);
    Evaluate(*this, last, segment_length, point, err);
    CleanUp(*this, last, err);
    return;
  }

  // Segments are measured again as they are passed: lengths are not kept between
  // passes. A target on a segment's end belongs to the next segment of non-zero
  // length, at its start; zero-length segments are always passed over.
  double remaining = total_length * fraction;
  for (A_long segment = 0; segment < segment_count; ++segment) {
    Prepare(*this, segment, err);
    Measure(*this, segment, err);
    const bool falls_here = err == PF_Err_NONE && segment_length > remaining;
    if (falls_here) Evaluate(*this, segment, remaining, point, err);
    CleanUp(*this, segment, err);
    if (falls_here || err != PF_Err_NONE) return;
    remaining -= segment_length;
  }
  // No segment holds the target (no length at all, or rounding put it past the
  // end): nothing is found and the point keeps what it held.
}

void PathLocator::Close(PF_Err& err) {
  // A check-out that never produced a path has nothing to give back, and a null
  // path is not one the host could take back.
  if (path != nullptr) {
    KeepFirst(err, query_suite->PF_CheckinPath(effect_ref, path_id, false, path));
    path = nullptr;
  }
  if (mask_suite != nullptr) {
    KeepFirst(err, ReleaseSuiteOrReport(in_data, out_data, kAEGPMaskSuite, kAEGPMaskSuiteVersion1,
                                        RELEASE_SUITE_MESSAGE));
    mask_suite = nullptr;
  }
}
