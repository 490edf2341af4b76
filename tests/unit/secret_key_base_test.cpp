#include "server/secret_key_base.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <regex>

#include "test_support.h"

namespace quorvel {
namespace {

class SecretKeyBase : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string file() const { return dir.path() + "/secret_key_base"; }
  mode_t mode() const {
    struct stat st {};
    stat(file().c_str(), &st);
    return st.st_mode & 0777;
  }
};

bool isFreshValue(const std::string& value) {
  return std::regex_match(value, std::regex("[0-9a-f]{128}"));
}

TEST_F(SecretKeyBase, MadeOnceWithModeSixHundredThenKept) {
  auto first = secretKeyBase(dir.path());
  ASSERT_TRUE(first.ok());
  EXPECT_TRUE(isFreshValue(first.value()));
  EXPECT_EQ(test::readFile(file()), first.value()) << "no line break, nothing else";
  EXPECT_EQ(mode(), 0600u);

  struct stat before {};
  stat(file().c_str(), &before);
  EXPECT_EQ(secretKeyBase(dir.path()).value(), first.value());
  struct stat after {};
  stat(file().c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino) << "a usable file is not rewritten";
}

TEST_F(SecretKeyBase, StoredValuesAreTrimmedButNotJudged) {
  struct Case {
    std::string contents;
    std::string value;
    const char* edge;
  } cases[] = {
      {"abc\n", "abc", "trailing line break"},
      {" \t\u00a0short value\r\n", "short value", "Unicode white space around"},
      {"é-😀", "é-😀", "any alphabet, any length"},
  };
  for (const auto& c : cases) {
    test::writeFile(file(), c.contents);
    EXPECT_EQ(secretKeyBase(dir.path()).value(), c.value) << c.edge;
    EXPECT_EQ(test::readFile(file()), c.contents) << c.edge << ": file left unchanged";
  }
}

TEST_F(SecretKeyBase, UnusableFilesAreReplaced) {
  struct Case {
    std::string contents;
    const char* edge;
  } cases[] = {
      {"", "empty"},
      {" \n\t\r\n", "white space only"},
      {"\xff\xfe\x80secret", "not UTF-8"},
      {std::string("ab\0cd", 5), "a NUL byte"},
      {std::string(200 * 1024, 'a'), "too large to hand to the server"},
  };
  for (const auto& c : cases) {
    test::writeFile(file(), c.contents);
    auto value = secretKeyBase(dir.path());
    ASSERT_TRUE(value.ok()) << c.edge;
    EXPECT_TRUE(isFreshValue(value.value())) << c.edge;
    EXPECT_EQ(test::readFile(file()), value.value()) << c.edge;
    EXPECT_EQ(mode(), 0600u) << c.edge;
  }
}

TEST_F(SecretKeyBase, UnwritableFolderGivesAFreshValueEachTime) {
  // /proc/self takes no new files, not even from root.
  auto a = secretKeyBase("/proc/self");
  auto b = secretKeyBase("/proc/self");
  EXPECT_TRUE(isFreshValue(a.value()));
  EXPECT_NE(a.value(), b.value());
  EXPECT_FALSE(test::exists("/proc/self/secret_key_base"));
}

TEST_F(SecretKeyBase, MissingFolderGivesAFreshValueAndNoFile) {
  auto a = secretKeyBase(dir.path() + "/missing");
  EXPECT_TRUE(isFreshValue(a.value()));
  EXPECT_FALSE(test::exists(dir.path() + "/missing"));
}

TEST_F(SecretKeyBase, FailingRandomSourceIsAnErrorNotAZeroSecret) {
  auto value = secretKeyBase(dir.path(), [](unsigned char*, std::size_t) { return false; });
  ASSERT_FALSE(value.ok());
  EXPECT_NE(value.error().message().find("random"), std::string::npos);
  EXPECT_FALSE(test::exists(file()));
}

}  // namespace
}  // namespace quorvel
