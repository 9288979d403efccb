#include "host.h"

namespace refhost {

// Placeholder until these services land.
void InstallImageServices(Host&) {}

}  // namespace refhost
