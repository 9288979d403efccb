// Output files are written whole or not at all: the content goes to a temporary
// file beside the target, which is renamed over the target only when the writer
// has finished. A writer that fails leaves the target as it was (absent, or its
// previous content) and no temporary file behind.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace refhost::output {

// Every writer reports failure with this: the file and what went wrong.
class OutputError : public std::runtime_error {
 public:
  OutputError(const std::filesystem::path& file, const std::string& what);
  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
};

// Creates the target's directory if needed, then calls write(temp_path) with the
// path of a fresh empty file in that directory. When write returns, the temporary
// file is renamed to `target`; when it throws, the temporary file is removed and
// the exception passes on (anything but an OutputError becomes one).
void WriteFileAtomically(const std::filesystem::path& target,
                         const std::function<void(const std::filesystem::path& temp)>& write);

// The same for writers that want a stream: `write` gets the temporary file opened
// for binary writing; a write or close error is reported as an OutputError.
void WriteStreamAtomically(const std::filesystem::path& target,
                           const std::function<void(std::FILE* file)>& write);

// Text content, written whole.
void WriteTextAtomically(const std::filesystem::path& target, const std::string& text);

}  // namespace refhost::output
