// A progress line for long steps (frame ranges, bakes): redrawn in place on a
// terminal, silent otherwise so that logs and pipes get only the results.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace thimbleroute_cli {

class Progress {
 public:
  Progress(std::ostream& out, bool enabled, std::string what, std::size_t total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // On standard output, shown only when it is a terminal.
  static Progress ForStdout(std::string what, std::size_t total);

  void Update(std::size_t done);
  // A status in place of the count, for work whose progress cannot be counted.
  void Show(const std::string& status);
  // Clears the line, so the result printed next starts at the left edge.
  void Finish();

 private:
  std::ostream* out_;
  bool enabled_;
  bool drawn_ = false;
  std::string what_;
  std::size_t total_;
  std::size_t width_ = 0;  // characters of the last line drawn
};

}  // namespace thimbleroute_cli
