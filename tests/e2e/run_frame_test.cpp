#include <gtest/gtest.h>

#include "support/process_runner.h"

namespace quelvar {
namespace {

using testing::ProcessSetup;
using testing::run_quelvar;

TEST(RunFrame, MissingControlFileIsCreatedEmptyAndStopsWithEndOfFile) {
  auto result = run_quelvar(ProcessSetup{});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, "");
  EXPECT_EQ(result.error.rfind("\r\nrun-time error F6501: READ(Quelvar.inp)\r\n- ", 0), 0u) << result.error;
  ASSERT_EQ(result.files.count("Quelvar.inp"), 1u);
  EXPECT_EQ(result.files["Quelvar.inp"], "");
}

}  // namespace
}  // namespace quelvar
