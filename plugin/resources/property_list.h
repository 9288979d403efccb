// The effect's property list: the block the host reads when it scans for plug-ins,
// before it runs any code, to learn that the module is an effect and its name,
// category, entry function, versions, flags and match name.
//
// The bytes are built here, at compile time, from the same constants global setup
// reports (effect_identity.h), so the two cannot disagree. pipl_generator writes
// them out during the build: the resource script embeds them in the Windows
// modules, and other builds keep them beside the module.
//
// Layout: a 10-byte header (reserved word 1, list version 0, property count), then
// one record per property: vendor code, key, id, data length, the data, and zero
// bytes up to the next multiple of 4 that the length does not count. Integers are
// little-endian; a four-character code is a 32-bit integer whose most significant
// byte is its first character, so "8BIM" is stored as the bytes "MIB8".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../lifecycle/effect_identity.h"

constexpr std::size_t PROPERTY_LIST_SIZE = 302;
constexpr A_long PROPERTY_COUNT = 12;

// Keys under which the list names the entry function, one per Windows architecture.
constexpr std::string_view ENTRY_KEY_X86 = "wx86";  // 32-bit x86
constexpr std::string_view ENTRY_KEY_X64 = "8664";  // 64-bit x86

constexpr std::string_view PROPERTY_VENDOR = "8BIM";
constexpr std::string_view EFFECT_KIND = "eFKT";  // an After Effects effect
// Format version of the property list itself, 2.0.
constexpr A_u_short PIPL_VERSION_MAJOR = 2;
constexpr A_u_short PIPL_VERSION_MINOR = 0;
// Version of the host's effect interface the module is written against, 12.10.
constexpr A_u_short EFFECT_API_VERSION_MAJOR = 12;
constexpr A_u_short EFFECT_API_VERSION_MINOR = 10;
constexpr A_u_short EFFECT_INFO_FLAGS = 0;  // none
// Reserved information value; the host expects 8.
constexpr A_u_long AE_RESERVED_INFO = 8;

using PropertyListBytes = std::array<std::uint8_t, PROPERTY_LIST_SIZE>;

namespace property_list_detail {

// Appends to the fixed block; running past its end, or not filling it, stops the
// compilation where the list is built as a constant (see below).
class Writer {
 public:
  constexpr void Byte(std::uint32_t value) {
    if (size_ == bytes_.size()) throw "the property list is larger than its fixed size";
    bytes_[size_++] = static_cast<std::uint8_t>(value & 0xFFu);
  }
  constexpr void U16(std::uint32_t value) {
    Byte(value);
    Byte(value >> 8);
  }
  constexpr void U32(std::uint32_t value) {
    U16(value);
    U16(value >> 16);
  }
  constexpr void FourCharCode(std::string_view code) {
    if (code.size() != 4) throw "a four-character code has four characters";
    U32(static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
        static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
  }
  constexpr void Chars(std::string_view text) {
    for (char c : text) Byte(static_cast<unsigned char>(c));
  }
  // Zeros until the data begun at `start` fills a multiple of 4 bytes. (Records
  // start at offset 10, so the data's own length counts, not the offset.)
  constexpr void ZerosTo4(std::size_t start) {
    while ((size_ - start) % 4 != 0) Byte(0);
  }
  constexpr std::size_t Size() const { return size_; }
  constexpr PropertyListBytes Finish() const {
    if (size_ != bytes_.size()) throw "the property list is smaller than its fixed size";
    return bytes_;
  }

 private:
  PropertyListBytes bytes_{};
  std::size_t size_ = 0;
};

// Data lengths, all counting the zero bytes that the data itself carries.
constexpr std::uint32_t Padded4(std::size_t size) {
  return static_cast<std::uint32_t>((size + 3) / 4 * 4);
}
// A length byte, the characters, zeros up to a multiple of 4.
constexpr std::uint32_t PascalLength(std::string_view text) { return Padded4(1 + text.size()); }
// The characters, their terminating zero, zeros up to a multiple of 4.
constexpr std::uint32_t CStringLength(std::string_view text) { return Padded4(text.size() + 1); }

constexpr void Header(Writer& out, std::string_view key, std::uint32_t length) {
  out.FourCharCode(PROPERTY_VENDOR);
  out.FourCharCode(key);
  out.U32(0);  // property id
  out.U32(length);
}

constexpr void PascalString(Writer& out, std::string_view key, std::string_view text) {
  if (text.size() > 255) throw "a length-prefixed string holds at most 255 characters";
  Header(out, key, PascalLength(text));
  const std::size_t start = out.Size();
  out.Byte(static_cast<std::uint32_t>(text.size()));
  out.Chars(text);
  out.ZerosTo4(start);
}

constexpr void CString(Writer& out, std::string_view key, std::string_view text) {
  Header(out, key, CStringLength(text));
  const std::size_t start = out.Size();
  out.Chars(text);
  out.Byte(0);
  out.ZerosTo4(start);
}

constexpr void Long(Writer& out, std::string_view key, std::uint32_t value) {
  Header(out, key, 4);
  out.U32(value);
}

constexpr void ShortPair(Writer& out, std::string_view key, std::uint32_t first,
                         std::uint32_t second) {
  Header(out, key, 4);
  out.U16(first);
  out.U16(second);
}

}  // namespace property_list_detail

// The list with the entry function named under `entry_key` (ENTRY_KEY_X86 or
// ENTRY_KEY_X64); the two differ in those four bytes only.
constexpr PropertyListBytes BuildPropertyList(std::string_view entry_key) {
  using namespace property_list_detail;
  Writer out;
  out.U16(1);  // reserved
  out.U32(0);  // list version
  out.U32(static_cast<std::uint32_t>(PROPERTY_COUNT));

  Header(out, "kind", 4);
  out.FourCharCode(EFFECT_KIND);
  PascalString(out, "name", EFFECT_NAME);
  PascalString(out, "catg", EFFECT_CATEGORY);
  CString(out, entry_key, ENTRY_POINT_NAME);
  ShortPair(out, "ePVR", PIPL_VERSION_MAJOR, PIPL_VERSION_MINOR);
  ShortPair(out, "eSVR", EFFECT_API_VERSION_MAJOR, EFFECT_API_VERSION_MINOR);
  Long(out, "eVER", EFFECT_VERSION);
  // The one record whose data (a 16-bit word) is shorter than the space it takes.
  Header(out, "eINF", 2);
  const std::size_t info = out.Size();
  out.U16(EFFECT_INFO_FLAGS);
  out.ZerosTo4(info);
  Long(out, "eGLO", static_cast<std::uint32_t>(EFFECT_OUT_FLAGS));
  Long(out, "eGL2", static_cast<std::uint32_t>(EFFECT_OUT_FLAGS2));
  PascalString(out, "eMNA", EFFECT_MATCH_NAME);
  Long(out, "aeFL", AE_RESERVED_INFO);
  return out.Finish();
}

// Built as constants, so a list that does not fill exactly PROPERTY_LIST_SIZE bytes
// (a longer name, say) fails the build instead of producing a wrong resource.
constexpr PropertyListBytes PROPERTY_LIST_X86 = BuildPropertyList(ENTRY_KEY_X86);
constexpr PropertyListBytes PROPERTY_LIST_X64 = BuildPropertyList(ENTRY_KEY_X64);
