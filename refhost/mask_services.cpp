#include "host.h"

namespace refhost {

// Placeholder until these services land.
void InstallMaskServices(Host&) {}

}  // namespace refhost
