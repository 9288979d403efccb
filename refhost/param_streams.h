// The effect's parameters as the host keeps them: what setup added and the value
// of each over time.
#pragma once

#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

class ParamStreams {
 public:
  // The layer's size in pixels, as in_data reports it.
  void LayerSize(A_long& width, A_long& height) const {
    width = width_;
    height = height_;
  }
  void SetLayerSize(A_long width, A_long height) {
    width_ = width;
    height_ = height;
  }
  // The params array of a command: every parameter's value at that time.
  void ValuesAt(A_long time, A_long time_step, A_u_long time_scale,
                std::vector<PF_ParamDef>& values) const;

 private:
  A_long width_ = 0;
  A_long height_ = 0;
};

}  // namespace refhost
