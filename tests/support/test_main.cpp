// The tests' main: the program's modules are registered as `folirex serve` registers them, the
// statement checks installed (support/statement_checks.h), then the tests run.
#include <gtest/gtest.h>

#include "app/feature_modules.h"
#include "support/statement_checks.h"

int main(int argc, char** argv) {
  folirex::RegisterFeatureModules(folirex::Modules());
  folirex::testing::StatementChecks::Install();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
