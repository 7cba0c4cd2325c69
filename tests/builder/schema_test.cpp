// The key list against the launcher's records and the documentation.
#include "schema.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "builder_test_support.h"
#include "core/record_ids.h"

namespace vexlo {
namespace builder {
namespace {

TEST(Schema, EveryRecordTheLauncherReadsHasAKey) {
  for (int32_t id : record::kLauncherRecordIds) {
    const bool named = std::any_of(AllKeys().begin(), AllKeys().end(), [id](const ConfigKey& key) {
      return std::find(key.records.begin(), key.records.end(), id) != key.records.end();
    });
    EXPECT_TRUE(named) << "record " << id << " has no configuration key";
  }
}

// The launcher's own settings stay in their range, which no record of other
// tools uses, and each default is a value its own rule accepts.
TEST(Schema, SettingKeysAreTheLaunchersOwnRecords) {
  for (const SettingKey& key : SettingKeys()) {
    EXPECT_TRUE(record::IsOwnRecord(key.id)) << key.id;
    ASSERT_NE(KeyWriting(key.id), nullptr) << key.id;
    EXPECT_EQ(KeyPath(*KeyWriting(key.id)), std::string(key.table) + "." + key.name);
    if (key.default_text != nullptr) EXPECT_EQ(key.problem(key.default_text), "") << key.id;
  }
  // Only named keys write the range: no [raw] table.
  for (int32_t id : record::kLauncherRecordIds) {
    if (!record::IsOwnRecord(id)) continue;
    const ConfigKey* key = KeyWriting(id);
    EXPECT_TRUE(key != nullptr && std::string(key->table).rfind("raw", 0) != 0) << "record " << id;
  }
}

TEST(Schema, DocumentationDescribesEveryKey) {
  const std::string docs =
      testing_support::ReadBytes(testing_support::SourceDir() / "docs" / "configuration.md");
  ASSERT_FALSE(docs.empty());
  for (const auto& key : AllKeys()) {
    EXPECT_NE(docs.find("`" + KeyPath(key) + "`"), std::string::npos)
        << KeyPath(key) << " is missing from docs/configuration.md";
  }
  for (const auto& message : Messages()) {
    EXPECT_NE(docs.find(std::string("| ") + std::to_string(message.id) + " |"), std::string::npos) << message.id;
  }
}

TEST(Schema, MessagesCoverTheCatalogueOnce) {
  ASSERT_EQ(Messages().size(), 21u);
  for (size_t i = 0; i < Messages().size(); ++i) {
    EXPECT_EQ(Messages()[i].id, record::kFirstMessage + static_cast<int32_t>(i));
    EXPECT_EQ(FindMessage(Messages()[i].name), &Messages()[i]);
  }
  EXPECT_EQ(FindMessage("no-such-message"), nullptr);
}

TEST(Schema, NearestNameSuggestsOnlyLikelyTypos) {
  const std::vector<std::string> names = {"main-class", "class-path", "arguments", "runtime"};
  EXPECT_EQ(NearestName("main_class", names), "main-class");
  EXPECT_EQ(NearestName("MainClass", names), "main-class");
  EXPECT_EQ(NearestName("classpath", names), "class-path");
  EXPECT_EQ(NearestName("runtim", names), "runtime");
  EXPECT_EQ(NearestName("colour", names), "");
  EXPECT_EQ(NearestName("x", {}), "");
}

}  // namespace
}  // namespace builder
}  // namespace vexlo
