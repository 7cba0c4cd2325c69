#include "coord/instance_name.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

TEST(InstanceNameBase, NamespaceAndUnderscores) {
  EXPECT_EQ(InstanceNameBase(false, "c:\\apps\\my svc\\svc.exe", 0), "Local\\c:_apps_my_svc_svc.exe");
  EXPECT_EQ(InstanceNameBase(true, "c:\\apps\\my svc\\svc.exe", 6), "Global\\c:_apps_my_svc_svc.exe");
  EXPECT_EQ(InstanceNameBase(false, "\\\\server\\share\\a  b.exe", 6), "Local\\__server_share_a__b.exe");
}

// A path whose name, with the room kept for a number, just fits stays whole;
// one character more and the middle gives way to a digest, and the name has
// exactly the longest length the system takes.
TEST(InstanceNameBase, ShortenedOnlyBeyondTheLimit) {
  for (const bool global : {false, true}) {
    for (const size_t reserved : {size_t{0}, kInstanceNumberDigits}) {
      const size_t prefix = global ? 7 : 6;
      const size_t fits = kMaxObjectNameLength - reserved - prefix;
      const std::string whole = "c:\\" + std::string(fits - 11, 'd') + "\\svc.exe";
      ASSERT_EQ(whole.size(), fits);
      const std::string kept = InstanceNameBase(global, whole, reserved);
      EXPECT_EQ(kept.size(), kMaxObjectNameLength - reserved);
      EXPECT_EQ(kept.find('~'), std::string::npos);

      const std::string longer = "c:\\" + std::string(fits - 10, 'd') + "\\svc.exe";
      const std::string shortened = InstanceNameBase(global, longer, reserved);
      EXPECT_EQ(shortened.size(), kMaxObjectNameLength - reserved) << shortened;
      EXPECT_EQ(shortened.rfind(global ? "Global\\c:_ddd" : "Local\\c:_ddd", 0), 0u) << shortened;
      EXPECT_EQ(shortened.substr(shortened.size() - 9), "d_svc.exe");
      const size_t open = shortened.find('~');
      ASSERT_NE(open, std::string::npos);
      EXPECT_EQ(shortened[open + 17], '~') << shortened;
      EXPECT_EQ(shortened.substr(open + 1, 16).find_first_not_of("0123456789abcdef"), std::string::npos);
    }
  }
}

TEST(InstanceNameBase, ShortNamesAreDeterministicAndDistinct) {
  const std::string head = "c:\\" + std::string(200, 'a') + "\\";
  const std::string tail = "\\" + std::string(100, 'z') + "\\svc.exe";
  const std::string one = head + "one" + tail, two = head + "two" + tail;
  EXPECT_EQ(InstanceNameBase(false, one, 6), InstanceNameBase(false, one, 6));
  EXPECT_NE(InstanceNameBase(false, one, 6), InstanceNameBase(false, two, 6));
  // Only the namespace differs between the two spellings.
  EXPECT_EQ(InstanceNameBase(false, one, 6).substr(6, 20), InstanceNameBase(true, one, 7).substr(7, 20));
  // Very long paths shorten to the same length.
  EXPECT_EQ(InstanceNameBase(false, std::string(40000, 'x'), 6).size(), kMaxObjectNameLength - 6);
}

TEST(JudgeInstanceSemaphore, AccessDeniedIsAnotherInstanceUnlessTheNameIsNotThere) {
  EXPECT_EQ(JudgeInstanceSemaphore(0, 0), InstanceSemaphore::kOurs);
  EXPECT_EQ(JudgeInstanceSemaphore(kErrorAlreadyExists, 0), InstanceSemaphore::kOtherInstance);
  // Another session's semaphore: opened with fewer rights, or not at all.
  EXPECT_EQ(JudgeInstanceSemaphore(kErrorAccessDenied, 0), InstanceSemaphore::kOtherInstance);
  EXPECT_EQ(JudgeInstanceSemaphore(kErrorAccessDenied, kErrorAccessDenied), InstanceSemaphore::kOtherInstance);
  // A refused namespace: no such name to open.
  EXPECT_EQ(JudgeInstanceSemaphore(kErrorAccessDenied, kErrorFileNotFound), InstanceSemaphore::kUnavailable);
}

}  // namespace
}  // namespace vexlo
