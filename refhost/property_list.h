// The module's property list, read the way the real host reads it when it scans
// for plug-ins: what the effect is called, where the host lists it, the name of
// its entry function, and the version and flags it promises before any code runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

class PropertyListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Property {
  std::string vendor;  // four-character codes, in reading order ("8BIM")
  std::string key;
  A_long id = 0;
  std::size_t offset = 0;          // of the record, from the start of the list
  std::vector<std::uint8_t> data;  // exactly the record's stated length
  std::size_t padding = 0;         // zero bytes after the data, not counted in it
};

struct PropertyList {
  std::vector<Property> properties;

  // What the host takes from the records it knows; empty or 0 where absent.
  std::string kind;        // "kind": "eFKT" for an effect
  std::string name;        // "name"
  std::string category;    // "catg"
  std::string match_name;  // "eMNA"
  std::string entry_point;  // under EntryPointKey(), this host's architecture
  A_u_long version = 0;     // "eVER"
  PF_OutFlags out_flags = 0;    // "eGLO"
  PF_OutFlags2 out_flags2 = 0;  // "eGL2"

  const Property* Find(std::string_view key) const;
};

// The key under which this host looks up the entry function: "8664" for a
// 64-bit host, "wx86" for a 32-bit one.
std::string_view EntryPointKey();

// Reads a list: the header, then the records by the header's count and each
// record's length, each padded with zeros to a multiple of 4; the list must end
// right after the last one. Throws PropertyListError saying where it goes wrong.
PropertyList ParsePropertyList(std::span<const std::uint8_t> bytes);

// The list of a loaded module. On Windows it is the module's "PIPL" resource 16000,
// found through the resource functions on the loaded module (`library`, its
// HMODULE); elsewhere it is the file the build writes beside the module, with the
// extension ".pipl". Throws PropertyListError when there is none.
std::vector<std::uint8_t> LoadPropertyListBytes(const std::filesystem::path& module_file,
                                                void* library);

// Where the list and what global setup reported disagree: the version ("eVER"
// against my_version) and the two flag words ("eGLO", "eGL2" against out_flags,
// out_flags2). The real host warns about these and goes on, so they are warnings.
std::vector<std::string> CompareWithGlobalSetup(const PropertyList& list,
                                                const PF_OutData& out_data);

}  // namespace refhost
