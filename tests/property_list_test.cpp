// The property list: its bytes against the documented table, the host's reader of
// it, the loader that takes the entry function's name from it, and the host's
// check of it against what global setup reports.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "module_host.h"
#include "refhost/property_list.h"
#include "resources/property_list.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

// The documented records, in order: where each starts, its key, its stated length
// and its data as stored, including the zeros the data itself carries.
struct Record {
  std::size_t offset;
  std::string key;
  std::uint32_t length;
  std::string data;
};

std::vector<Record> DocumentedRecords(const std::string& entry_key) {
  using std::string_literals::operator""s;
  return {
      {10, "kind", 4, "TKFe"},
      {30, "name", 16, "\x0c" "Thimbleroute\0\0\0"s},
      {62, "catg", 8, "\x06" "Nemblo\0"s},
      {86, entry_key, 16, "EntryPointFunc\0\0"s},
      {118, "ePVR", 4, "\x02\0\0\0"s},
      {138, "eSVR", 4, "\x0c\0\x0a\0"s},
      {158, "eVER", 4, "\x01\x06\x08\0"s},  // 525825
      {178, "eINF", 2, "\0\0"s},
      {198, "eGLO", 4, "\x40\0\0\x06"s},
      {218, "eGL2", 4, "\0\x14\0\0"s},
      {238, "eMNA", 28, "\x19" "Thimbleroute by Durvasket\0\0"s},
      {282, "aeFL", 4, "\x08\0\0\0"s},
  };
}

// The whole list as the table gives it: header, then each record with its codes
// reversed, id 0, little-endian length, data and zeros up to a multiple of 4.
Bytes DocumentedList(const std::string& entry_key) {
  Bytes out = {1, 0, 0, 0, 0, 0, 12, 0, 0, 0};
  for (const Record& record : DocumentedRecords(entry_key)) {
    EXPECT_EQ(out.size(), record.offset) << record.key;
    for (const char* code : {"8BIM", record.key.c_str()}) {
      for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(code[i]));
    }
    out.insert(out.end(), 4, 0);
    for (int shift = 0; shift < 32; shift += 8) {
      out.push_back(static_cast<std::uint8_t>(record.length >> shift));
    }
    EXPECT_EQ(record.data.size(), record.length) << record.key;
    out.insert(out.end(), record.data.begin(), record.data.end());
    while ((out.size() - record.offset - 16) % 4 != 0) out.push_back(0);
  }
  return out;
}

Bytes AsBytes(const PropertyListBytes& list) { return {list.begin(), list.end()}; }

// The list with its bytes at `offset` replaced.
Bytes Patched(Bytes list, std::size_t offset, const Bytes& replacement) {
  std::copy(replacement.begin(), replacement.end(), list.begin() + static_cast<std::ptrdiff_t>(offset));
  return list;
}

std::size_t DataOffset(const Bytes& list, const std::string& key) {
  const refhost::PropertyList parsed = refhost::ParsePropertyList(list);
  const refhost::Property* property = parsed.Find(key);
  return property == nullptr ? 0 : property->offset + 16;
}

TEST(PropertyListBytes, MatchTheDocumentedTableForBothArchitectures) {
  EXPECT_EQ(AsBytes(PROPERTY_LIST_X86), DocumentedList("wx86"));
  EXPECT_EQ(AsBytes(PROPERTY_LIST_X64), DocumentedList("8664"));
  EXPECT_EQ(DocumentedList("wx86").size(), 302u);
  // The two differ in the entry key's four bytes and nowhere else.
  std::vector<std::size_t> differing;
  for (std::size_t i = 0; i < PROPERTY_LIST_SIZE; ++i) {
    if (PROPERTY_LIST_X86[i] != PROPERTY_LIST_X64[i]) differing.push_back(i);
  }
  EXPECT_EQ(differing, (std::vector<std::size_t>{90, 91, 92, 93}));
}

TEST(PropertyListBytes, AgreeWithWhatGlobalSetupReports) {
  const refhost::PropertyList list = refhost::ParsePropertyList(AsBytes(PROPERTY_LIST_X64));
  PF_OutData out_data{};
  out_data.my_version = EFFECT_VERSION;
  out_data.out_flags = EFFECT_OUT_FLAGS;
  out_data.out_flags2 = EFFECT_OUT_FLAGS2;
  EXPECT_TRUE(refhost::CompareWithGlobalSetup(list, out_data).empty());
}

