// The layer's mask paths, served as "PF Path Query Suite" 1 (check-out and
// check-in), "PF Path Data Suite" 1 (the path's answers and its segments'
// lengths and points) and "AEGP Mask Suite" 1. The ledger counts paths out
// ("path") and live segment preparations ("seg_prep").
#include <cmath>
#include <cstring>
#include <string>

#include "serve.h"

namespace refhost {

namespace {

const char* const PATH_KIND = "path";
const char* const PREPARATION_KIND = "seg_prep";

// Sampling beyond this buys no precision and only costs the host memory.
constexpr A_long MAX_FREQUENCY = 1 << 20;
// The sampling used when a length or a point is asked for without a preparation.
constexpr int UNPREPARED_FREQUENCY = 100;

// The render commands carry the downsample factors that checked-out paths follow.
bool InRender(const Host& host) {
  const char* command = host.CommandName();
  return std::strcmp(command, "PF_Cmd_SMART_RENDER") == 0 ||
         std::strcmp(command, "PF_Cmd_SMART_PRE_RENDER") == 0 ||
         std::strcmp(command, "PF_Cmd_RENDER") == 0;
}

double Factor(PF_RationalScale scale) {
  return scale.den == 0 ? 1.0 : static_cast<double>(scale.num) / static_cast<double>(scale.den);
}

// The path every data call works on must be out; anything else is a misuse. The
// names in the messages are made only for a misuse: this runs on every segment
// call of every locate.
const MaskModel::Outline* CheckPath(Host& host, PF_PathOutlinePtr path, const char* call) {
  if (const MaskModel::Outline* outline = host.masks.FindOutline(path)) return outline;
  switch (host.masks.StandingOf(path)) {
    case MaskModel::Standing::GIVEN_BACK:
      host.ledger.Violation(std::string(call) + " of " + host.masks.Name(path) + " after its check-in");
      return nullptr;
    case MaskModel::Standing::EXPIRED:
      host.ledger.Violation(std::string(call) + " of " + host.masks.Name(path) +
                            " after the command that checked it out ended");
      return nullptr;
    case MaskModel::Standing::OUT:  // found above
    case MaskModel::Standing::UNKNOWN:
    default:
      host.ledger.Violation(std::string(call) + " of " +
                            (path == nullptr ? "a null path" : "a path the host never handed out"));
      return nullptr;
  }
}

bool CheckSegment(Host& host, const MaskModel::Outline& outline, PF_PathOutlinePtr path,
                  A_long segment, const char* call) {
  const int count = SegmentCount(outline.vertices.size(), outline.closed);
  if (segment >= 0 && segment < count) return true;
  host.ledger.Violation(std::string(call) + " of segment " + std::to_string(segment) + " of " +
                        host.masks.Name(path) + ", which has " + std::to_string(count));
  return false;
}

template <class T>
bool CheckOutput(Host& host, T* out, const char* what, const char* call) {
  if (out != nullptr) return true;
  host.ledger.Violation(std::string(call) + " without a place for " + what);
  return false;
}

// What a segment call is given as its preparation.
struct PreparationCheck {
  bool ok = false;
  const MaskModel::Preparation* preparation = nullptr;  // null: none given (where optional)
};

PreparationCheck CheckPreparation(Host& host, PF_PathSegPrepPtr* slot, PF_PathOutlinePtr path,
                                  A_long segment, bool optional, const char* call) {
  if (slot == nullptr || *slot == nullptr) {
    if (optional) return {true, nullptr};
    host.ledger.Violation(std::string(call) + " without a preparation");
    return {};
  }
  const MaskModel::Preparation* preparation = host.masks.FindPreparation(*slot);
  if (preparation == nullptr) {
    switch (host.masks.StandingOf(*slot)) {
      case MaskModel::Standing::GIVEN_BACK:
        host.ledger.Violation(std::string(call) + " of " + host.masks.Name(*slot) +
                              ", already cleaned up");
        return {};
      case MaskModel::Standing::EXPIRED:
        host.ledger.Violation(std::string(call) + " of " + host.masks.Name(*slot) +
                              " after the command that prepared it ended");
        return {};
      case MaskModel::Standing::OUT:  // found above
      case MaskModel::Standing::UNKNOWN:
      default:
        host.ledger.Violation(std::string(call) + " of a preparation the host never made");
        return {};
    }
  }
  if (preparation->path != path || preparation->segment != segment) {
    host.ledger.Violation(std::string(call) + " of " + host.masks.Name(*slot) + " (made for " +
                          host.masks.Name(preparation->path) + " segment " +
                          std::to_string(preparation->segment) + ") for " + host.masks.Name(path) +
                          " segment " + std::to_string(segment));
    return {};
  }
  return {true, preparation};
}

std::string PrepName(PF_PathSegPrepPtr* slot) {
  if (slot == nullptr) return "null";
  return Host::Current()->masks.Name(*slot);
}

// ---- "PF Path Query Suite" 1 ----

PF_Err CheckoutPath(PF_ProgPtr effect_ref, PF_PathID unique_id, A_long what_time,
                    A_long time_step, A_u_long time_scale, PF_PathOutlinePtr* pathPP) {
  PF_PathOutlinePtr given = nullptr;
  return ServeEffectCall(
      "PF_CheckoutPath", effect_ref,
      [&] {
        return nlohmann::json{{"path_id", unique_id},    {"what_time", what_time},
                              {"time_step", time_step},  {"time_scale", time_scale},
                              {"path", Host::Current()->masks.Name(given)}};
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_CheckoutPath";
        if (!CheckOutput(host, pathPP, "the path", call)) return PF_Err_BAD_CALLBACK_PARAM;
        *pathPP = nullptr;
        if (unique_id == 0) {
          host.ledger.Violation("PF_CheckoutPath of path id 0, which names no path");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (time_scale == 0) {
          host.ledger.Violation("PF_CheckoutPath with a time scale of 0");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        // The Path parameter can still name a mask the user has deleted: that is
        // the host's answer to give, not a misuse by the module.
        if (!host.masks.Has(unique_id)) return PF_Err_BAD_CALLBACK_PARAM;
        double scale_x = 1.0, scale_y = 1.0;
        if (InRender(host)) {
          scale_x = Factor(host.InData().downsample_x);
          scale_y = Factor(host.InData().downsample_y);
        }
        given = host.masks.CheckOut(unique_id, what_time, time_scale, scale_x, scale_y);
        host.ledger.Take(PATH_KIND);
        *pathPP = given;
        return PF_Err_NONE;
      });
}

PF_Err CheckinPath(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean changedB,
                   PF_PathOutlinePtr pathP) {
  return ServeEffectGiveBackCall(
      "PF_CheckinPath", effect_ref,
      [&] {
        return nlohmann::json{{"path_id", unique_id},
                              {"changed", changedB != 0},
                              {"path", Host::Current()->masks.Name(pathP)}};
      },
      [&](Host& host) -> PF_Err {
        const std::string name = host.masks.Name(pathP);
        const MaskModel::Outline* outline = CheckPath(host, pathP, "PF_CheckinPath");
        if (outline == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        if (outline->id != unique_id) {
          host.ledger.Violation("PF_CheckinPath of " + name + " (path id " +
                                std::to_string(outline->id) + ") under path id " +
                                std::to_string(unique_id));
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.masks.CheckIn(pathP);
        host.ledger.Give(PATH_KIND, "PF_CheckinPath of " + name + " that is not out");
        return PF_Err_NONE;
      });
}

const PF_PathQuerySuite1 PATH_QUERY_SUITE = {CheckoutPath, CheckinPath};

// ---- "PF Path Data Suite" 1 ----

PF_Err PathIsOpen(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, PF_Boolean* openPB) {
  bool written = false;
  return ServeEffectCall(
      "PF_PathIsOpen", effect_ref,
      [&] {
        nlohmann::json args{{"path", Host::Current()->masks.Name(pathP)}};
        if (written) args["open"] = *openPB != 0;
        return args;
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathIsOpen";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckOutput(host, openPB, "the answer", call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        *openPB = outline->closed ? 0 : 1;
        written = true;
        return PF_Err_NONE;
      });
}

PF_Err PathNumSegments(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long* num_segmentsPL) {
  bool written = false;
  return ServeEffectCall(
      "PF_PathNumSegments", effect_ref,
      [&] {
        nlohmann::json args{{"path", Host::Current()->masks.Name(pathP)}};
        if (written) args["segments"] = *num_segmentsPL;
        return args;
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathNumSegments";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckOutput(host, num_segmentsPL, "the count", call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        *num_segmentsPL = SegmentCount(outline->vertices.size(), outline->closed);
        written = true;
        return PF_Err_NONE;
      });
}

PF_Err PathPrepareSegLength(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                            A_long frequency, PF_PathSegPrepPtr* lengthPrepPP) {
  PF_PathSegPrepPtr given = nullptr;
  return ServeEffectCall(
      "PF_PathPrepareSegLength", effect_ref,
      [&] {
        return nlohmann::json{{"path", Host::Current()->masks.Name(pathP)},
                              {"segment", which_segL},
                              {"frequency", frequency},
                              {"preparation", Host::Current()->masks.Name(given)}};
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathPrepareSegLength";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckSegment(host, *outline, pathP, which_segL, call) ||
            !CheckOutput(host, lengthPrepPP, "the preparation", call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (frequency < 1 || frequency > MAX_FREQUENCY) {
          host.ledger.Violation("PF_PathPrepareSegLength at frequency " + std::to_string(frequency) +
                                ", outside 1 to " + std::to_string(MAX_FREQUENCY));
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        given = host.masks.Prepare(pathP, which_segL, frequency);
        host.ledger.Take(PREPARATION_KIND);
        *lengthPrepPP = given;
        return PF_Err_NONE;
      });
}

// Without a preparation (the slot is optional) the segment's samples at the usual
// frequency answer, as a preparation at that frequency would hold them.
template <class Use>
PF_Err WithTable(Host& host, PF_PathOutlinePtr path, A_long segment,
                 const MaskModel::Preparation* preparation, Use&& use) {
  if (preparation != nullptr) return use(*preparation->table);
  return use(*host.masks.Measure(path, segment, UNPREPARED_FREQUENCY));
}

PF_Err PathGetSegLength(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                        PF_PathSegPrepPtr* lengthPrepP0, PF_FpLong* lengthPF) {
  bool written = false;
  return ServeEffectCall(
      "PF_PathGetSegLength", effect_ref,
      [&] {
        nlohmann::json args{{"path", Host::Current()->masks.Name(pathP)},
                            {"segment", which_segL},
                            {"preparation", PrepName(lengthPrepP0)}};
        if (written) args["length"] = *lengthPF;
        return args;
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathGetSegLength";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckSegment(host, *outline, pathP, which_segL, call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PreparationCheck prep =
            CheckPreparation(host, lengthPrepP0, pathP, which_segL, true, call);
        if (!prep.ok || !CheckOutput(host, lengthPF, "the length", call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        return WithTable(host, pathP, which_segL, prep.preparation,
                         [&](const SegmentLengthTable& table) {
                           *lengthPF = table.Length();
                           written = true;
                           return PF_Err_NONE;
                         });
      });
}

PF_Err PathEvalSegLengthDeriv1(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP,
                               PF_PathSegPrepPtr* lengthPrepP0, A_long which_segL,
                               PF_FpLong lengthF, PF_FpLong* x, PF_FpLong* y, PF_FpLong* deriv1x,
                               PF_FpLong* deriv1y) {
  bool written = false;
  return ServeEffectCall(
      "PF_PathEvalSegLengthDeriv1", effect_ref,
      [&] {
        nlohmann::json args{{"path", Host::Current()->masks.Name(pathP)},
                            {"preparation", PrepName(lengthPrepP0)},
                            {"segment", which_segL},
                            {"length", lengthF}};
        if (written) {
          args["x"] = *x;
          args["y"] = *y;
          args["dx"] = *deriv1x;
          args["dy"] = *deriv1y;
        }
        return args;
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathEvalSegLengthDeriv1";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckSegment(host, *outline, pathP, which_segL, call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PreparationCheck prep =
            CheckPreparation(host, lengthPrepP0, pathP, which_segL, true, call);
        if (!prep.ok || !CheckOutput(host, x, "x", call) || !CheckOutput(host, y, "y", call) ||
            !CheckOutput(host, deriv1x, "the x-derivative", call) ||
            !CheckOutput(host, deriv1y, "the y-derivative", call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (std::isnan(lengthF)) {
          host.ledger.Violation("PF_PathEvalSegLengthDeriv1 at a length that is not a number");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        return WithTable(host, pathP, which_segL, prep.preparation,
                         [&](const SegmentLengthTable& table) {
                           const SegmentLengthTable::Evaluation at = table.AtLength(lengthF);
                           *x = at.position.x;
                           *y = at.position.y;
                           *deriv1x = at.derivative.x;
                           *deriv1y = at.derivative.y;
                           written = true;
                           return PF_Err_NONE;
                         });
      });
}

// The slot keeps its value: the host frees the preparation, not the module's
// variable, so a second clean-up through it is recognised as one.
PF_Err PathCleanupSegLength(PF_ProgPtr effect_ref, PF_PathOutlinePtr pathP, A_long which_segL,
                            PF_PathSegPrepPtr* lengthPrepP) {
  return ServeEffectGiveBackCall(
      "PF_PathCleanupSegLength", effect_ref,
      [&] {
        return nlohmann::json{{"path", Host::Current()->masks.Name(pathP)},
                              {"segment", which_segL},
                              {"preparation", PrepName(lengthPrepP)}};
      },
      [&](Host& host) -> PF_Err {
        const char* call = "PF_PathCleanupSegLength";
        const MaskModel::Outline* outline = CheckPath(host, pathP, call);
        if (outline == nullptr || !CheckSegment(host, *outline, pathP, which_segL, call)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PreparationCheck prep =
            CheckPreparation(host, lengthPrepP, pathP, which_segL, false, call);
        if (!prep.ok) return PF_Err_BAD_CALLBACK_PARAM;
        host.masks.CleanUp(*lengthPrepP);
        host.ledger.Give(PREPARATION_KIND, "PF_PathCleanupSegLength of a preparation not out");
        return PF_Err_NONE;
      });
}

const PF_PathDataSuite1 PATH_DATA_SUITE = {PathIsOpen,       PathNumSegments,
                                           PathPrepareSegLength, PathGetSegLength,
                                           PathEvalSegLengthDeriv1, PathCleanupSegLength};

// ---- "AEGP Mask Suite" 1 ----

// The host serves one layer, so every layer reference answers for its masks.
A_Err GetLayerNumMasks(AEGP_LayerH layerH, A_long* num_masksPL) {
  bool written = false;
  return ServeCall(
      "AEGP_GetLayerNumMasks",
      [&] {
        nlohmann::json args{{"layer", layerH != nullptr}};
        if (written) args["masks"] = *num_masksPL;
        return args;
      },
      [&](Host& host) -> PF_Err {
        if (!CheckOutput(host, num_masksPL, "the count", "AEGP_GetLayerNumMasks")) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        *num_masksPL = host.masks.Count();
        written = true;
        return PF_Err_NONE;
      });
}

const AEGP_MaskSuite1 MASK_SUITE = {GetLayerNumMasks};

}  // namespace

void InstallMaskServices(Host& host) {
  host.ServeSuite(kPFPathQuerySuite, kPFPathQuerySuiteVersion1, &PATH_QUERY_SUITE);
  host.ServeSuite(kPFPathDataSuite, kPFPathDataSuiteVersion1, &PATH_DATA_SUITE);
  host.ServeSuite(kAEGPMaskSuite, kAEGPMaskSuiteVersion1, &MASK_SUITE);
}

}  // namespace refhost
