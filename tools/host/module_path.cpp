#include <system_error>

#include "commands.h"

namespace thimbleroute_cli {

std::filesystem::path DefaultModulePath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    std::filesystem::path beside = self.parent_path() / "Thimbleroute.aex";
    if (std::filesystem::exists(beside, ec)) return beside;
  }
  return THIMBLEROUTE_BUILT_MODULE;
}

}  // namespace thimbleroute_cli
