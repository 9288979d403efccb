#include "progress.h"

#include <iostream>

#include <unistd.h>

namespace thimbleroute_cli {

Progress::Progress(std::ostream& out, bool enabled, std::string what, std::size_t total)
    : out_(&out), enabled_(enabled), what_(std::move(what)), total_(total) {}

Progress::~Progress() { Finish(); }

Progress Progress::ForStdout(std::string what, std::size_t total) {
  return Progress(std::cout, ::isatty(STDOUT_FILENO) == 1, std::move(what), total);
}

void Progress::Update(std::size_t done) {
  if (!enabled_) return;
  std::string status = std::to_string(done) + "/" + std::to_string(total_);
  if (total_ > 0) status += " (" + std::to_string(done * 100 / total_) + "%)";
  Show(status);
}

void Progress::Show(const std::string& status) {
  if (!enabled_) return;
  std::string line = what_ + " " + status;
  // Pad over a longer previous line so no stale characters remain.
  std::string pad(width_ > line.size() ? width_ - line.size() : 0, ' ');
  *out_ << '\r' << line << pad << std::flush;
  width_ = line.size();
  drawn_ = true;
}

void Progress::Finish() {
  if (!drawn_) return;
  *out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  drawn_ = false;
}

}  // namespace thimbleroute_cli
