// The C library routines the host lends the module, as utility callbacks and as
// "PF ANSI Suite" 1. Text is written only into buffers the host knows the size of.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "serve.h"

namespace refhost {

namespace {

PF_FpLong Atan2(PF_FpLong y, PF_FpLong x) {
  return ServeValueCall<PF_FpLong>(
      "atan2", 0.0, [&] { return nlohmann::json{{"y", y}, {"x", x}}; },
      [&](Host&) { return std::atan2(y, x); }, [](Host&, PF_FpLong r) { return nlohmann::json(r); });
}

PF_FpLong Fmod(PF_FpLong x, PF_FpLong y) {
  return ServeValueCall<PF_FpLong>(
      "fmod", 0.0, [&] { return nlohmann::json{{"x", x}, {"y", y}}; },
      [&](Host&) { return std::fmod(x, y); }, [](Host&, PF_FpLong r) { return nlohmann::json(r); });
}

// The only buffer the module may format into is out_data's return_msg.
A_long Sprintf(A_char* buffer, const A_char* format, ...) {
  std::string written;
  va_list args;
  va_start(args, format);
  const A_long count = ServeValueCall<A_long>(
      "sprintf", -1, [&] { return nlohmann::json{{"format", format ? format : ""}, {"text", written}}; },
      [&](Host& host) -> A_long {
        PF_OutData& out = host.OutData();
        if (buffer != out.return_msg || format == nullptr) {
          host.ledger.Violation("sprintf into a buffer other than return_msg");
          return -1;
        }
        const int needed = std::vsnprintf(buffer, sizeof(out.return_msg), format, args);
        if (needed >= static_cast<int>(sizeof(out.return_msg))) {
          host.ledger.Violation("sprintf of " + std::to_string(needed) +
                                " characters into the 256-byte return_msg");
        }
        written = buffer;
        return needed;
      },
      [](Host&, A_long r) { return nlohmann::json(r); });
  va_end(args);
  return count;
}

A_char* Strcpy(A_char* dest, const A_char* src) {
  return ServeValueCall<A_char*>(
      "strcpy", nullptr, [&] { return nlohmann::json{{"src", src ? src : ""}}; },
      [&](Host& host) -> A_char* {
        if (dest == nullptr || src == nullptr) {
          host.ledger.Violation("strcpy with a null pointer");
          return nullptr;
        }
        PF_OutData& out = host.OutData();
        if (dest == out.return_msg && std::strlen(src) >= sizeof(out.return_msg)) {
          host.ledger.Violation("strcpy past the end of return_msg");
          return nullptr;
        }
        return std::strcpy(dest, src);
      },
      [](Host&, A_char* r) { return r != nullptr ? nlohmann::json("dest") : nullptr; });
}

const PF_ANSICallbacksSuite1 ANSI_SUITE = {Atan2, Fmod, Sprintf, Strcpy};

}  // namespace

void InstallAnsiServices(Host& host) {
  host.Utils().ansi = PF_ANSICallbacks{Atan2, Fmod, Sprintf, Strcpy};
  host.ServeSuite(kPFANSISuite, kPFANSISuiteVersion1, &ANSI_SUITE);
}

}  // namespace refhost
