// The output folder of one run, filled all at once: files are written into a
// hidden folder inside it and moved into place only when the whole run has
// succeeded. A run that fails leaves the folder as it found it (and removes the
// folders it had to create), so no output of a failed run can pass for a result.
#pragma once

#include <filesystem>
#include <vector>

namespace thimbleroute_cli {

class OutputFolder {
 public:
  // Creates `dir` if need be, and the hidden folder files are written into.
  // Throws refhost::output::OutputError when it cannot.
  explicit OutputFolder(std::filesystem::path dir);
  // Without a Commit: removes everything written and the folders made.
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  // Where to write the file that is to end up at dir / relative; noted for Commit.
  std::filesystem::path Stage(const std::filesystem::path& relative);
  // Moves every staged file that was written into place, replacing a file of the
  // same name, in the order staged. Throws OutputError for a file that cannot be
  // moved; the files moved before it stay.
  void Commit();
  // Files moved into place by Commit, relative to the folder.
  const std::vector<std::filesystem::path>& Committed() const { return committed_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path staging_;
  std::vector<std::filesystem::path> created_;  // folders this run made, outermost first
  std::vector<std::filesystem::path> staged_;
  std::vector<std::filesystem::path> committed_;
};

}  // namespace thimbleroute_cli
