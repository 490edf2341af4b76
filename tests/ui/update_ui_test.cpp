// "Check for Updates…" against an appcast served on loopback, answered by pressing
// Download, which hands the enclosure to the desktop's default browser: here a
// handler the test registers through XDG files.

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ui_support.h"

namespace quorvel::ui {
namespace {

const char* kFeed = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Quorvel</title>
    <item>
      <title>Version 2.0</title>
      <enclosure url="https://downloads.example.com/Quorvel-2.0.tar.gz" sparkle:version="2.0"
                 sparkle:shortVersionString="2.0" length="1" type="application/octet-stream"/>
    </item>
    <item>
      <title>Version 1.0</title>
      <enclosure url="https://downloads.example.com/Quorvel-1.0.tar.gz" sparkle:version="1.0"/>
    </item>
  </channel>
</rss>
)";

// Makes `handler` the desktop's default for http and https links under `home`.
void registerBrowser(const std::string& home, const std::string& record) {
  std::string script = home + "/test-browser";
  test::writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\n");
  chmod(script.c_str(), 0755);
  test::writeFile(home + "/.local/share/applications/test-browser.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Browser\nExec=" + script +
                      " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\nNoDisplay=true\n");
  test::writeFile(home + "/.config/mimeapps.list",
                  "[Default Applications]\nx-scheme-handler/https=test-browser.desktop\n"
                  "x-scheme-handler/http=test-browser.desktop\n");
}

TEST(UpdateUi, ANewerVersionInTheFeedOffersItsDownload) {
  test::TempDir dir;
  Desktop desktop;
  int port = test::freePort();
  std::string home = dir.path() + "/home";
  std::string opened = dir.path() + "/opened-urls";
  registerBrowser(home, opened);
  AppBundle bundle = AppBundle::fake(
      dir.path() + "/bundle", port, "",
      "  <key>SUFeedURL</key><string>http://127.0.0.1:" + std::to_string(port) + "/appcast.xml</string>\n");
  test::writeFile(bundle.appRoot + "/feed.xml", kFeed);

  QuorvelRun quorvel(desktop, bundle, home);
  ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
  std::string window = quorvel.mainWindow();

  // F10 opens the menu bar's first menu at "About Quorvel"; the next item is
  // "Check for Updates…".
  desktop.press(window, "F10");
  std::this_thread::sleep_for(500ms);
  desktop.screenshot("root", artifactPath("menu.png"));
  desktop.xdotool({"key", "Down", "Return"});
  ASSERT_TRUE(eventually([&] {
    return test::readFile(bundle.appRoot + "/fake_requests.log").find("GET /appcast.xml") != std::string::npos;
  }, 10s)) << "the feed was fetched";

  std::string dialog = quorvel.dialogWindow();
  ASSERT_FALSE(dialog.empty());
  std::this_thread::sleep_for(1500ms);  // let it paint
  desktop.screenshot("root", artifactPath("update-available.png"));
  desktop.press(dialog, "Return");  // Download is the default button
  EXPECT_TRUE(eventually([&] { return test::exists(opened); }, 10s));
  EXPECT_EQ(test::readFile(opened), "https://downloads.example.com/Quorvel-2.0.tar.gz\n");

  desktop.press(window, "ctrl+q");
  EXPECT_EQ(quorvel.waitForExit(10s), 0);
}

}  // namespace
}  // namespace quorvel::ui
