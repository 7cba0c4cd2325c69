#include "sys/code_pages.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(CodePageRejectsDefaultChar, TheNoFlagCodePagesAndTheirNeighbours) {
  const unsigned rejecting[] = {42,    50220, 50221, 50222, 50225, 50227, 50229,
                                54936, 57002, 57006, 57011, 65000, 65001};
  for (unsigned code_page : rejecting) EXPECT_TRUE(CodePageRejectsDefaultChar(code_page)) << code_page;
  const unsigned accepting[] = {0,     1,     2,     3,     41,    43,    437,   932,   936,  1252,
                                50219, 50223, 50224, 50226, 50228, 50230, 54935, 54937, 57001,
                                57012, 64999, 65002};
  for (unsigned code_page : accepting) EXPECT_FALSE(CodePageRejectsDefaultChar(code_page)) << code_page;
}

}  // namespace
}  // namespace vexlo
