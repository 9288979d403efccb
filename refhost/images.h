// The layer's own picture, and the worlds the host lends the module during a frame.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "../plugin/host/host_contract.h"
#include "world.h"

namespace refhost {

// A request the module made through checkout_layer in the pre-render.
struct LayerCheckout {
  PF_ParamIndex index;
  A_long checkout_id;
  PF_RenderRequest request;
  A_long time;
  A_long time_step;
  A_u_long time_scale;
};

class ImageModel {
 public:
  // The layer's picture at full resolution, alpha, red, green, blue in 0..1.
  void SetLayer(A_long width, A_long height, std::vector<PF_PixelFloat> pixels);
  // A built-in picture: colour bars over a ramp with a grid, every pixel distinct
  // enough that a wrong copy shows.
  void SetTestCard(A_long width, A_long height);
  A_long LayerWidth() const { return width_; }
  A_long LayerHeight() const { return height_; }
  const std::vector<PF_PixelFloat>& LayerPixels() const { return pixels_; }

  // The layer at a render's depth and resolution (nearest sample per pixel).
  std::unique_ptr<World> LayerWorld(PF_PixelFormat format, PF_RationalScale downsample_x,
                                    PF_RationalScale downsample_y, A_long row_padding) const;

  // Worlds lent to the module; a world it names must be one of these.
  void Lend(World& world) { lent_[&world.Def()] = &world; }
  void TakeBack(World& world) { lent_.erase(&world.Def()); }
  World* Find(const PF_EffectWorld* def) const;

  // The frame in progress: the pre-render's layer requests, and the worlds the
  // render checks out.
  std::vector<LayerCheckout> checkouts;
  World* frame_input = nullptr;
  World* frame_output = nullptr;

 private:
  A_long width_ = 0;
  A_long height_ = 0;
  std::vector<PF_PixelFloat> pixels_;
  std::map<const PF_EffectWorld*, World*> lent_;
};

// A size scaled by a downsample ratio, rounded up so no pixel of the layer is lost.
A_long ScaledSize(A_long size, PF_RationalScale scale);

}  // namespace refhost
