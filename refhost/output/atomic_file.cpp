#include "atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace refhost::output {

namespace {

// A unique empty file beside the target, named after it so that a stray one (after
// a crash) is recognisable: ".<name>.XXXXXX.tmp".
std::filesystem::path MakeTempBeside(const std::filesystem::path& target) {
  std::filesystem::path dir = target.parent_path();
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + string.
  std::string name = ".";
  name += target.filename().string();
  name += ".XXXXXX.tmp";
  std::string pattern = (dir.empty() ? std::filesystem::path(name) : dir / name).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  int fd = ::mkstemps(buffer.data(), 4);
  if (fd < 0) throw OutputError(target, std::string("cannot create a file there: ") + std::strerror(errno));
  // mkstemps makes the file private (0600); the finished file gets the ordinary
  // permissions of a new file under the user's umask.
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return std::filesystem::path(buffer.data());
}

void RemoveQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

OutputError::OutputError(const std::filesystem::path& file, const std::string& what)
    : std::runtime_error(file.string() + ": " + what), file_(file) {}

void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temp)>& write) {
  if (target.filename().empty()) throw OutputError(target, "not a file name");
  std::filesystem::path dir = target.parent_path();
  if (!dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw OutputError(target, "cannot create its directory: " + ec.message());
  }
  std::filesystem::path temp = MakeTempBeside(target);
  try {
    write(temp);
  } catch (const OutputError&) {
    RemoveQuietly(temp);
    throw;
  } catch (const std::exception& e) {
    RemoveQuietly(temp);
    throw OutputError(target, e.what());
  } catch (...) {
    RemoveQuietly(temp);
    throw;
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    RemoveQuietly(temp);
    throw OutputError(target, "cannot put the file in place: " + ec.message());
  }
}

void WriteStreamAtomically(const std::filesystem::path& target,
                           const std::function<void(std::FILE* file)>& write) {
  WriteFileAtomically(target, [&](const std::filesystem::path& temp) {
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) throw OutputError(target, std::string("cannot open for writing: ") + std::strerror(errno));
    try {
      write(file);
    } catch (...) {
      std::fclose(file);
      throw;
    }
    bool failed = std::ferror(file) != 0;
    // fclose flushes: a full disk shows up here, not in the writes before it.
    if (std::fclose(file) != 0 || failed) throw OutputError(target, std::string("write failed: ") + std::strerror(errno));
  });
}

void WriteTextAtomically(const std::filesystem::path& target, const std::string& text) {
  WriteStreamAtomically(target, [&](std::FILE* file) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file) != text.size()) {
      throw OutputError(target, std::string("write failed: ") + std::strerror(errno));
    }
  });
}

}  // namespace refhost::output
