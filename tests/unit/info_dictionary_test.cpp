#include "app/info_dictionary.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <random>

#include "test_support.h"

namespace quorvel {
namespace {

const char* kXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>QuorvelPort</key><string>4000</string>
  <key>CFBundleVersion</key><string>1.2.3</string>
  <key>SUEnableAutomaticChecks</key><true/>
  <key>SUScheduledCheckInterval</key><integer>3600</integer>
  <key>Ratio</key><real>0.5</real>
  <key>Nested</key><array><string>x</string></array>
</dict></plist>)";

TEST(InfoDictionary, ReadsXmlAndBinaryAlike) {
  InfoDictionary xml = parseInfoDictionary(kXml);
  EXPECT_EQ(infoString(xml, "QuorvelPort"), "4000");
  EXPECT_EQ(infoString(xml, "CFBundleVersion"), "1.2.3");
  EXPECT_EQ(infoBool(xml, "SUEnableAutomaticChecks"), true);
  EXPECT_EQ(infoNumber(xml, "SUScheduledCheckInterval"), 3600.0);
  EXPECT_EQ(infoNumber(xml, "Ratio"), 0.5);
  EXPECT_FALSE(infoString(xml, "Nested")) << "arrays read as another kind";
  EXPECT_FALSE(infoString(xml, "SUScheduledCheckInterval")) << "a number is not a string";

  plist_t root = nullptr;
  plist_from_xml(kXml, static_cast<uint32_t>(strlen(kXml)), &root);
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  InfoDictionary binary = parseInfoDictionary(std::string_view(bin, length));
  free(bin);
  plist_free(root);
  EXPECT_EQ(binary, xml);
}

TEST(InfoDictionary, AnythingButADictionaryIsEmpty) {
  const char* inputs[] = {
      "",
      "garbage",
      "<plist><array><string>x</string></array></plist>",
      "<plist><dict><key>QuorvelPort</key><string>40",  // cut short
      "bplist00\xff\xff\xff",
      "\x89PNG\r\n\x1a\n",
  };
  for (const char* input : inputs) {
    EXPECT_TRUE(parseInfoDictionary(input).empty()) << input;
  }
  std::mt19937 random(7);
  std::string noise(4096, '\0');
  for (int round = 0; round < 50; ++round) {
    for (auto& c : noise) c = static_cast<char>(random());
    parseInfoDictionary(noise);  // must not crash
    noise.replace(0, 8, "bplist00");
    parseInfoDictionary(noise);
  }
}

TEST(InfoDictionary, FilesMissingOrHugeAreEmpty) {
  test::TempDir dir;
  EXPECT_TRUE(readInfoDictionary(dir.path() + "/missing.plist").empty());
  EXPECT_TRUE(readInfoDictionary(dir.path()).empty()) << "a folder";
  test::writeFile(dir.path() + "/huge.plist", std::string(9 * 1024 * 1024, ' ') + kXml);
  EXPECT_TRUE(readInfoDictionary(dir.path() + "/huge.plist").empty());
  test::writeFile(dir.path() + "/Info.plist", kXml);
  EXPECT_EQ(infoString(readInfoDictionary(dir.path() + "/Info.plist"), "QuorvelPort"), "4000");
}

}  // namespace
}  // namespace quorvel
