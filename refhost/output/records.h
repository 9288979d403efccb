// Plain records the writers take: what a run produced, in the host's own terms,
// with no tie to how the host keeps it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../../plugin/host/host_contract.h"

namespace refhost::output {

// The layer's clock: times are integers over `scale` (seconds = time / scale),
// frames are `step` apart, the layer lasts `duration` from time 0.
struct TimeBase {
  A_u_long scale = 1;
  A_long step = 1;
  A_long duration = 1;

  double Seconds(A_long time) const { return static_cast<double>(time) / static_cast<double>(scale); }
};

// One mask vertex in layer pixels; the tangents are relative to the vertex, as in
// the host's own mask model.
struct MaskVertex {
  double x = 0, y = 0;
  double in_x = 0, in_y = 0;
  double out_x = 0, out_y = 0;
};

struct MaskGeometry {
  bool closed = false;
  std::vector<MaskVertex> vertices;
};

// The effect's parameters by the kind of value they hold.
enum class ParamKind {
  PATH,      // a mask's path id, 0 for none
  PERCENT,   // the fixed slider, in per cent
  ANGLE,     // degrees
  POINT,     // layer pixels
  CHECKBOX,  // 0 or 1
  POPUP,     // 1-based item number
  COLOR,     // 8-bit colour
};

// A parameter value, shaped like the host's stream values: `number` for every
// one-dimensional kind (path id, percent, degrees, checkbox, item), x and y for a
// point, `color` for a colour.
struct ParamValue {
  double number = 0;
  double x = 0, y = 0;
  PF_Pixel color{};
};

struct StreamKeyframe {
  A_long time = 0;  // host units of the TimeBase
  ParamValue value;
};

// One parameter stream as the host holds it after a run.
struct StreamRecord {
  int index = 0;      // parameter index, also the host id and stream index
  std::string key;    // the scene's name for it, e.g. "offset_percent"
  std::string name;   // the name the user sees, e.g. "Offset"
  ParamKind kind = ParamKind::PERCENT;
  bool hidden = false;
  ParamValue value;   // the static value (what the stream holds without keyframes)
  std::vector<StreamKeyframe> keyframes;
};

// One step of a bake: where the point was and which way the path ran.
struct BakeSample {
  A_long time = 0;
  double x = 0, y = 0;
  double angle = 0;  // degrees, 0 up, clockwise
};

// "#rrggbb" for an opaque colour, "#rrggbbaa" otherwise: the form scenes use.
std::string FormatColor(const PF_Pixel& color);

}  // namespace refhost::output
