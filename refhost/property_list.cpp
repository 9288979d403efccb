#include "property_list.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace refhost {

namespace {

constexpr std::size_t HEADER_SIZE = 10;
constexpr std::size_t RECORD_HEADER_SIZE = 16;
// The resource a Windows module carries its list in (read from the file elsewhere).
[[maybe_unused]] constexpr int PIPL_RESOURCE_ID = 16000;
// No property list comes near this; a larger file beside a module is not one.
constexpr std::uintmax_t LARGEST_LIST_FILE = 64 * 1024;

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// A four-character code is stored as a little-endian integer whose most
// significant byte is the first character: the characters stand reversed.
std::string FourCharCode(std::span<const std::uint8_t> bytes, std::size_t at) {
  return {static_cast<char>(bytes[at + 3]), static_cast<char>(bytes[at + 2]),
          static_cast<char>(bytes[at + 1]), static_cast<char>(bytes[at])};
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

[[noreturn]] void Fail(const std::string& why) { throw PropertyListError("property list: " + why); }

std::string Where(const Property& property) {
  return "\"" + property.key + "\" at offset " + std::to_string(property.offset);
}

// One length byte, then that many characters, inside the record's data.
std::string PascalString(const Property& property) {
  if (property.data.empty() || property.data[0] + 1u > property.data.size()) {
    Fail(Where(property) + ": the string runs past the record's data");
  }
  return {property.data.begin() + 1, property.data.begin() + 1 + property.data[0]};
}

// Characters up to a terminating zero that lies inside the record's data.
std::string CString(const Property& property) {
  for (std::size_t i = 0; i < property.data.size(); ++i) {
    if (property.data[i] == 0) return {property.data.begin(), property.data.begin() + static_cast<std::ptrdiff_t>(i)};
  }
  Fail(Where(property) + ": the string has no terminating zero");
}

std::uint32_t Long(const Property& property) {
  if (property.data.size() != 4) {
    Fail(Where(property) + ": " + std::to_string(property.data.size()) +
         " bytes of data, a 32-bit value needs 4");
  }
  return ReadU32(property.data, 0);
}

std::string FourCharCodeValue(const Property& property) {
  Long(property);  // checks the size
  return FourCharCode(property.data, 0);
}

}  // namespace

const Property* PropertyList::Find(std::string_view key) const {
  for (const Property& property : properties) {
    if (property.key == key) return &property;
  }
  return nullptr;
}

std::string_view EntryPointKey() { return sizeof(void*) == 8 ? "8664" : "wx86"; }

PropertyList ParsePropertyList(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < HEADER_SIZE) {
    Fail(std::to_string(bytes.size()) + " bytes, fewer than its " + std::to_string(HEADER_SIZE) +
         "-byte header");
  }
  if (ReadU16(bytes, 0) != 1) Fail("reserved word is " + std::to_string(ReadU16(bytes, 0)) + ", not 1");
  if (ReadU32(bytes, 2) != 0) Fail("version " + std::to_string(ReadU32(bytes, 2)) + ", not 0");
  const std::uint32_t count = ReadU32(bytes, 6);

  PropertyList list;
  std::set<std::string> keys;
  std::size_t at = HEADER_SIZE;
  // The count is not trusted for anything but the loop's bound: each record must
  // be there in full before it is read.
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string which = "property " + std::to_string(i + 1) + " of " + std::to_string(count);
    if (bytes.size() - at < RECORD_HEADER_SIZE) {
      Fail("ends at offset " + std::to_string(bytes.size()) + " inside the header of " + which);
    }
    Property property;
    property.offset = at;
    property.vendor = FourCharCode(bytes, at);
    property.key = FourCharCode(bytes, at + 4);
    property.id = static_cast<A_long>(ReadU32(bytes, at + 8));
    const std::uint32_t length = ReadU32(bytes, at + 12);
    at += RECORD_HEADER_SIZE;
    property.padding = (4 - length % 4) % 4;
    if (bytes.size() - at < length || bytes.size() - at - length < property.padding) {
      Fail(which + " (" + Where(property) + ") claims " + std::to_string(length) +
           " bytes of data, more than the list holds");
    }
    property.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    for (std::size_t pad = 0; pad < property.padding; ++pad, ++at) {
      if (bytes[at] != 0) Fail(Where(property) + ": padding byte at offset " + std::to_string(at) + " is not 0");
    }
    if (!keys.insert(property.key).second) Fail(Where(property) + ": the key appears twice");
    list.properties.push_back(std::move(property));
  }
  if (at != bytes.size()) {
    Fail(std::to_string(bytes.size() - at) + " bytes after the last of " + std::to_string(count) +
         " properties, at offset " + std::to_string(at));
  }

  for (const Property& property : list.properties) {
    if (property.key == "kind") list.kind = FourCharCodeValue(property);
    if (property.key == "name") list.name = PascalString(property);
    if (property.key == "catg") list.category = PascalString(property);
    if (property.key == "eMNA") list.match_name = PascalString(property);
    if (property.key == EntryPointKey()) list.entry_point = CString(property);
    if (property.key == "eVER") list.version = Long(property);
    if (property.key == "eGLO") list.out_flags = static_cast<PF_OutFlags>(Long(property));
    if (property.key == "eGL2") list.out_flags2 = static_cast<PF_OutFlags2>(Long(property));
  }
  return list;
}

std::vector<std::uint8_t> LoadPropertyListBytes(const std::filesystem::path& module_file,
                                                void* library) {
#if defined(_WIN32)
  (void)module_file;
  HMODULE module = static_cast<HMODULE>(library);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(PIPL_RESOURCE_ID), L"PIPL");
  if (resource == nullptr) {
    Fail("the module has no \"PIPL\" resource " + std::to_string(PIPL_RESOURCE_ID));
  }
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) Fail("cannot load the \"PIPL\" resource (Windows error " + std::to_string(GetLastError()) + ")");
  const auto* first = static_cast<const std::uint8_t*>(data);
  return {first, first + size};
#else
  (void)library;
  std::filesystem::path file = module_file;
  file.replace_extension(".pipl");
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) Fail("none beside the module (" + file.string() + ": " + ec.message() + ")");
  if (size > LARGEST_LIST_FILE) Fail(file.string() + " is too large to be one");
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.good() && !in.eof()) Fail("cannot read " + file.string());
  return bytes;
#endif
}

std::vector<std::string> CompareWithGlobalSetup(const PropertyList& list,
                                                const PF_OutData& out_data) {
  std::vector<std::string> warnings;
  const auto compare = [&](const char* key, std::uint32_t listed, const char* field,
                           std::uint32_t reported, bool as_hex) {
    const auto show = [as_hex](std::uint32_t value) {
      return as_hex ? Hex(value) : std::to_string(value);
    };
    if (list.Find(key) == nullptr) {
      warnings.push_back(std::string("the property list has no \"") + key + "\"; global setup reports " +
                         field + " " + show(reported));
    } else if (listed != reported) {
      warnings.push_back(std::string("\"") + key + "\" " + show(listed) +
                         " in the property list differs from " + field + " " + show(reported) +
                         " reported by global setup");
    }
  };
  compare("eVER", list.version, "my_version", out_data.my_version, false);
  compare("eGLO", static_cast<std::uint32_t>(list.out_flags), "out_flags",
          static_cast<std::uint32_t>(out_data.out_flags), true);
  compare("eGL2", static_cast<std::uint32_t>(list.out_flags2), "out_flags2",
          static_cast<std::uint32_t>(out_data.out_flags2), true);
  return warnings;
}

}  // namespace refhost
