// The basic suite: the host hands out every other suite by name and version.
#pragma once

#include "pf_types.h"

typedef A_long SPErr;
enum : SPErr {
  kSPNoError = 0,
  kSPSuiteNotFoundError = 0x53214e46,  // 'S!NF'
};

struct SPBasicSuite {
  // Fills *suite with the named suite's function table. A suite acquired must be
  // released again under the same name and version.
  SPErr (*AcquireSuite)(const char* name, A_long version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, A_long version);
};
