// The basic suite: hands out suites by name and version and counts them out and
// back in, so an unbalanced release is caught.
#include <charconv>
#include <string>
#include <string_view>

#include "serve.h"

namespace refhost {

namespace {

// The ledger's kind for a suite, written into one buffer that is kept, since
// suites are taken and given back several times in every command.
std::string_view SuiteKind(const char* name, A_long version) {
  thread_local std::string kind;
  char digits[16];
  const auto written = std::to_chars(digits, digits + sizeof(digits), version);
  kind.assign("suite ").append(name != nullptr ? name : "(null)").append(" ").append(digits, written.ptr);
  return kind;
}

SPErr AcquireSuite(const char* name, A_long version, const void** suite) {
  const std::string_view requested = name != nullptr ? name : "";
  return ServeCall(
      "AcquireSuite", [&] { return nlohmann::json{{"name", requested}, {"version", version}}; },
      [&](Host& host) -> PF_Err {
        if (name == nullptr || suite == nullptr) {
          host.ledger.Violation("AcquireSuite with a null name or place");
          return kSPSuiteNotFoundError;
        }
        const void* table = host.FindSuite(requested, version);
        const auto quirk = host.faults.QuirkFor(requested, version);
        if (table == nullptr || quirk == AcquireQuirk::UNAVAILABLE) {
          *suite = nullptr;
          return kSPSuiteNotFoundError;
        }
        if (quirk == AcquireQuirk::NULL_WITHOUT_ERROR) {
          *suite = nullptr;
          return kSPNoError;
        }
        *suite = table;
        host.ledger.Take(SuiteKind(name, version));
        return quirk == AcquireQuirk::ERROR_WITH_POINTER ? kSPSuiteNotFoundError : kSPNoError;
      });
}

SPErr ReleaseSuite(const char* name, A_long version) {
  const std::string_view requested = name != nullptr ? name : "";
  return ServeGiveBackCall(
      "ReleaseSuite", [&] { return nlohmann::json{{"name", requested}, {"version", version}}; },
      [&](Host& host) -> PF_Err {
        const std::string_view kind = SuiteKind(name, version);
        if (!host.ledger.TryGive(kind)) {
          host.ledger.Violation("ReleaseSuite of " + std::string(kind) + " that is not acquired");
          return kSPSuiteNotFoundError;
        }
        return kSPNoError;
      });
}

}  // namespace

void InstallBasicSuite(Host& host) {
  host.BasicSuite().AcquireSuite = AcquireSuite;
  host.BasicSuite().ReleaseSuite = ReleaseSuite;
}

}  // namespace refhost
