// Pixels: the utility callbacks copy and fill, "PF World Suite" 2, and the
// smart-render callbacks through which the module takes its input and output.
#include <algorithm>
#include <cstring>
#include <string>

#include "frame.h"
#include "serve.h"

namespace refhost {

namespace {

// The world the module names must be one the host lent it.
World* LentWorld(Host& host, const PF_EffectWorld* def, const char* call) {
  World* world = def != nullptr ? host.images.Find(def) : nullptr;
  if (world == nullptr) host.ledger.Violation(std::string(call) + " of a world the host did not lend");
  return world;
}

bool WholeOrNull(const PF_Rect* rect, const World& world, PF_Rect& out) {
  out = rect != nullptr ? *rect : PF_Rect{0, 0, world.Width(), world.Height()};
  return out.left >= 0 && out.top >= 0 && out.left <= out.right && out.top <= out.bottom &&
         out.right <= world.Width() && out.bottom <= world.Height();
}

PF_Err Copy(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
            PF_Rect* dst_r) {
  return ServeEffectCall(
      "copy", effect_ref,
      [&] {
        return nlohmann::json{{"src_rect", src_r != nullptr}, {"dst_rect", dst_r != nullptr}};
      },
      [&](Host& host) -> PF_Err {
        World* from = LentWorld(host, src, "copy");
        World* to = LentWorld(host, dst, "copy");
        if (from == nullptr || to == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        PF_Rect s{}, d{};
        if (!WholeOrNull(src_r, *from, s) || !WholeOrNull(dst_r, *to, d)) {
          host.ledger.Violation("copy with a rectangle outside its world");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (from->Format() != to->Format()) {
          host.ledger.Violation("copy between worlds of different pixel formats");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        // Without rectangles the overlap of the two worlds is copied; this host
        // does not scale, so explicit rectangles must match in size.
        A_long width = std::min(s.right - s.left, d.right - d.left);
        A_long height = std::min(s.bottom - s.top, d.bottom - d.top);
        if ((src_r != nullptr || dst_r != nullptr) &&
            (s.right - s.left != d.right - d.left || s.bottom - s.top != d.bottom - d.top)) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const std::size_t bytes = from->PixelBytes();
        for (A_long y = 0; y < height; ++y) {
          std::memcpy(to->Row(d.top + y) + d.left * bytes, from->Row(s.top + y) + s.left * bytes,
                      static_cast<std::size_t>(width) * bytes);
        }
        return PF_Err_NONE;
      });
}

template <class Pixel>
void FillRect(World& world, const PF_Rect& r, Pixel value) {
  for (A_long y = r.top; y < r.bottom; ++y) {
    Pixel* row = reinterpret_cast<Pixel*>(world.Row(y));
    std::fill(row + r.left, row + r.right, value);
  }
}

PF_Err Fill(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
            PF_EffectWorld* def) {
  return ServeEffectCall(
      "fill", effect_ref,
      [&] {
        nlohmann::json args = {{"rect", dst_rect != nullptr}};
        if (color != nullptr) args["color"] = {color->alpha, color->red, color->green, color->blue};
        return args;
      },
      [&](Host& host) -> PF_Err {
        World* world = LentWorld(host, def, "fill");
        if (world == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        PF_Rect r{};
        if (!WholeOrNull(dst_rect, *world, r)) {
          host.ledger.Violation("fill with a rectangle outside its world");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PF_Pixel c = color != nullptr ? *color : PF_Pixel{0, 0, 0, 0};  // null: transparent
        switch (world->Format()) {
          case PF_PixelFormat_ARGB32: FillRect(*world, r, c); break;
          case PF_PixelFormat_ARGB64: FillRect(*world, r, HostPixel8To16(c)); break;
          default: FillRect(*world, r, HostPixel8ToFloat(c)); break;
        }
        return PF_Err_NONE;
      });
}

PF_Err GetPixelFormat(const PF_EffectWorld* def, PF_PixelFormat* format) {
  return ServeCall(
      "PF_GetPixelFormat", [&] { return nlohmann::json::object(); },
      [&](Host& host) -> PF_Err {
        World* world = LentWorld(host, def, "PF_GetPixelFormat");
        if (world == nullptr || format == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        *format = host.faults.ReportedPixelFormat().value_or(world->Format());
        return PF_Err_NONE;
      });
}

const PF_WorldSuite2 WORLD_SUITE = {GetPixelFormat};

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest* req, A_long what_time, A_long time_step,
                     A_u_long time_scale, PF_CheckoutResult* result) {
  return ServeEffectCall(
      "checkout_layer", effect_ref,
      [&] {
        nlohmann::json args = {{"index", index}, {"checkout_id", checkout_id}, {"time", what_time},
                               {"time_step", time_step}, {"time_scale", time_scale}};
        if (req != nullptr) {
          args["rect"] = {req->rect.left, req->rect.top, req->rect.right, req->rect.bottom};
          args["preserve_rgb_of_zero_alpha"] = req->preserve_rgb_of_zero_alpha;
        }
        return args;
      },
      [&](Host& host) -> PF_Err {
        if (req == nullptr || result == nullptr || index != 0) {
          host.ledger.Violation("checkout_layer of a layer other than the input, or without a record");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.images.checkouts.push_back({index, checkout_id, *req, what_time, time_step, time_scale});
        const TimeSettings& t = host.Time();
        const A_long width = ScaledSize(host.images.LayerWidth(), t.downsample_x);
        const A_long height = ScaledSize(host.images.LayerHeight(), t.downsample_y);
        // The input covers the request where it overlaps the layer.
        PF_LRect rect = {std::max(0, req->rect.left), std::max(0, req->rect.top),
                         std::min(width, req->rect.right), std::min(height, req->rect.bottom)};
        if (rect.left >= rect.right || rect.top >= rect.bottom) rect = {0, 0, 0, 0};
        *result = PF_CheckoutResult{};
        result->result_rect = rect;
        result->max_result_rect = {0, 0, width, height};
        result->par = {1, 1};
        result->ref_width = width;
        result->ref_height = height;
        return PF_Err_NONE;
      });
}

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels) {
  return ServeEffectCall(
      "checkout_layer_pixels", effect_ref, [&] { return nlohmann::json{{"checkout_id", checkout_id}}; },
      [&](Host& host) -> PF_Err {
        if (pixels == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        const bool requested = std::any_of(host.images.checkouts.begin(), host.images.checkouts.end(),
                                           [&](const LayerCheckout& c) { return c.checkout_id == checkout_id; });
        if (!requested || host.images.frame_input == nullptr) {
          host.ledger.Violation("checkout_layer_pixels of an id the pre-render never checked out");
          *pixels = nullptr;
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        *pixels = &host.images.frame_input->Def();
        return PF_Err_NONE;
      });
}

// The host takes the input back when the frame ends; an early check-in is allowed.
PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
  return ServeEffectCall(
      "checkin_layer_pixels", effect_ref, [&] { return nlohmann::json{{"checkout_id", checkout_id}}; },
      [&](Host&) -> PF_Err { return PF_Err_NONE; });
}

PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
  return ServeEffectCall(
      "checkout_output", effect_ref, [&] { return nlohmann::json::object(); },
      [&](Host& host) -> PF_Err {
        if (output == nullptr || host.images.frame_output == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        *output = &host.images.frame_output->Def();
        return PF_Err_NONE;
      });
}

const PF_PreRenderCallbacks PRE_RENDER_CALLBACKS = {CheckoutLayer};
const PF_SmartRenderCallbacks SMART_RENDER_CALLBACKS = {CheckoutLayerPixels, CheckinLayerPixels,
                                                        CheckoutOutput};

}  // namespace

const PF_PreRenderCallbacks& PreRenderCallbacks() { return PRE_RENDER_CALLBACKS; }
const PF_SmartRenderCallbacks& SmartRenderCallbacks() { return SMART_RENDER_CALLBACKS; }

void InstallImageServices(Host& host) {
  host.Utils().copy = Copy;
  host.Utils().fill = Fill;
  host.ServeSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &WORLD_SUITE);
}

}  // namespace refhost
