#include "server/launch_token.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

namespace quorvel {
namespace {

TEST(LaunchToken, SixtyFourLowercaseHexDigitsFreshEachTime) {
  LaunchToken a, b;
  EXPECT_TRUE(std::regex_match(a.value(), std::regex("[0-9a-f]{64}")));
  EXPECT_NE(a.value(), b.value());
}

TEST(LaunchToken, BytesAreWrittenInOrderWithLeadingZeros) {
  LaunchToken token([](unsigned char* buffer, std::size_t length) {
    std::memset(buffer, 0, length);
    buffer[0] = 0x0a;
    buffer[1] = 0xF0;
    buffer[length - 1] = 0x01;
    return true;
  });
  EXPECT_EQ(token.value().substr(0, 4), "0af0");
  EXPECT_EQ(token.value().substr(62), "01");
}

TEST(LaunchToken, EnvironmentAndRequestCarryTheValue) {
  LaunchToken token;
  auto env = token.environment();
  ASSERT_EQ(env.size(), 1u);
  EXPECT_EQ(env.at("QUORVEL_LAUNCH_TOKEN"), token.value());

  HttpRequest request = token.request("http://127.0.0.1:3789/up");
  EXPECT_EQ(request.url, "http://127.0.0.1:3789/up");
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.header("Launch-Token"), token.value());
  EXPECT_EQ(request.headers.size(), 1u);
  EXPECT_EQ(request.timeout, std::chrono::seconds(60));
}

TEST(LaunchTokenDeathTest, AFailingRandomSourceStopsTheProcess) {
  EXPECT_DEATH(LaunchToken([](unsigned char*, std::size_t) { return false; }),
               "Couldn't make a launch token");
}

}  // namespace
}  // namespace quorvel
