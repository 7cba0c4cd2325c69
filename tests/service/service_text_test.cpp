#include "service/service_text.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(DependencyList, SkipsEmptyPiecesAndKeepsTheRestAsItIs) {
  EXPECT_EQ(DependencyList(",Tcpip,,Afd,"), std::string("Tcpip\0Afd\0\0", 11));
  EXPECT_EQ(DependencyList("Tcpip"), std::string("Tcpip\0\0", 7));
  EXPECT_EQ(DependencyList(" Tcpip , Afd"), std::string(" Tcpip \0 Afd\0\0", 14));  // no trimming
  EXPECT_EQ(DependencyList(""), "");
  EXPECT_EQ(DependencyList(",,,"), "");
}

TEST(RegisteredBinaryPath, QuotesPathsWithSpaces) {
  EXPECT_EQ(RegisteredBinaryPath("C:\\apps\\svc.exe"), "C:\\apps\\svc.exe");
  EXPECT_EQ(RegisteredBinaryPath("C:\\Program Files\\x\\svc.exe"), "\"C:\\Program Files\\x\\svc.exe\"");
}

}  // namespace
}  // namespace vexlo
