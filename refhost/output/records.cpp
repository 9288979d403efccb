#include "records.h"

#include <cstdio>

namespace refhost::output {

std::string FormatColor(const PF_Pixel& color) {
  char text[10];
  if (color.alpha == 255) {
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color.red, color.green, color.blue);
  } else {
    std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", color.red, color.green, color.blue, color.alpha);
  }
  return text;
}

}  // namespace refhost::output
