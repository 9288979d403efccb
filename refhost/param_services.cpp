#include "host.h"

namespace refhost {

void ParamStreams::ValuesAt(A_long, A_long, A_u_long, std::vector<PF_ParamDef>& values) const {
  values.assign(1, PF_ParamDef{});
}

// Placeholder until the parameter services land.
void InstallParamServices(Host&) {}

}  // namespace refhost