TEST(PropertyListReader, WalksTwelveRecordsToTheEndWithOnlyEinfPadded) {
  const refhost::PropertyList list = refhost::ParsePropertyList(AsBytes(PROPERTY_LIST_X64));
  const std::vector<Record> records = DocumentedRecords("8664");
  ASSERT_EQ(list.properties.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const refhost::Property& property = list.properties[i];
    SCOPED_TRACE(records[i].key);
    EXPECT_EQ(property.vendor, "8BIM");
    EXPECT_EQ(property.key, records[i].key);
    EXPECT_EQ(property.offset, records[i].offset);
    EXPECT_EQ(std::string(property.data.begin(), property.data.end()), records[i].data);
    EXPECT_EQ(property.padding, records[i].key == "eINF" ? 2u : 0u);
  }
  EXPECT_EQ(list.kind, "eFKT");
  EXPECT_EQ(list.name, "Thimbleroute");
  EXPECT_EQ(list.category, "Nemblo");
  EXPECT_EQ(list.match_name, "Thimbleroute by Durvasket");
  EXPECT_EQ(list.entry_point, "EntryPointFunc");
  EXPECT_EQ(list.version, 525825u);
  EXPECT_EQ(list.out_flags, 0x06000040);
  EXPECT_EQ(list.out_flags2, 0x00001400);
}

TEST(PropertyListReader, FindsTheEntryFunctionOnlyUnderItsOwnArchitecture) {
  // This host is 64-bit: the 32-bit list names no entry function it could call.
  ASSERT_EQ(refhost::EntryPointKey(), sizeof(void*) == 8 ? "8664" : "wx86");
  const Bytes other = AsBytes(sizeof(void*) == 8 ? PROPERTY_LIST_X86 : PROPERTY_LIST_X64);
  EXPECT_EQ(refhost::ParsePropertyList(other).entry_point, "");
}

