// The effect's parameters as the host keeps them: the definition of each one the
// module added, and each one's value over time as a stream.
//
// Index 0 is the input layer, supplied by the host; PF_Cmd_PARAMS_SETUP appends the
// module's own parameters after it. A parameter's index is also its stream index.
//
// Values are kept in user units, the way the AEGP calls see them (AEGP_StreamVal2):
//   fixed slider    one_d, the number shown (a percentage for a percent slider)
//   angle           one_d, degrees
//   point           two_d, layer pixels at full resolution
//   checkbox        one_d, 0 or 1
//   popup           one_d, the 1-based item number
//   path            one_d, the mask's path id (0: none chosen)
//   colour          color, channels 0 to 1
// A checked-out PF_ParamDef carries the same values in the host's record encoding
// (16.16 fixed point, PF_Pixel bytes, integers).
//
// A stream either holds a static value (the definition's default until one is set)
// or keyframes; with keyframes the static value is not used. Between keyframes the
// fixed slider, angles and point are linear in time; the path, checkboxes, popup
// and colour hold the earlier keyframe's value. Before the first keyframe and after
// the last, the nearest keyframe's value holds.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

struct ParamKeyframe {
  A_Time time;  // layer time
  AEGP_StreamVal2 value;
};

// AEGP-style values, for setting and comparing streams.
AEGP_StreamVal2 OneDValue(double value);
AEGP_StreamVal2 TwoDValue(double x, double y);
AEGP_StreamVal2 ColorValue(PF_Pixel color);
PF_Pixel PixelOf(const AEGP_ColorVal& color);

class ParamStreams {
 public:
  // More parameters than this in one setup is a runaway module, not an effect.
  static constexpr int MAX_PARAMS = 64;

  ParamStreams();
  ~ParamStreams();
  ParamStreams(const ParamStreams&) = delete;
  ParamStreams& operator=(const ParamStreams&) = delete;

  // The layer's size in pixels, as in_data reports it. The point's default is
  // given in per cent of it, so changing the size moves a point still at default.
  void LayerSize(A_long& width, A_long& height) const {
    width = width_;
    height = height_;
  }
  void SetLayerSize(A_long width, A_long height);

  // What a new command means for the parameters: PF_Cmd_PARAMS_SETUP describes
  // them anew, so the list goes back to the input layer alone; and nothing checked
  // out by an earlier command can be checked in by this one.
  void BeginCommand(PF_Cmd cmd);

  // ---- Definitions (add_param) ----
  // Appends a copy of `def`, including copies of the texts it points to (box text,
  // popup items): the module reuses its record and its buffers. Gives PF_Err_NONE,
  // or a code with `problem` saying what was refused: a malformed definition
  // (PF_Err_BAD_CALLBACK_PARAM) or one parameter too many (PF_Err_OUT_OF_MEMORY).
  PF_Err Add(const PF_ParamDef& def, std::string& problem);
  // Parameters including the input layer.
  int Count() const { return static_cast<int>(streams_.size()); }
  // The host's copy as added, its text pointers aimed at the host's own copies;
  // null for an index the host does not have.
  const PF_ParamDef* Definition(PF_ParamIndex index) const;

  // ---- Values ----
  // Each gives false, changing nothing, for the input layer, an unknown index, a
  // value of the wrong shape for the type, a value out of the parameter's range
  // (slider outside its valid range, popup item outside 1..num_choices, checkbox
  // other than 0 or 1, negative or fractional path id), or a time with scale 0.
  //
  // The static value. Refused while the stream has keyframes, as the host's own
  // AEGP_SetStreamValue is: keyframed values are changed through keyframes.
  bool SetValue(PF_ParamIndex index, const AEGP_StreamVal2& value);
  bool SetValue(PF_ParamIndex index, double value);  // every one-dimensional type
  bool SetValue(PF_ParamIndex index, double x, double y);  // the point
  bool SetValue(PF_ParamIndex index, PF_Pixel color);  // the colour
  // A keyframe at a time that already has one (the same instant in any scale)
  // replaces it.
  bool AddKeyframe(PF_ParamIndex index, A_Time time, const AEGP_StreamVal2& value);
  // Replaces every keyframe of the stream; an empty list makes it static again.
  bool SetKeyframes(PF_ParamIndex index, const std::vector<ParamKeyframe>& keyframes);
  // For tests only: a value no user could enter (not a number, an offset past the
  // slider's range, a popup item that does not exist) stored as the static value
  // or as a keyframe, without the range check above, so that a test can hand the
  // module what the host's interface would never let through. False only for the
  // input layer, an unknown index or a time with scale 0.
  bool SetValueUnchecked(PF_ParamIndex index, const AEGP_StreamVal2& value);
  bool AddKeyframeUnchecked(PF_ParamIndex index, A_Time time, const AEGP_StreamVal2& value);
  // In time order; empty for a static stream or an unknown index.
  std::vector<ParamKeyframe> Keyframes(PF_ParamIndex index) const;
  // The value at a time; none for the input layer or an unknown index.
  std::optional<AEGP_StreamVal2> ValueAt(PF_ParamIndex index, A_Time time) const;
  // The static value (the definition's default until one is set), which the stream
  // keeps, unused, while it has keyframes; none for the input layer or an unknown index.
  std::optional<AEGP_StreamVal2> StaticValue(PF_ParamIndex index) const;

  // ---- Check-out (checkout_param / checkin_param) ----
  // Fills `param` with the definition and the value at (time, time_scale); false
  // for an unknown index or scale 0. time_step plays no part in a value.
  bool Checkout(PF_ParamIndex index, A_long time, A_long time_step, A_u_long time_scale,
                PF_ParamDef& param) const;
  // The params array of a command: every parameter's value at that time.
  void ValuesAt(A_long time, A_long time_step, A_u_long time_scale,
                std::vector<PF_ParamDef>& values) const;
  // The records checked out in the running command and not yet checked in.
  void NoteCheckout(const PF_ParamDef* param) { checked_out_.insert(param); }
  bool NoteCheckin(const PF_ParamDef* param);

  // ---- Flags and revisions ----
  // The stream's HIDDEN flag (AEGP_DynStreamFlag_HIDDEN); false for unknown indices.
  bool Hidden(PF_ParamIndex index) const;
  bool SetHidden(PF_ParamIndex index, bool hidden);
  // Moves on whenever a value, a keyframe or a flag actually changes (or the
  // parameter list is set up anew); writing what is already there leaves it. A
  // PF_State snapshot holds it, so "changed since the snapshot" is a comparison.
  std::uint64_t Revision() const { return revision_; }
  // The revision at which this stream last changed (its addition counts).
  std::uint64_t ChangedAt(PF_ParamIndex index) const;

 private:
  struct Stream;
  Stream* Find(PF_ParamIndex index) const;
  AEGP_StreamVal2 DefaultOf(const Stream& stream) const;
  bool Valid(const Stream& stream, const AEGP_StreamVal2& value) const;
  void Touch(Stream& stream);

  A_long width_ = 0;
  A_long height_ = 0;
  std::vector<std::unique_ptr<Stream>> streams_;  // stable addresses: texts are pointed at
  std::multiset<const PF_ParamDef*> checked_out_;
  std::uint64_t revision_ = 1;
};

}  // namespace refhost
