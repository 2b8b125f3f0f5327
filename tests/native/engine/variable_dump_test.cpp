#include "setup/engine/variable_dump.h"

#include <gtest/gtest.h>

namespace zev {
namespace {

TEST(VariableDump, SortedIgnoringCaseOneLinePerVariable) {
  TVariableManager store;
  store.Set("zeta", "last");
  store.Set("Alpha", "line one\r\nline two");
  store.Set("beta", "C:\\Program Files\\");
  store.Set("ALPHA", "replaced\tvalue");  // keeps the first spelling
  store.Set("empty", "");
  store.Set("Bell", std::string("ring\x07", 5));
  EXPECT_EQ(DumpVariables(store),
            "Alpha=replaced\\tvalue\n"
            "Bell=ring\\x07\n"
            "beta=C:\\\\Program Files\\\\\n"
            "empty=\n"
            "zeta=last\n");
}

TEST(VariableDump, SameStoreSameTextWhateverTheOrderOfCreation) {
  TVariableManager first, second;
  first.Set("A", "1");
  first.Set("B", "2");
  second.Set("B", "2");
  second.Set("A", "1");
  EXPECT_EQ(DumpVariables(first), DumpVariables(second));
  EXPECT_EQ(DumpVariables(TVariableManager()), "");
}

}  // namespace
}  // namespace zev
