// The tests' main: the program's modules are registered as `folirex serve` registers them, then
// the tests run.
#include <gtest/gtest.h>

#include "app/feature_modules.h"

int main(int argc, char** argv) {
  folirex::RegisterFeatureModules(folirex::Modules());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
