#include "output_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "refhost/output/atomic_file.h"

namespace thimbleroute_cli {

using refhost::output::OutputError;

OutputFolder::OutputFolder(std::filesystem::path dir) : dir_(std::move(dir)) {
  if (dir_.empty()) dir_ = ".";
  // The folders that do not exist yet, so that a failed run can take them away.
  std::error_code ec;
  for (std::filesystem::path p = dir_; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
    created_.insert(created_.begin(), p);
    if (p == p.parent_path()) break;
  }
  std::filesystem::create_directories(dir_, ec);
  if (ec || !std::filesystem::is_directory(dir_, ec)) {
    throw OutputError(dir_, "cannot create the output folder: " + (ec ? ec.message() : "not a folder"));
  }
  // Named so that one left by a killed run is recognisable.
  std::string pattern = (dir_ / ".thimbleroute-run-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw OutputError(dir_, std::string("cannot write in the output folder: ") + std::strerror(errno));
  }
  staging_ = pattern;
}

OutputFolder::~OutputFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(staging_, ignored);
  if (!committed_.empty()) return;
  // Innermost first; a folder someone else has put something into meanwhile stays.
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) std::filesystem::remove(*it, ignored);
}

std::filesystem::path OutputFolder::Stage(const std::filesystem::path& relative) {
  staged_.push_back(relative);
  return staging_ / relative;
}

void OutputFolder::Commit() {
  for (const std::filesystem::path& relative : staged_) {
    std::error_code ec;
    const std::filesystem::path from = staging_ / relative;
    if (!std::filesystem::exists(from, ec)) continue;  // staged, then not written (a step that failed as expected)
    const std::filesystem::path to = dir_ / relative;
    std::filesystem::create_directories(to.parent_path(), ec);
    if (!ec) std::filesystem::rename(from, to, ec);
    if (ec) throw OutputError(to, "cannot put the file in place: " + ec.message());
    committed_.push_back(relative);
  }
}

}  // namespace thimbleroute_cli
