#include "host.h"

namespace refhost {

// Placeholder until these services land.
void InstallStreamServices(Host&) {}

}  // namespace refhost
