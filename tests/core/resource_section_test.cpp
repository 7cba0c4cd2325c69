// The resource section writer: where the section goes in the image, what
// the headers say afterwards, the resource formats and the damaged inputs
// each reader refuses.
#include "core/resource_section.h"

#include <gtest/gtest.h>

#include "core/block_format.h"
#include "core/byte_order.h"
#include "core/pe_image.h"
#include "support/log_recorder.h"
#include "support/memory_source.h"
#include "support/pe_test_image.h"
#include "support/test_icons.h"

namespace vexlo {
namespace {

using testing_support::TestBitmap;
using testing_support::TestIconFile;
using testing_support::TestImage;
using testing_support::TestPng;

ExeResources SomeResources() {
  ExeResources resources;
  resources.has_version = true;
  resources.version.version[0] = 2;
  resources.version.version[3] = 7;
  resources.version.strings = {{VEXLO_WIDE("CompanyName"), VEXLO_WIDE("Example Ltd")}, {VEXLO_WIDE("FileVersion"), VEXLO_WIDE("2.0.0.7")}};
  std::string error;
  EXPECT_TRUE(ParseIconFile(TestIconFile({{16, TestBitmap(16, 1)}, {0, TestPng()}}), &resources.icon, &error));
  resources.has_manifest = true;
  resources.manifest = DefaultManifest();
  return resources;
}

BlockContents SomeBlock() {
  BlockContents contents;
  contents.texts = {{101, "Resource Test"}};
  return contents;
}

uint32_t Directory(const std::string& image, const PeImage& pe, uint32_t index, uint32_t* size) {
  uint32_t address = 0;
  PeDirectory(image, pe, index, &address, size);
  return address;
}

TEST(ResourceSection, FollowsTheLastSectionAndTheBlockFollowsIt) {
  std::string stub = TestImage({{".text", 0x400}, {".reloc", 0x200}});
  // A symbol table and a signature behind the sections, which the cut drops.
  StoreLe(stub, testing_support::kTestSignatureOffset + 12, 0x5000, 4);
  StoreLe(stub, testing_support::kTestOptionalHeader + 112 + 32, 0x600, 4);
  std::string launcher, error;
  ASSERT_TRUE(BuildLauncherWithResources(stub, SomeResources(), SomeBlock(), {}, &launcher, &error)) << error;
  PeImage pe;
  ASSERT_TRUE(ReadPeImage(launcher, &pe, &error)) << error;
  ASSERT_EQ(pe.sections.size(), 3u);
  const PeSection& rsrc = pe.sections[2];
  EXPECT_EQ(rsrc.name, ".rsrc");
  EXPECT_EQ(rsrc.raw_offset, 0xA00u);       // behind .reloc's raw data
  EXPECT_EQ(rsrc.virtual_address, 0x3000u);  // behind .reloc in memory
  EXPECT_EQ(rsrc.raw_size, AlignUp(rsrc.virtual_size, 0x200));
  uint32_t size = 0;
  EXPECT_EQ(Directory(launcher, pe, kResourceDirectory, &size), 0x3000u);
  EXPECT_EQ(size, rsrc.virtual_size);
  EXPECT_EQ(Le32(launcher, pe.optional_offset + 56), 0x3000u + AlignUp(rsrc.virtual_size, 0x1000));
  EXPECT_EQ(launcher.substr(0x400, 0x600), stub.substr(0x400)) << "the stub's sections changed";
  EXPECT_EQ(Le32(launcher, PeChecksumOffset(pe)), PeChecksum(launcher, PeChecksumOffset(pe)));
  EXPECT_EQ(Directory(launcher, pe, kCertificateDirectory, &size), 0u);
  EXPECT_EQ(Le32(launcher, testing_support::kTestSignatureOffset + 12), 0u);

  // The launcher's own reader finds the block behind the new section.
  testing_support::MemoryFile file{launcher};
  BlockStream stream{file.Source(), &testing_support::RecordLine};
  uint64_t start = 0, end = 0;
  ConfigTables tables;
  ASSERT_TRUE(FindBlockStart(stream, &start));
  EXPECT_EQ(start, uint64_t{rsrc.raw_offset} + rsrc.raw_size);
  ASSERT_TRUE(ReadBlock(stream, "en", &tables, &end));
  EXPECT_EQ(*tables.texts.Find(101), "Resource Test");

  ExeResources read;
  std::string section;
  uint32_t address = 0;
  ASSERT_TRUE(ReadExeResources(launcher, &read, &section, &address, &error)) << error;
  const ExeResources written = SomeResources();
  EXPECT_TRUE(read.version == written.version && read.icon == written.icon && read.manifest == written.manifest);
}

// The stub's own resources go; without resources no section is added.
TEST(ResourceSection, ReplacesTheStubsOwnResources) {
  const std::string stub = TestImage({{".text", 0x200}, {".rsrc", 0x400}});
  for (const bool any : {true, false}) {
    std::string launcher, error;
    ASSERT_TRUE(BuildLauncherWithResources(stub, any ? SomeResources() : ExeResources(), SomeBlock(), {}, &launcher,
                                           &error)) << error;
    PeImage pe;
    uint32_t size = 0;
    ASSERT_TRUE(ReadPeImage(launcher, &pe, &error));
    EXPECT_EQ(pe.sections.size(), any ? 2u : 1u);
    EXPECT_EQ(Directory(launcher, pe, kResourceDirectory, &size), any ? 0x2000u : 0u);
    EXPECT_EQ(pe.sections.back().raw_offset, any ? 0x600u : 0x400u);
    EXPECT_EQ(Le32(launcher, pe.optional_offset + 56), any ? 0x3000u : 0x2000u);
    EXPECT_EQ(launcher.find(std::string(0x20, '\x02')), std::string::npos) << "the old resources are still there";
  }
}

// Found by fuzzing: sections that take no memory must not put the resources
// at address 0, which the directory reads as "none".
TEST(ResourceSection, NeverTakesTheHeadersAddresses) {
  std::string stub = TestImage({{".bss", 0x200}});
  for (uint32_t field : {8u, 12u, 16u, 20u}) StoreLe(stub, testing_support::kTestSectionTable + field, 0, 4);
  ResourcePlacement placement;
  std::string error;
  ASSERT_TRUE(PlanResourceSection(stub, &placement, &error)) << error;
  EXPECT_EQ(placement.virtual_address, 0x1000u);
}

TEST(ResourceSection, StubsItCannotChangeAreRefused) {
  std::string not_pe32 = TestImage({{".text", 0x200}});
  not_pe32[testing_support::kTestOptionalHeader] = 0;
  const struct {
    const char* what;
    std::string stub;
    const char* error;
  } cases[] = {
      {"resources before other sections", TestImage({{".text", 0x200}, {".rsrc", 0x200}, {".reloc", 0x200}}),
       "its resources are not in a last .rsrc section of their own, so they cannot be replaced"},
      {"a full section table", TestImage({{".text", 0x200}, {".data", 0x200}, {".reloc", 0x200}}, 0x200),
       "its headers have no room for another section header (the section table ends at 0x200, the headers at "
       "0x200)"},
      {"no PE32+ header", not_pe32, "no PE32 or PE32+ optional header"},
  };
  for (const auto& c : cases) {
    std::string launcher = "untouched", error;
    EXPECT_FALSE(BuildLauncherWithResources(c.stub, SomeResources(), SomeBlock(), {}, &launcher, &error)) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
    EXPECT_EQ(launcher, "untouched") << c.what;
  }
}

TEST(ResourceSection, ChecksumAddsWordsWithCarryAndTheLength) {
  const struct {
    std::string bytes;
    uint64_t checksum_offset;
    uint32_t expected;
  } cases[] = {
      {std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8), 2, 0x0201 + 0x0807 + 8},  // the field counts as 0
      {std::string("\xFF\xFF\x02\x00", 4), 100, 0x0002 + 4},              // 0x10001 folds to 0x0002
      {std::string("\x01\x02\x03", 3), 100, 0x0201 + 0x0003 + 3},         // an odd last byte is a low byte
      {std::string(140000, '\xFF'), 1u << 30, 0xFFFF + 140000},          // carries folded at every step
  };
  for (const auto& c : cases) EXPECT_EQ(PeChecksum(c.bytes, c.checksum_offset), c.expected) << c.bytes.size();
}

TEST(VersionInfo, RoundTripsWithItsFixedPartWhereWindowsReadsIt) {
  VersionInfo info;
  ASSERT_TRUE(ParseVersionNumber("1.2.3.4", info.version));
  // Odd and even lengths of keys and values exercise the padding.
  info.strings = {{VEXLO_WIDE("A"), VEXLO_WIDE("odd")}, {VEXLO_WIDE("ProductName"), VEXLO_WIDE("even")}, {VEXLO_WIDE("LegalCopyright"), WideString()}};
  std::string data;
  ASSERT_TRUE(SerializeVersionInfo(info, &data));
  EXPECT_EQ(Le16(data, 0), data.size());
  EXPECT_EQ(Le16(data, 2), 52u);
  EXPECT_EQ(Le32(data, 40), 0xFEEF04BDu);  // after the key "VS_VERSION_INFO" and its padding
  EXPECT_EQ(Le32(data, 48), 0x00010002u);  // file version 1.2
  EXPECT_EQ(Le32(data, 52), 0x00030004u);  // .3.4
  EXPECT_NE(data.find(std::string("\x09\x04\xB0\x04", 4)), std::string::npos);  // Translation 0x0409, 1200
  VersionInfo back;
  ASSERT_TRUE(ParseVersionInfo(data, &back));
  EXPECT_TRUE(back == info);
  EXPECT_FALSE(ParseVersionInfo(data.substr(0, data.size() - 1), &back));

  info.strings.assign(20, {VEXLO_WIDE("Comments"), WideString(4000, 'x')});
  EXPECT_FALSE(SerializeVersionInfo(info, &data)) << "more than 64 KB";
}

TEST(VersionInfo, VersionNumbers) {
  const struct {
    const char* text;
    bool ok;
    uint16_t parts[4];
  } cases[] = {
      {"1.2.3.4", true, {1, 2, 3, 4}},   {"7", true, {7, 0, 0, 0}},   {"65535.0.1", true, {65535, 0, 1, 0}},
      {"65536", false, {}},              {"1..2", false, {}},         {"1.2.3.4.5", false, {}},
      {"", false, {}},                   {"1.2.", false, {}},         {"-1", false, {}},
      {"1.a", false, {}},                {" 1", false, {}},           {"000001", false, {}},
  };
  for (const auto& c : cases) {
    uint16_t parts[4] = {9, 9, 9, 9};
    EXPECT_EQ(ParseVersionNumber(c.text, parts), c.ok) << c.text;
    for (int i = 0; c.ok && i < 4; ++i) EXPECT_EQ(parts[i], c.parts[i]) << c.text;
  }
}

TEST(IconFile, KeepsBitmapsAndPngsAsTheyAre) {
  const std::string bitmap = TestBitmap(32, 7), png = TestPng();
  const std::string file = TestIconFile({{32, bitmap}, {0, png}});
  std::vector<IconImage> images;
  std::string error;
  ASSERT_TRUE(ParseIconFile(file, &images, &error)) << error;
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0].width, 32);
  EXPECT_EQ(images[0].bit_count, 32);
  EXPECT_EQ(images[0].data, bitmap);
  EXPECT_EQ(images[1].width, 0);  // 256
  EXPECT_EQ(images[1].data, png);
  EXPECT_EQ(IconFileBytes(images), file);
}

