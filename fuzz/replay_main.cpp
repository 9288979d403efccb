// Runs a fuzz target's logic once over every input file named on the command line
// (a folder stands for the files in it), without libFuzzer: the corpora and the
// regression inputs are replayed this way by the ordinary test run. A finding
// aborts, as it does under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// Notes kept beside the inputs (README.md, .gitkeep) are not inputs.
bool IsInput(const fs::path& file) {
  const std::string name = file.filename().string();
  return !name.empty() && name[0] != '.' && file.extension() != ".md";
}

std::vector<fs::path> Inputs(const fs::path& arg) {
  std::vector<fs::path> files;
  if (fs::is_directory(arg)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(arg)) {
      if (entry.is_regular_file() && IsInput(entry.path())) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(arg);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (!fs::exists(argv[i])) {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
    for (const fs::path& file : Inputs(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return 2;
      }
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", file.string().c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return 0;
}
