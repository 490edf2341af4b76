# The application shell as a person uses it, with the fake server or the real
# sample server behind it, and the update check against an appcast on loopback.

import os
import random
import re
import signal
import time
import unittest

from harness import Quorvel, UiTest, eventually, press, read, screenshot, size, spread, xdotool

NEWER_DATABASE = "This database was last opened by a newer Quorvel. Install that Release or a newer one."


class ShellUi(UiTest):
    def test_spinner_then_the_page_with_the_token_cookie_quit_stops_the_server_and_the_size_is_kept(self):
        bundle = self.bundle("ready_after_ms=3000\n")
        quorvel = self.quorvel(bundle)
        window = quorvel.main_window()
        self.assertTrue(window, quorvel.log())
        time.sleep(0.5)
        starting = screenshot(window, "starting.png")
        self.assertNotIn("GET /|", bundle.requests(), "no page before the server is up")
        width, height = size(window)
        self.assertGreater(spread(starting, width // 2 - 24, height // 2 - 24, 48, 48), 0.05, "a spinner")
        self.assertLess(spread(starting, 40, height - 140, 100, 100), 0.01, "on an empty background")

        self.assertTrue(quorvel.wait_page(), quorvel.log())
        token = re.search(r"QUORVEL_LAUNCH_TOKEN=([0-9a-f]{64})", read(f"/proc/{bundle.servers()[0]}/environ")).group(1)
        self.assertIn(f"GET /|cookie=launch_token={token}|token=\n", bundle.requests(), "the cookie, no header")
        self.assertTrue(width >= 1280 and height >= 860)  # with the title bar and shadow around 1280 x 860
        xdotool("windowsize", "--sync", window, str(width - 380), str(height - 220))
        time.sleep(0.5)
        press(window, "ctrl+q")
        self.assertEqual(quorvel.wait_exit(), 0)
        self.assertEqual(bundle.file("fake_server.signals"), "INT\n")
        self.assertEqual(bundle.servers(), [])
        self.assertIn("milestone: server stopped", quorvel.log())
        self.assertIn("width=900\nheight=640", read(f"{self.home}/Library/Application Support/Quorvel/window-state"))
        self.assertEqual(size(self.quorvel(bundle).main_window()), (width - 380, height - 220), "the size comes back")

    def test_a_failed_start_shows_one_alert_then_quits(self):
        bundle = self.bundle("exit_status=3\nexit_after_ms=300\nready_after_ms=60000\n")
        quorvel = self.quorvel(bundle)
        self.assertTrue(quorvel.wait_log("Quorvel couldn't start: " + NEWER_DATABASE, 30), quorvel.log())
        dialog = quorvel.dialog()
        self.assertTrue(dialog)
        self.assertEqual(quorvel.log().count("couldn't start"), 1, "exactly one alert")
        time.sleep(1.5)  # let it paint
        screenshot("root", "alert.png")
        press(dialog, "Return")
        self.assertEqual(quorvel.wait_exit(), 0, quorvel.log())
        self.assertNotIn("GET /|", bundle.requests())

    def test_reload_close_reopen_then_sigterm_kills_a_stubborn_server_after_five_seconds(self):
        bundle = self.bundle("ignore_sigint=1\n")
        quorvel = self.quorvel(bundle)
        self.assertTrue(quorvel.wait_page(), quorvel.log())
        window = quorvel.main_window()
        for keys, loads in (("ctrl+r", 2), ("F5", 3)):
            press(window, keys)
            self.assertTrue(eventually(lambda: bundle.requests().count("GET /|") == loads), bundle.requests())

        press(window, "ctrl+w")
        self.assertTrue(eventually(lambda: not quorvel.main_window(0.1)), "the window hides")
        time.sleep(0.5)
        self.assertIsNone(quorvel.wait_exit(0), "Quorvel keeps running")
        self.assertTrue(bundle.servers(), "and so does the server")
        # A second launch hands over to the running one, which shows its window again.
        self.assertEqual(self.quorvel(bundle).wait_exit(20), 0)
        self.assertEqual(quorvel.main_window(10), window, "the same window")
        self.assertEqual(bundle.requests().count("GET /|"), 3, "with the same page, not loaded again")

        begin = time.monotonic()
        quorvel.process.send_signal(signal.SIGTERM)
        self.assertEqual(quorvel.wait_exit(20), 0)
        self.assertTrue(4.5 <= time.monotonic() - begin < 10)
        self.assertEqual(bundle.file("fake_server.signals"), "INT\n")
        self.assertEqual(bundle.servers(), [], "killed")

    def test_the_sample_application_on_ruby_and_puma(self):
        quorvel = self.quorvel(self.bundle(sample=True))
        self.assertTrue(quorvel.wait_page(90), quorvel.log())
        time.sleep(2)  # let it paint
        screenshot("root", "sample-page.png")
        data = f"{self.home}/Library/Application Support/Quorvel"
        self.assertRegex(read(f"{data}/sample-requests.log"), r'"method":"GET","path":"/",.*"status":200')
        server = int(read(f"{data}/server.pid"))
        press(quorvel.main_window(), "ctrl+q")
        self.assertEqual(quorvel.wait_exit(), 0)
        self.assertFalse(read(f"/proc/{server}/stat"), "the server is gone")


    def test_killed_at_any_moment_of_its_start_it_leaves_each_file_whole_or_absent(self):
        bundle, written = self.bundle(), set()
        for run in range(24):
            # Each home sees a first start, then a second one over what the first left,
            # which gets an orderly quit (it saves the window state) to kill in the middle.
            data = f"{self.dir}/home{run // 2}/Library/Application Support/Quorvel"
            secret, kept = f"{data}/secret_key_base", read(f"{data}/secret_key_base")
            quorvel, moment = Quorvel(bundle, f"{self.dir}/home{run // 2}"), random.uniform(0, 1.5)
            if run % 2:
                quorvel.wait_log("milestone: window shown", 10)
                time.sleep(moment / 3)
                quorvel.process.send_signal(signal.SIGTERM)
                moment = random.uniform(0, 0.2)
            time.sleep(moment)
            quorvel.process.kill()
            quorvel.close()
            where = f"run {run}, killed {moment:.3f} s after the {'quit' if run % 2 else 'start'}"
            if os.path.exists(secret):
                self.assertRegex(read(secret), r"\A[0-9a-f]{128}\Z", where)
                self.assertEqual(os.stat(secret).st_mode & 0o777, 0o600, where)
                self.assertIn(kept, ("", read(secret)), f"a kept secret stays: {where}")
            for name, form in (("window-state", r"\[MainWindow\]\nwidth=\d+\nheight=\d+\nmaximized=(true|false)\n"),
                               ("page-zoom", r"\s*\d+(\.\d+)?\s*")):
                if os.path.exists(f"{data}/{name}"):
                    self.assertRegex(read(f"{data}/{name}"), rf"\A{form}\Z", where)
            written |= {name for name in ("secret_key_base", "window-state") if os.path.exists(f"{data}/{name}")}
        self.assertEqual(written, {"secret_key_base", "window-state"}, "the runs got as far as writing both")

    def test_help_version_and_a_wrong_argument_answer_at_once_with_no_window_server_or_lock(self):
        bundle = self.bundle()
        for args, status, output in ((["--version"], 0, r"Quorvel 1\.0\n"),  # from Info.plist, not the build
                                     (["--help"], 0, r"Usage: quorvel \[--help \| --version\]\n(.+\n)+"),
                                     (["--bogus"], 2, r"quorvel: unexpected argument '--bogus' \(see .*--help\)\n"),
                                     (["--version", "x"], 2, r"quorvel: unexpected argument 'x' .*\n")):
            quorvel = self.quorvel(bundle, *args)
            self.assertEqual(quorvel.wait_exit(5), status, args)
            self.assertRegex(quorvel.log(), f"^{output}$")  # and no start-up milestone
        self.assertFalse(os.path.exists(f"{self.home}/Library"), "no data folder, so no lock")
        self.assertEqual(bundle.requests(), "")

    def test_a_newer_version_in_the_feed_offers_its_download_to_the_browser(self):
        opened = self.handler("x-scheme-handler/http", "x-scheme-handler/https")
        bundle = self.bundle(plist=f"<key>SUFeedURL</key><string>http://127.0.0.1:{self.port}/appcast.xml</string>")
        bundle.serve("appcast.xml", """<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
          <channel><item><enclosure url="https://example.com/Quorvel-2.0.tar.gz" sparkle:version="2.0"/></item>
          <item><enclosure url="https://example.com/Quorvel-1.0.tar.gz" sparkle:version="1.0"/></item></channel></rss>""")
        quorvel = self.quorvel(bundle)
        self.assertTrue(quorvel.wait_page(), quorvel.log())
        # F10 opens the first menu at "About Quorvel"; the next item is "Check for Updates…".
        press(quorvel.main_window(), "F10")
        time.sleep(0.5)
        screenshot("root", "menu.png")
        xdotool("key", "Down", "Return")
        self.assertTrue(eventually(lambda: "GET /appcast.xml" in bundle.requests()))
        dialog = quorvel.dialog()
        time.sleep(1.5)  # let it paint
        screenshot("root", "update-available.png")
        press(dialog, "Return")  # Download is the default button
        self.assertTrue(eventually(lambda: read(opened)))
        self.assertEqual(read(opened), "https://example.com/Quorvel-2.0.tar.gz\n")



if __name__ == "__main__":
    unittest.main()
