#include "sys/name_digest.h"

#include <gtest/gtest.h>

namespace vexlo {
namespace {

// Names built from the digest must come out the same in every process and
// build: the published FNV-1a 64-bit values, all 16 digits kept.
TEST(NameDigest, PublishedFnv1aValues) {
  EXPECT_EQ(NameDigest(""), "cbf29ce484222325");
  EXPECT_EQ(NameDigest("a"), "af63dc4c8601ec8c");
  EXPECT_EQ(NameDigest("foobar"), "85944171f73967e8");
}

}  // namespace
}  // namespace vexlo
