#include "sys/text_list.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(SplitList, NonEmptyPartsInOrder) {
  EXPECT_EQ(SplitList("c:\\a;;c:\\b;", ';'), (std::vector<std::string>{"c:\\a", "c:\\b"}));
  EXPECT_EQ(SplitList(";x", ';'), (std::vector<std::string>{"x"}));
  EXPECT_EQ(SplitList(",Tcpip,,Afd,", ','), (std::vector<std::string>{"Tcpip", "Afd"}));
  EXPECT_EQ(SplitList(" a ; b", ';'), (std::vector<std::string>{" a ", " b"}));  // no trimming
  EXPECT_TRUE(SplitList("", ';').empty());
  EXPECT_TRUE(SplitList(";;;", ';').empty());
}

}  // namespace
}  // namespace vexlo
