// Test fixture: the built module loaded from its file into a fresh reference host.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "refhost/host.h"
#include "refhost/module.h"

class ModuleHostTest : public ::testing::Test {
 protected:
  ModuleHostTest() : module_(THIMBLEROUTE_MODULE_PATH), host_(module_.Entry()) {
    host_.SetPropertyList(module_.Properties());
  }

  // Nothing misused, nothing left behind beyond what the host keeps by contract,
  // and the property list agrees with what the module reports.
  void ExpectClean() {
    EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
    EXPECT_TRUE(host_.Warnings().empty()) << ::testing::PrintToString(host_.Warnings());
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }

  refhost::Module module_;
  refhost::Host host_;
};
