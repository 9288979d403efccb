#include "path_locator.h"

// Placeholder until the locator lands.
void PathLocator::Open(SuiteCache&, PF_InData*, PF_OutData*, PF_PathID, PF_Err&) {}
void PathLocator::Locate(double, LocatedPoint&, PF_Err&) {}
void PathLocator::Close(PF_Err&) {}
