// Build tool: writes the effect's property list to a file.
//   pipl_generator wx86|8664 OUTPUT
// The key names the architecture whose entry function the list names. The build
// runs this on the build machine, also when it cross-builds the Windows modules.
#include <cstdio>
#include <fstream>
#include <string_view>

#include "property_list.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pipl_generator wx86|8664 OUTPUT\n");
    return 2;
  }
  const std::string_view key = argv[1];
  const PropertyListBytes* bytes = nullptr;
  if (key == ENTRY_KEY_X86) bytes = &PROPERTY_LIST_X86;
  if (key == ENTRY_KEY_X64) bytes = &PROPERTY_LIST_X64;
  if (bytes == nullptr) {
    std::fprintf(stderr, "pipl_generator: unknown entry key \"%s\" (wx86 or 8664)\n", argv[1]);
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes->data()),
            static_cast<std::streamsize>(bytes->size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "pipl_generator: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
