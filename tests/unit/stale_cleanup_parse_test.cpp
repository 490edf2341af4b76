#include <gtest/gtest.h>

#include "server/stale_cleanup.h"
#include "server/text_file.h"

namespace quorvel {
namespace {

TEST(PidFile, OnlyASingleSignedThirtyTwoBitNumber) {
  struct Case {
    const char* text;
    std::optional<int> pid;
    const char* edge;
  } cases[] = {
      {"1234\n", 1234, "line end"},
      {"  1234  ", 1234, "spaces around"},
      {"\r\n1234\r\n", 1234, "CRLF"},
      {"+7", 7, "plus sign"},
      {"-3", -3, "negative"},
      {"0", 0, "zero"},
      {"2147483647", 2147483647, "largest"},
      {"2147483648", std::nullopt, "beyond 32 bits"},
      {"-2147483649", std::nullopt, "below 32 bits"},
      {"99999999999999999999999", std::nullopt, "beyond 64 bits"},
      {"", std::nullopt, "empty"},
      {" \n\t", std::nullopt, "white space only"},
      {"abc", std::nullopt, "letters"},
      {"12ab", std::nullopt, "digits then letters"},
      {"12 34", std::nullopt, "two numbers"},
      {"+-1", std::nullopt, "two signs"},
      {"0x10", std::nullopt, "hexadecimal"},
  };
  for (const auto& c : cases) EXPECT_EQ(parsePidFile(c.text), c.pid) << c.edge;
}

TEST(TrimWhitespace, UnicodeSpacesAndLineBreaksAtBothEndsOnly) {
  EXPECT_EQ(trimWhitespace("\u2028\u00a0 a b \u0085\u3000"), "a b");
  EXPECT_EQ(trimWhitespace("   "), "");
  EXPECT_EQ(trimWhitespace(""), "");
  EXPECT_EQ(trimWhitespace("é"), "é");
}

}  // namespace
}  // namespace quorvel
