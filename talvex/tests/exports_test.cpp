// The library's dynamic symbol table: exactly the control functions that
// Talvex.h declares, and nothing else.
#include <gtest/gtest.h>

#include "morvane/tests/exported_symbols.h"

TEST(TalvexExports, ExactlyTheControlFunctions) {
  const std::set<std::string> declared = declaredFunctions(TALVEX_HEADER, "TALVEX_API", "Talvex");
  ASSERT_EQ(declared.size(), 112u);
  EXPECT_EQ(exportedSymbols(TALVEX_LIBRARY), asFunctions(declared));
}
