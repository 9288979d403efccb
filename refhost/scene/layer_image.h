// The layer's pixels: an image file, or a pattern made here.
#pragma once

#include "refhost/output/image.h"
#include "scene.h"

namespace refhost::scene {

// The layer at `depth` (the image file converted to it if need be). Throws
// output::OutputError if the image file cannot be read.
output::Image MakeLayerImage(const Layer& layer, Depth depth);

}  // namespace refhost::scene
