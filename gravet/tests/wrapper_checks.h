// Checks shared by the wrapper and enumerator tests: several answers of a
// wrapper compared at once, and every filter an enumerator yields.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gravet/rsFilterEnumerator.h"

// Integer answers, in order, against what they should be.
inline void expectAnswers(const char* what, const std::vector<long long>& got, const std::vector<long long>& want) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << what << " answer " << i;
}
inline void expectFloats(const char* what, const std::vector<float>& got, const std::vector<float>& want) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << what << " answer " << i;
}

// Every name the enumerator yields until its first false; each filter is
// valid, and the end of the list empties the pointer.
inline std::vector<std::string> listAll(rsFilterEnumerator& e) {
  std::vector<std::string> names;
  mxObjectPtr<rsFilter> f;
  while (e.nextFilter(f)) {
    EXPECT_FALSE(f.isNull());
    if (f.isNull()) break;
    EXPECT_TRUE(f->isValid());
    names.push_back(f->getName().isEmpty() ? "" : f->getName().c_str());
  }
  EXPECT_TRUE(f.isNull());
  return names;
}