TEST(IconFile, DamagedOrUnsupportedFilesAreRefused) {
  const std::string good = TestIconFile({{16, TestBitmap(16, 1)}});
  std::string empty_image = good;
  StoreLe(empty_image, 6 + 8, 0, 4);
  const struct {
    const char* what;
    std::string file;
    const char* error;
  } cases[] = {
      {"empty", "", "not an icon file"},
      {"cursor", TestIconFile({{16, TestBitmap(16, 1)}}, 2), "a cursor file, not an icon file"},
      {"no image", TestIconFile({}), "the icon file holds no image"},
      {"directory cut", good.substr(0, 20), "the icon file's directory is cut short"},
      {"image cut", good.substr(0, good.size() - 1), "image 1 extends past the end of the file"},
      {"empty image", empty_image, "image 1 extends past the end of the file"},
      {"jpeg", TestIconFile({{16, "\xFF\xD8\xFF\xE0 JFIF data of a photo, not an icon"}}),
       "image 1 is neither a PNG image nor a bitmap"},
      {"short bitmap", TestIconFile({{16, TestBitmap(16, 1).substr(0, 39)}}),
       "image 1 is neither a PNG image nor a bitmap"},
  };
  for (const auto& c : cases) {
    std::vector<IconImage> images;
    std::string error;
    EXPECT_FALSE(ParseIconFile(c.file, &images, &error)) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
}

TEST(ResourceTree, EntriesComeBackInTreeOrderAtTheirAddress) {
  const std::vector<ResourceEntry> entries = {
      {24, 1, 0x409, "manifest"}, {3, 2, 0x409, "second"}, {3, 1, 0x409, "first"}, {3, 1, 0x407, "erste"}};
  const std::string section = SerializeResourceTree(entries, 0x5000);
  std::vector<ResourceEntry> back;
  std::string error;
  ASSERT_TRUE(ReadResourceTree(section, 0x5000, &back, &error)) << error;
  std::string order;
  for (const auto& entry : back) order += std::to_string(entry.type) + "/" + std::to_string(entry.language) + "=" + entry.data + " ";
  EXPECT_EQ(order, "3/1031=erste 3/1033=first 3/1033=second 24/1033=manifest ");
  // The data entries hold addresses: read at another address they point elsewhere.
  EXPECT_FALSE(ReadResourceTree(section, 0x6000, &back, &error));
}

TEST(ResourceTree, DamagedTreesAreRefused) {
  const std::string good = SerializeResourceTree({{3, 1, 0x409, "data"}}, 0x1000);
  std::string outside = good, leaf_too_early = good, loop = good, data_outside = good;
  StoreLe(outside, 20, 0x80000000u | 0x7000, 4);     // the type's directory lies outside
  StoreLe(leaf_too_early, 20, 0x18, 4);              // a type that leads to data
  StoreLe(loop, 20, 0x80000000u, 4);                 // the type's directory is the root
  StoreLe(data_outside, 0x48 + 4, 0x100000, 4);      // the data runs past the section
  for (const std::string& section : {good.substr(0, 10), outside, leaf_too_early, loop, data_outside}) {
    std::vector<ResourceEntry> entries;
    std::string error;
    EXPECT_FALSE(ReadResourceTree(section, 0x1000, &entries, &error));
    EXPECT_EQ(error, "damaged resource section");
  }
}

}  // namespace
}  // namespace vexlo