TEST(PropertyListReader, RejectsMalformedListsSayingWhere) {
  const Bytes good = AsBytes(PROPERTY_LIST_X64);
  Bytes short_header(good.begin(), good.begin() + 9);
  Bytes cut(good.begin(), good.end() - 1);
  Bytes trailing = good;
  trailing.insert(trailing.end(), 4, 0);
  struct Case {
    const char* name;
    Bytes list;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"header cut short", short_header, "9 bytes, fewer than its 10-byte header"},
      {"reserved word", Patched(good, 0, {2, 0}), "reserved word is 2, not 1"},
      {"list version", Patched(good, 2, {1}), "version 1, not 0"},
      {"count beyond the records", Patched(good, 6, {13}), "inside the header of property 13 of 13"},
      {"huge count", Patched(good, 6, {0xFF, 0xFF, 0xFF, 0xFF}), "of property 13 of 4294967295"},
      {"count short of the records", Patched(good, 6, {11}), "20 bytes after the last of 11"},
      {"last record cut", cut, "\"aeFL\" at offset 282) claims 4 bytes"},
      {"length past the end", Patched(good, 282 + 12, {0xFF, 0xFF, 0xFF, 0xFF}), "claims 4294967295"},
      {"bytes after the list", trailing, "4 bytes after the last of 12 properties, at offset 302"},
      {"non-zero padding", Patched(good, 196, {0, 1}), "padding byte at offset 197 is not 0"},
      {"key twice", Patched(good, 66, {'e', 'm', 'a', 'n'}), "\"name\" at offset 62: the key appears twice"},
      {"name past its data", Patched(good, 46, {16}), "\"name\" at offset 30: the string runs past"},
      {"entry name unterminated", Patched(good, 116, {'x', 'x'}), "no terminating zero"},
      // "eINF" (2 bytes of data) relabelled "eVER", the real one relabelled "eVEx".
      {"version not 32-bit", Patched(Patched(good, 162, {'x'}), 182, {'R', 'E', 'V', 'e'}),
       "\"eVER\" at offset 178: 2 bytes of data, a 32-bit value needs 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      refhost::ParsePropertyList(c.list);
      ADD_FAILURE() << "accepted";
    } catch (const refhost::PropertyListError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

using PropertyListModuleTest = ModuleHostTest;

TEST_F(PropertyListModuleTest, HostReadsTheListTheModuleCarries) {
  // On Windows from the module's resource, elsewhere from the file beside it.
  const refhost::PropertyList& list = module_.Properties();
  const std::vector<Record> records = DocumentedRecords(std::string(refhost::EntryPointKey()));
  ASSERT_EQ(list.properties.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(records[i].key);
    EXPECT_EQ(list.properties[i].vendor, "8BIM");
    EXPECT_EQ(list.properties[i].key, records[i].key);
    EXPECT_EQ(list.properties[i].id, 0);
    EXPECT_EQ(list.properties[i].offset, records[i].offset);
    EXPECT_EQ(std::string(list.properties[i].data.begin(), list.properties[i].data.end()),
              records[i].data);
  }
  EXPECT_EQ(list.name, "Thimbleroute");
  EXPECT_EQ(list.category, "Nemblo");
  EXPECT_EQ(list.match_name, "Thimbleroute by Durvasket");
  EXPECT_EQ(list.entry_point, "EntryPointFunc");
  EXPECT_EQ(list.version, 525825u);
  // The list and the code agree: global setup leaves no warning.
  ASSERT_EQ(host_.GlobalSetup(), PF_Err_NONE);
  ExpectClean();
}

TEST_F(PropertyListModuleTest, DisagreementWithGlobalSetupIsAWarningNotAViolation) {
  const Bytes list = AsBytes(sizeof(void*) == 8 ? PROPERTY_LIST_X64 : PROPERTY_LIST_X86);
  struct Case {
    const char* key;
    Bytes value;
    const char* warning;
  };
  const std::vector<Case> cases = {
      {"eVER", {0x02, 0x06, 0x08, 0x00},
       "\"eVER\" 525826 in the property list differs from my_version 525825"},
      {"eGLO", {0x40, 0x00, 0x00, 0x02},
       "\"eGLO\" 0x02000040 in the property list differs from out_flags 0x06000040"},
      {"eGL2", {0x00, 0x04, 0x00, 0x00},
       "\"eGL2\" 0x00000400 in the property list differs from out_flags2 0x00001400"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    refhost::Host host(module_.Entry());
    host.SetPropertyList(refhost::ParsePropertyList(Patched(list, DataOffset(list, c.key), c.value)));
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.Warnings(), std::vector<std::string>{std::string(c.warning) + " reported by global setup"});
    EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
  }
}

TEST_F(PropertyListModuleTest, FailedGlobalSetupIsNotComparedWithTheList) {
  // A global setup that fails is reported as such; what it left in out_data is not
  // the effect's word on its version or flags.
  const Bytes list = AsBytes(sizeof(void*) == 8 ? PROPERTY_LIST_X64 : PROPERTY_LIST_X86);
  host_.SetPropertyList(refhost::ParsePropertyList(Patched(list, DataOffset(list, "eVER"), {2})));
  host_.faults.MakeSuiteUnavailable(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7);
  EXPECT_EQ(host_.GlobalSetup(), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(host_.Warnings().empty()) << ::testing::PrintToString(host_.Warnings());
}

#if !defined(_WIN32)
TEST(PropertyListFile, BuildWritesTheDocumentedBytesBesideTheModule) {
  std::filesystem::path file = THIMBLEROUTE_MODULE_PATH;
  file.replace_extension(".pipl");
  std::ifstream in(file, std::ios::binary);
  const Bytes written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, DocumentedList("8664"));
}

// Elsewhere than Windows the list is the file beside the module; a copy of the
// module in a folder of its own gets whatever list the test writes beside it.
class ModuleBesideListTest : public ::testing::Test {
 protected:
  ModuleBesideListTest() {
    dir_ = std::filesystem::temp_directory_path() /
           ("thimbleroute-list-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::copy_file(THIMBLEROUTE_MODULE_PATH, Module());
  }
  ~ModuleBesideListTest() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path Module() const { return dir_ / "Thimbleroute.aex"; }
  void WriteList(const Bytes& list) const {
    std::ofstream out(dir_ / "Thimbleroute.pipl", std::ios::binary);
    out.write(reinterpret_cast<const char*>(list.data()), static_cast<std::streamsize>(list.size()));
  }
  std::string LoadError() const {
    try {
      refhost::Module module(Module());
    } catch (const refhost::ModuleError& e) {
      return e.what();
    }
    return "loaded";
  }

  std::filesystem::path dir_;
};

TEST_F(ModuleBesideListTest, LoaderNeedsAListNamingAnEffectAndItsEntryFunction) {
  EXPECT_NE(LoadError().find("property list: none beside the module"), std::string::npos);

  const Bytes list = AsBytes(PROPERTY_LIST_X64);
  WriteList(list);
  EXPECT_EQ(LoadError(), "loaded");

  WriteList(Patched(list, DataOffset(list, "kind"), {'T', 'K', 'F', 'x'}));
  EXPECT_NE(LoadError().find("kind \"xFKT\", not an effect"), std::string::npos) << LoadError();

  WriteList(AsBytes(PROPERTY_LIST_X86));
  EXPECT_NE(LoadError().find("no entry function under \"8664\""), std::string::npos) << LoadError();

  // The loader looks up whatever name the list gives.
  WriteList(Patched(list, DataOffset(list, "8664") + 13, {'x'}));
  EXPECT_NE(LoadError().find("does not export EntryPointFunx"), std::string::npos) << LoadError();

  WriteList(Bytes(list.begin(), list.begin() + 100));
  EXPECT_NE(LoadError().find("ends at offset 100 inside the header of property 4"),
            std::string::npos)
      << LoadError();
}
#endif

}  // namespace
