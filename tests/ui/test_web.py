# What the window adds around the page: the navigation policy, page dialogs,
# Settings, downloads and the keyboard.

import os
import time
import unittest

import signal
import subprocess

from harness import UiTest, cursor_blank, eventually, press, read, run, screenshot, write, xdotool


class WebUi(UiTest):
    def start(self, conf="", prefix=()):
        self.site = self.foreign()
        self.site.serve = lambda path, text: write(self.site.folder / "www" / path, text)
        self.opened = self.handler("x-scheme-handler/http", "x-scheme-handler/https", "x-scheme-handler/mailto")
        bundle = self.bundle(conf)
        for name in ("index.html", "second.html", "third.html"):
            bundle.serve(name, self.page("keys.html", FOREIGN=self.site.port))
        self.site.serve("frame.html", "<p>framed</p><img src='/frame-image.txt'>")
        self.quorvel_run = self.quorvel(bundle, prefix=prefix)
        return bundle

    def key(self, keys, bundle, logged):
        press(self.quorvel_run.main_window(), keys)
        self.assertTrue(eventually(lambda: logged in bundle.requests()), f"{logged}: {bundle.requests()}")

    def test_links_stay_or_go_to_the_desktop_and_settings_follow_the_page(self):
        bundle = self.start("ready_after_ms=2500\n")
        window = self.quorvel_run.main_window()
        press(window, "ctrl+comma")  # Settings is off while the server starts
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.key("x", bundle, "/log?key=x")  # the page has the keys without a click
        self.assertTrue(eventually(lambda: "GET /frame-image.txt" in self.site.requests()), "the iframe shows its page")
        self.key("1", bundle, "/log?key=1")
        self.key("2", bundle, "/log?key=2")
        self.key("4", bundle, "/log?key=4")
        expected = [f"http://127.0.0.1:{self.site.port}/foreign.html", "mailto:someone@example.com",
                    f"http://127.0.0.1:{self.site.port}/new-window.html"]
        self.assertTrue(eventually(lambda: read(self.opened).split() == expected), read(self.opened))
        self.key("ctrl+z", bundle, "/log?key=ctrl+z")  # the page sees its own undo key
        self.key("3", bundle, "GET /second.html")
        self.key("5", bundle, "GET /third.html")
        self.assertEqual(len(self.quorvel_run.windows()), 1, "never a second window")
        self.assertNotIn("/settings", bundle.requests())

        self.key("ctrl+comma", bundle, "GET /my-settings")  # the page's own link
        press(window, "ctrl+w")
        self.assertTrue(eventually(lambda: not self.quorvel_run.main_window(0.1)))
        run("gapplication", "action", "app.quorvel.Quorvel", "settings")
        self.assertTrue(eventually(lambda: "GET /settings|" in bundle.requests()), "no link there: the fallback")
        self.assertEqual(self.quorvel_run.main_window(5), window, "shown again")
        screenshot("root", "settings.png")


    def test_alert_confirm_and_file_inputs_answer_the_page(self):
        bundle = self.start()
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        files = os.path.join(self.dir, "files")
        for name in ("a.txt", "b.txt"):
            write(os.path.join(files, name), name)
        self.key("a", bundle, "/log?key=a")
        time.sleep(0.5)
        self.assertNotIn("alert=closed", bundle.requests(), "the page's script waits for the answer")
        screenshot("root", "alert-from-page.png")
        press(self.quorvel_run.dialog(), "Return")
        self.assertTrue(eventually(lambda: "/log?alert=closed" in bundle.requests()))
        for keys, answer in (("Return", "confirm=true"), ("Escape", "confirm=false"), ("alt+c", "confirm=false")):
            count = bundle.requests().count(answer)
            self.key("c", bundle, "/log?key=c")
            press(self.quorvel_run.dialog(), keys)
            self.assertTrue(eventually(lambda: bundle.requests().count(answer) == count + 1), keys)
        for key, typed, then, chosen in (("f", f"{files}/a.txt", "Return", "files=a.txt"),
                                         ("m", f"{files}/", "Return ctrl+a alt+o", "files=a.txt,b.txt")):
            self.key(key, bundle, f"/log?key={key}")
            press(self.quorvel_run.dialog(), "ctrl+l")
            xdotool("type", "--delay", "20", typed)
            for keys in then.split():
                time.sleep(0.5)
                xdotool("key", keys)
            self.assertTrue(eventually(lambda: chosen in bundle.requests()), chosen)
        self.key("f", bundle, "/log?key=f")
        press(self.quorvel_run.dialog(), "Escape")  # cancelled: the page gets nothing
        self.key("x", bundle, "/log?key=x")
        self.assertEqual(bundle.requests().count("files="), 2)

    def test_a_download_is_saved_whole_beside_a_file_of_the_same_name(self):
        downloads = os.path.join(self.home, "Downloads")
        write(f"{self.home}/.config/user-dirs.dirs", f'XDG_DOWNLOAD_DIR="{downloads}"\n')
        write(f"{downloads}/report.csv", "mine")
        bundle = self.start()
        self.opened = self.handler("text/csv", "inode/directory")
        bundle.serve("report.csv", "a,b\n1,2\n" * 20000)
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.key("d", bundle, "GET /report.csv?attachment")
        saved = os.path.join(downloads, "report (1).csv")
        self.assertTrue(eventually(lambda: os.path.exists(saved)), os.listdir(downloads))
        self.assertEqual(sorted(os.listdir(downloads)), ["report (1).csv", "report.csv"], "no partial file is left")
        self.assertEqual((read(f"{downloads}/report.csv"), read(saved)), ("mine", "a,b\n1,2\n" * 20000))
        for keys, expected in (("alt+o", saved), ("alt+s", downloads)):  # Open, and Show in Folder without a file manager
            press(self.quorvel_run.main_window(), keys)
            self.assertTrue(eventually(lambda: read(self.opened).splitlines()[-1:] == [expected]), read(self.opened))
        time.sleep(1)
        screenshot("root", "download-notice.png")


    def test_zoom_steps_by_keys_and_wheel_and_comes_back_at_the_next_launch(self):
        bundle = self.start()
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.key("x", bundle, "/log?key=x&width=1280")
        zoom, window = f"{self.home}/Library/Application Support/Quorvel/page-zoom", self.quorvel_run.main_window()
        for keys, saved in (("ctrl+plus", "1.1"), ("ctrl+equal", "1.25"), ("ctrl+minus", "1.1"), ("ctrl+0", "1.0"),
                            ("ctrl+KP_Add", "1.1"), ("ctrl+plus ctrl+plus", "1.5"), ("ctrl+KP_Subtract", "1.25")):
            press(window, keys)
            self.assertTrue(eventually(lambda: read(zoom) == saved), f"{keys}: {read(zoom)}")
        for button, saved in (("4", "1.5"), ("5", "1.25")):  # Ctrl + wheel up, down: one notch, one step
            xdotool("keydown", "ctrl", "click", button, "keyup", "ctrl")
            self.assertTrue(eventually(lambda: read(zoom) == saved), f"wheel {button}: {read(zoom)}")
        press(window, "ctrl+q")
        self.assertEqual(self.quorvel_run.wait_exit(), 0)
        again = self.quorvel(bundle)
        self.assertTrue(again.wait_page(), again.log())
        self.assertRegex(bundle.requests().splitlines()[-1], r"GET /\|cookie=.*keep=1", "a lasting cookie lasts")
        press(again.main_window(), "y")
        self.assertTrue(eventually(lambda: "/log?key=y&width=1024" in bundle.requests()), "the first page at 1.25")

    def test_the_page_learns_when_the_network_goes_and_comes_back(self):
        if subprocess.run(["unshare", "-n", "true"]).returncode != 0:
            self.skipTest("this machine refuses private network namespaces (unshare -n)")
        # GLib's network monitor follows the default route of Quorvel's own network namespace.
        bundle = self.start(prefix=["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0"'])
        route = lambda verb: run("nsenter", f"--net=/proc/{self.quorvel_run.process.pid}/ns/net", "ip", "route", verb,
                                 "default", "dev", "lo")
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.assertRegex(bundle.requests(), r"GET /\|cookie=[^|]*offline=1", "started offline: the first page knows")
        for verb, told, times in (("add", "offline=false", 1), ("del", "offline=true", 1), ("add", "offline=false", 2)):
            route(verb)
            self.assertTrue(eventually(lambda: bundle.requests().count("/log?" + told) == times), told)
        self.key("z", bundle, "/log?key=z")
        self.assertNotIn("offline=1", bundle.requests().splitlines()[-1], "online: requests carry no offline cookie")

    def test_the_pointer_hides_at_rest_in_element_full_screen(self):
        bundle = self.start()
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        xdotool("mousemove", "700", "400")
        time.sleep(3.5)
        self.assertFalse(cursor_blank(), "never hidden without element full screen")
        self.key("u", bundle, "/log?fullscreen=true")
        time.sleep(3.2)
        self.assertTrue(cursor_blank(), "hidden after resting")
        xdotool("mousemove", "720", "420")
        self.assertTrue(eventually(lambda: not cursor_blank(), 1), "back at the first movement")


    def test_killing_quorvel_takes_the_server_and_its_worker_with_it(self):
        bundle = self.start("worker=1\n")
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.assertEqual(len(bundle.servers()), 2, "a server and its worker")
        self.quorvel_run.process.kill()
        self.assertTrue(eventually(lambda: not bundle.servers(), 1), "gone within a second")
        self.assertEqual(bundle.file("fake_server.signals"), "INT\n", "told as at a quit")

    def test_a_server_that_stops_can_be_restarted_and_a_page_that_stops_twice_reloaded(self):
        bundle = self.start()
        self.opened = self.handler("text/plain")
        self.assertTrue(self.quorvel_run.wait_page(), self.quorvel_run.log())
        self.key("3", bundle, "GET /second.html")
        self.key("x", bundle, "/log?key=x")  # from the second page, now shown
        token = bundle.requests().splitlines()[-1].split("launch_token=")[1][:64]
        os.kill(bundle.servers()[0], signal.SIGKILL)
        window = self.quorvel_run.main_window()
        time.sleep(1)
        screenshot("root", "server-stopped.png")
        press(window, "alt+s")
        self.assertTrue(eventually(lambda: read(self.opened).endswith("/Library/Logs/Quorvel/server.log\n")))
        press(window, "alt+r")
        self.assertTrue(eventually(lambda: bundle.requests().count("GET /second.html|cookie=launch_token=" + token) == 2),
                        "the page that was shown, with the same token")

        def stop_the_page():  # kill Quorvel's web process, a grandchild or deeper inside WebKit's sandbox
            parent = lambda pid: (read(f"/proc/{pid}/stat").split(") ")[-1].split(" ")[1:2] or ["0"])[0]
            for pid in filter(str.isdigit, os.listdir("/proc")):
                ancestors = [pid]
                while ancestors[-1] not in ("0", "1") and len(ancestors) < 8:
                    ancestors.append(parent(ancestors[-1]))
                if read(f"/proc/{pid}/comm").startswith("WebKitWebProces") and str(self.quorvel_run.process.pid) in ancestors:
                    os.kill(int(pid), signal.SIGKILL)
        loads = bundle.requests().count("GET /second.html")
        stop_the_page()
        self.assertTrue(eventually(lambda: bundle.requests().count("GET /second.html") == loads + 1), "reloaded once")
        stop_the_page()
        time.sleep(1)
        screenshot("root", "page-stopped.png")
        press(window, "alt+r")
        self.assertTrue(eventually(lambda: bundle.requests().count("GET /second.html") == loads + 2), "reloaded by hand")


if __name__ == "__main__":
    unittest.main()
