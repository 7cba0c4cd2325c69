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

// Rights granted on the executable's folder or above it would reach the
// executable; folders below it, and beside it, take them.
TEST(MayGrantFolder, NeverTheExecutablesFolderOrAbove) {
  const std::string executable_directory = "C:\\Apps\\My Svc\\";
  for (const char* folder : {"C:\\Apps\\My Svc", "c:\\apps\\my svc\\", "C:\\Apps", "C:\\APPS\\", "C:\\", "C:"}) {
    EXPECT_FALSE(MayGrantFolder(folder, executable_directory)) << folder;
  }
  for (const char* folder : {"C:\\Apps\\My Svc\\logs", "C:\\Apps\\My Svc2", "C:\\Apps\\My Sv", "C:\\Apps\\Other",
                             "D:\\Apps\\My Svc", "C:\\Apps\\My Svc\\logs\\app"}) {
    EXPECT_TRUE(MayGrantFolder(folder, executable_directory)) << folder;
  }
  EXPECT_FALSE(MayGrantFolder("C:\\Apps\\My Svc", "C:\\Apps\\My Svc"));  // without the trailing backslash
}

TEST(UnsupportedSetting, TheAnswersOfAManagerThatDoesNotKnowIt) {
  for (uint32_t error : {0u, 50u, 120u, 124u}) EXPECT_TRUE(UnsupportedSetting(error)) << error;
  for (uint32_t error : {5u, 87u, 1057u, 1072u}) EXPECT_FALSE(UnsupportedSetting(error)) << error;
}

}  // namespace
}  // namespace vexlo
