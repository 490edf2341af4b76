# Quorvel as a person uses it: the real bundle on a display of its own, a fake
# server (or a second one standing in for a foreign site) behind it, driven by
# keys, observed through the servers' request logs, files, windows and screenshots.

import base64
import ctypes
import functools
import glob
import json
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest
from pathlib import Path
from unittest import mock

import gi
import pyatspi

gi.require_versions({"Gtk": "3.0", "Gdk": "3.0"})
from gi.repository import Gdk, Gtk  # noqa: E402

BUILD = Path(os.environ.get("QUORVEL_BUILD", Path(__file__).parent / "../../build"))
ARTIFACTS = BUILD / "ui-artifacts"
WAYLAND = bool(os.environ.get("WAYLAND_DISPLAY"))  # desktop.sh's sway, else its Xvfb


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout.strip()


def eventually(condition, timeout=10.0):
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


def read(path):
    return Path(path).read_text(errors="replace") if Path(path).is_file() else ""


def write(path, text):
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    Path(path).write_text(text)


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as s:
        return s.getsockname()[1]


def xdotool(*args):
    return run("xdotool", *args)


def sway_windows(window=None):
    # The nodes of sway's tree (its windows' ids, names, processes, states), or the window's.
    walk = lambda node: [node, *(n for c in node.get("nodes", []) + node.get("floating_nodes", []) for n in walk(c))]
    return [n for n in walk(json.loads(run("swaymsg", "-r", "-t", "get_tree") or "{}")) if window in (None, str(n["id"]))]


def press(window, keys, keymap=None):
    # Not --sync: xdotool can wait for many seconds when the window is already active. Once the window has the
    # keyboard focus, the keys follow its focus event.
    if WAYLAND:
        run("swaymsg", f"[con_id={window}]", "focus")
        eventually(lambda: any(n.get("focused") for n in sway_windows(window)), 3)
    else:
        xdotool("windowactivate", window)
        eventually(lambda: xdotool("getactivewindow") == window == xdotool("getwindowfocus"), 3)
    type_keys(keys, keymap)


# wtype uploads a keymap of the keys it is given. GTK 3 on Wayland misses bindings (Escape, Return in a dialog)
# when the keymap changes under it, so each call uploads the same one, these keys first.
KEYMAP = "Escape Return F2 F5 F10 F11 comma f k r w x z 1 2 3 4 5".split()


def type_keys(keys, keymap=None):
    # xdotool's names; wtype holds a combination's modifiers around its key. keymap=[]: a keymap of just the
    # keys typed, as on-screen keyboards upload.
    if not WAYLAND:
        return xdotool("key", "--clearmodifiers", *keys.split())
    for *held, key in (combination.split("+") for combination in keys.split()):
        run("wtype", *(f for k in (KEYMAP if keymap is None else keymap) for f in ("-p", k)), "-s", "100",
            *(f for m in held for f in ("-M", m)), "-k", key, *(f for m in held for f in ("-m", m)), "-s", "100")


def screenshot(name, window="root"):
    ARTIFACTS.mkdir(exist_ok=True)
    # On Wayland the whole output, which sway tiles the main window over.
    run(*["grim"] if WAYLAND else ["import", "-window", window], str(ARTIFACTS / name))
    return str(ARTIFACTS / name)


def size(window):
    geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).splitlines())
    return int(geometry.get("WIDTH", 0)), int(geometry.get("HEIGHT", 0))


def full_screen(window):  # as the window manager has it
    return (any(n["fullscreen_mode"] for n in sway_windows(window)) if WAYLAND else
            "_NET_WM_STATE_FULLSCREEN" in run("xprop", "-id", window, "_NET_WM_STATE"))


def cursor_blank():
    # The X server's current pointer image (XFixes) is fully transparent.
    x11, xfixes = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXfixes.so.3")
    x11.XOpenDisplay.restype, xfixes.XFixesGetCursorImage.argtypes = ctypes.c_void_p, [ctypes.c_void_p]

    class Image(ctypes.Structure):
        _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                    ("height", ctypes.c_ushort), ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
                    ("serial", ctypes.c_ulong), ("pixels", ctypes.POINTER(ctypes.c_ulong))]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(Image)
    display = x11.XOpenDisplay(None)
    image = xfixes.XFixesGetCursorImage(display).contents
    blank = not any(image.pixels[i] >> 24 for i in range(image.width * image.height))
    x11.XCloseDisplay(ctypes.c_void_p(display))
    return blank


def accessible(pid, role, name=None, timeout=10, text=None):
    # What a screen reader finds among a process's windows, the page's content
    # included: the first object with this role (and name, or text), or None.
    def matches(o):  # at-spi2-core 2.56 (Debian 13) says "button" where 2.46 says "push button"
        return (o.getRoleName().replace("push ", "") == role.replace("push ", "") and name in (None, o.name) and
                (text is None or o.queryText().getText(0, -1) == text))

    def find():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return pyatspi.findDescendant(app, matches)
    return eventually(find, timeout)


def click(pid, role, name, hold=(), button="1"):
    # A real click on what a screen reader finds there, with keys held ("shift").
    def centre():
        try:
            box = accessible(pid, role, name).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            return str(box.x + box.width // 2), str(box.y + box.height // 2)
        except (AttributeError, NotImplementedError):  # not there yet, or replaced as a list fills
            return None
    if WAYLAND and not hold and button == "1":  # no pointer to move there: what a screen reader's press does
        return eventually(lambda: accessible(pid, role, name, 0.5)).queryAction().doAction(0)
    xdotool(*(f for key in hold for f in ("keydown", key)), "mousemove", *eventually(centre), "click", button,
            *(f for key in hold for f in ("keyup", key)))


def wakeups(pid):
    # How often the process's main thread has been scheduled.
    return sum(map(int, re.findall(r"ctxt_switches:\s+(\d+)", read(f"/proc/{pid}/task/{pid}/status"))))


def shown_names(pid, role):
    # The names of a process's objects with this role that are on screen now (menu items of an open menu),
    # passing over what goes while the tree is read (a page being replaced).
    def names(o):
        try:
            mine = o.getRoleName() == role and o.getState().contains(pyatspi.STATE_SHOWING)
            return [o.name] * mine + [name for child in o for name in names(child)]
        except Exception:  # gone meanwhile: None, or an application that ended
            return []
    return [name for app in pyatspi.Registry.getDesktop(0) if app is not None and app.get_process_id() == pid
            for name in names(app)]


def share(png, x, y, w, h, fx="u"):
    # The mean of fx over a rectangle of a screenshot: its brightness, or for a test the share of pixels passing it.
    # ImageMagick 7 (Debian 13) prints a line of its own before the value.
    return float((run("convert", png, "-crop", f"{w}x{h}+{x}+{y}", "-fx", fx, "-format", "%[fx:mean]", "info:")
                  .splitlines() or ["0"])[-1])


@functools.cache
def glib_loop():
    # GLib's default main context turning in a thread of its own, for the desktop stand-ins below.
    from gi.repository import GLib
    threading.Thread(target=GLib.MainLoop().run, daemon=True).start()


def stand_in(name, path, interface, methods, answers):
    # A desktop service on the test's private session bus, its name owned before Quorvel starts: the calls it
    # gets, each answered with answers[method] (a value, or nothing), and a function emitting its signals.
    from gi.repository import Gio, GLib
    arg = lambda kind, way: f'<arg type="{kind}" direction="{way}"/>'  # noqa: E731
    xml = "".join(f'<method name="{m}">{"".join(arg(t, "in") for t in ins.split())}{arg(out, "out") if out else ""}</method>'
                  for m, ins, out in methods)
    calls, bus = [], Gio.bus_get_sync(Gio.BusType.SESSION)
    bus.register_object(path, Gio.DBusNodeInfo.new_for_xml(f'<node><interface name="{interface}">{xml}</interface></node>')
                        .interfaces[0], lambda *c: (calls.append([c[4], *c[5].unpack()]), c[6].return_value(answers.get(c[4]))),
                        None, None)
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                  GLib.Variant("(su)", (name, 4)), None, 0, -1, None)
    glib_loop()
    return calls, lambda signal, *values: bus.emit_signal(None, path, interface, signal, GLib.Variant(*values))


def drag_source(path):
    # A window offering the file at `path` to drag, as a file manager does.
    from gi.repository import GLib

    def show():
        window, source = Gtk.Window(title="Drag source"), Gtk.Button(label=Path(path).name)
        source.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
        source.drag_source_add_uri_targets()
        source.connect("drag-data-get", lambda *args: args[2].set_uris([Path(path).as_uri()]))
        window.add(source)
        window.show_all()
    GLib.idle_add(show)
    glib_loop()


def spread(png, x, y, w, h):
    # The spread of brightness (0..1) over a rectangle of a screenshot: 0 is flat.
    return float(run("convert", png, "-crop", f"{w}x{h}+{x}+{y}", "-colorspace", "Gray", "-format",
                     "%[fx:standard_deviation]", "info:") or 0)


class Bundle:
    # A temporary Quorvel.app around the built executable: the fake server as its
    # interpreter, with `conf` as its fake_server.conf.
    def __init__(self, root, port, conf="", plist=""):
        contents = Path(root) / "Quorvel.app/Contents"
        self.executable, self.app = contents / "Linux/quorvel", contents / "Resources/app"
        self.ruby = contents / "Resources/ruby/bin/ruby"
        write(contents / "Info.plist", f"<plist version='1.0'><dict><key>QuorvelPort</key><string>{port}</string>"
              "<key>CFBundleShortVersionString</key><string>1.0</string><key>CFBundleVersion</key>"
              f"<string>1.0</string>{plist}</dict></plist>")
        for built, copy in ((BUILD / "quorvel", self.executable), (BUILD / "tests/fake_server", self.ruby)):
            copy.parent.mkdir(parents=True)
            shutil.copy(built, copy)
        write(self.app / "fake_server.conf", conf)

    def file(self, name):
        return read(self.app / name)

    def requests(self):
        return self.file("fake_requests.log")

    def serve(self, path, text):
        # A page (or any file) the fake server answers at `path`.
        write(self.app / "www" / path.lstrip("/"), text)

    def servers(self):
        # Live processes (not zombies) running this bundle's interpreter.
        table = (line.split(maxsplit=2) for line in run("ps", "-e", "-o", "pid=,stat=,args=").splitlines())
        return [int(pid) for pid, stat, args in table if stat[0] != "Z" and args.startswith(f"{self.ruby} ")]


class Quorvel:
    # One run of the bundle's executable with `home` as its home and XDG folders, in a
    # process group of its own, which its web processes share.
    def __init__(self, bundle, home, args=(), prefix=()):
        os.makedirs(home, exist_ok=True)
        self.bundle, self.log_path = bundle, tempfile.mktemp(prefix="quorvel-run-", suffix=".log", dir=home)
        environment = dict(os.environ, QUORVEL_HOME=home, HOME=home, XDG_CONFIG_HOME=f"{home}/.config",
                           XDG_DATA_HOME=f"{home}/.local/share", XDG_CACHE_HOME=f"{home}/.cache",
                           G_MESSAGES_DEBUG="Quorvel")
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen([*prefix, bundle.executable, *args], cwd=home, env=environment,
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                            process_group=0)

    def log(self):
        return read(self.log_path)

    def wait_page(self, timeout=60):
        return eventually(lambda: "milestone: first page load finished" in self.log(), timeout)

    def wait_exit(self, timeout=10):
        eventually(lambda: self.process.poll() is not None, timeout)
        return self.process.poll()

    def windows(self, name=""):
        # Visible windows of this process of a real size (GTK maps tiny helpers too).
        if WAYLAND:
            return [str(n["id"]) for n in sway_windows() if n.get("pid") == self.process.pid and re.search(name, n["name"] or "")]
        ids = xdotool("search", "--onlyvisible", "--pid", str(self.process.pid), "--name", name).split()
        return [w for w in ids if xdotool("getwindowpid", w) == str(self.process.pid) and min(size(w)) > 50]

    def main_window(self, timeout=20):
        return (eventually(lambda: self.windows("^Quorvel$"), timeout) or [""])[0]

    def dialog(self, timeout=10):
        main = self.main_window(1)
        return (sorted(eventually(lambda: set(self.windows()) - {main}, timeout)) or [""])[0]

    def close(self):
        self.process.send_signal(signal.SIGTERM)  # nothing if it has ended
        if self.wait_exit(15) is None:
            self.process.kill()
        self.process.wait()
        for pid in self.bundle.servers():
            os.kill(pid, signal.SIGKILL)


DATA = "Library/Application Support/Quorvel"


class QuorvelUi(unittest.TestCase):
    # Each test gets its own folder, home and port, and a home whose default handler
    # for links, mail, files and folders records in self.opened what it is asked to open.
    def setUp(self):
        self.dir = self.enterContext(tempfile.TemporaryDirectory(prefix="quorvel-ui-", ignore_cleanup_errors=True))
        self.port, self.home = free_port(), os.path.join(self.dir, "home")
        self.opened, script = os.path.join(self.dir, "opened"), os.path.join(self.home, "test-handler")
        write(script, f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{self.opened}'\n")
        os.chmod(script, 0o755)
        types = "text/plain text/csv inode/directory".split() + [f"x-scheme-handler/{s}" for s in ("http", "https", "mailto")]
        write(f"{self.home}/.local/share/applications/test-handler.desktop",
              f"[Desktop Entry]\nType=Application\nName=Test Handler\nNoDisplay=true\nExec={script} %u\n"
              f"MimeType={';'.join(types)};\n")
        write(f"{self.home}/.config/mimeapps.list",
              "[Default Applications]\n" + "".join(f"{t}=test-handler.desktop\n" for t in types))

    def quorvel(self, bundle, *args, prefix=()):
        run = Quorvel(bundle, self.home, args, prefix)
        self.addCleanup(run.close)
        return run

    def start(self, conf="", plist="", prefix=(), wait=True, page="keys.html", frame="<p>framed</p><img src='/frame-image.txt'>"):
        # Quorvel on a bundle whose pages (tests/ui/pages/keys.html, or `page`) log each key and act on some,
        # next to a second fake server on a port of its own: a foreign site, as far as Quorvel can tell, whose
        # page `frame` the keys page shows in an iframe.
        self.site, site = free_port(), f"{self.dir}/foreign"
        write(f"{site}/www/frame.html", frame)
        server = subprocess.Popen([BUILD / "tests/fake_server", "-b", f"tcp://127.0.0.1:{self.site}"], cwd=site)
        self.addCleanup(lambda: (server.kill(), server.wait()))
        self.app, page = Bundle(self.dir, self.port, conf, plist), read(Path(__file__).parent / "pages" / page)
        for name in ("index.html", "second.html", "third.html"):
            self.app.serve(name, page.replace("FOREIGN", str(self.site)))
        self.running = self.quorvel(self.app, prefix=prefix)
        self.assertTrue(not wait or self.running.wait_page(), self.running.log())
        return self.app

    def until(self, condition, message="", timeout=10):
        if not eventually(condition, timeout):
            screenshot(f"failed-{self.id().split('.')[-1]}.png")  # what the screen showed then
            self.fail(message or self.app.requests())

    def same_window(self, window):
        # The window that was hidden is back; sway gives a window shown again an id of its own.
        back = self.running.main_window(10)
        self.assertTrue(back and (WAYLAND or back == window), "the same window comes back")
        return back

    def key(self, keys, logged=None):
        press(self.running.main_window(), keys)
        self.until(lambda: (logged or f"/log?key={keys}") in self.app.requests())

    def test_a_spinner_until_the_server_answers_then_the_page_with_its_token_and_quit_stops_it(self):
        self.start("statuses=" + ",".join(["503"] * 12) + "\n", wait=False)  # listening, not ready for 3 s
        window = self.running.main_window()
        width, height = size(window)
        starting = lambda: screenshot("starting.png", window)
        self.until(lambda: spread(starting(), width // 2 - 24, height // 2 - 24, 48, 48) > 0.05, "a spinner", 5)
        self.assertLess(spread(starting(), 40, height - 140, 100, 100), 0.01, "on an empty background")
        press(window, "ctrl+comma")  # Settings is off while the server starts
        self.assertTrue(self.running.wait_page(), self.running.log())
        token = re.search(r"QUORVEL_LAUNCH_TOKEN=(\w{64})", read(f"/proc/{self.app.servers()[0]}/environ")).group(1)
        self.assertIn(f"GET /|cookie=launch_token={token}|token=\n", self.app.requests(), "the cookie, no header")
        self.assertTrue(width >= 1280 and height >= 860)  # with the title bar and shadow around 1280 x 860
        xdotool("windowsize", "--sync", window, str(width - 380), str(height - 220))
        self.until(lambda: re.search(r"/log\?resized=[1-9]\d\d\|", self.app.requests()), "Quorvel has the new size")
        press(window, "ctrl+q")
        self.assertEqual((self.running.wait_exit(), self.app.file("fake_server.signals"), self.app.servers(),
                          "/settings" in self.app.requests()), (0, "INT\n", [], False))
        self.assertEqual(size(self.quorvel(self.app).main_window()), (width - 380, height - 220), "the size comes back")

    def test_a_failed_start_shows_one_alert_then_quits(self):
        self.start("exit_status=3\nexit_after_ms=300\nready_after_ms=60000\n", wait=False)
        self.until(lambda: "Quorvel couldn't start: This database was last opened by a newer Quorvel." in self.running.log())
        dialog = self.running.dialog()
        self.assertEqual(self.running.log().count("couldn't start"), 1, "exactly one alert")
        screenshot("alert.png")
        press(dialog, "Return")
        self.assertEqual(self.running.wait_exit(), 0, self.running.log())

    def test_help_version_and_a_wrong_argument_answer_at_once_with_no_window_server_or_lock(self):
        bundle = Bundle(self.dir, self.port)
        for args, status, output in ((["--version"], 0, r"Quorvel 1\.0\n"),  # from Info.plist, not the build
                                     (["--help"], 0, r"Usage: quorvel \[--help \| --version\]\n(.+\n)+"),
                                     (["--bogus"], 2, r"quorvel: unexpected argument '--bogus' \(see .*--help\)\n"),
                                     (["--version", "x"], 2, r"quorvel: unexpected argument 'x' .*\n")):
            quorvel = self.quorvel(bundle, *args)
            self.assertEqual(quorvel.wait_exit(5), status, args)
            self.assertRegex(quorvel.log(), f"^{output}$")  # and no start-up milestone
        self.assertEqual((os.path.exists(f"{self.home}/Library"), bundle.requests()), (False, ""), "no lock, no server")

    def test_an_update_is_downloaded_verified_installed_through_packagekit_and_relaunched_or_refused_or_skipped(self):  # also on Wayland
        system = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address",
                                   f"--address=unix:path={self.dir}/system-bus"], stdout=subprocess.PIPE, text=True)
        self.addCleanup(lambda: (system.kill(), system.wait(), system.stdout.close()))
        tmp, key, package, other = f"{self.dir}/tmp", f"{self.dir}/key.pem", random.randbytes(300_000), f"{self.dir}/other"
        os.makedirs(tmp), write(other, "not the package")
        run("openssl", "genpkey", "-algorithm", "ed25519", "-out", key)
        public = subprocess.check_output(["openssl", "pkey", "-in", key, "-pubout", "-outform", "DER"])[-32:]
        sign = lambda path: base64.b64encode(subprocess.check_output(  # noqa: E731
            ["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", key, "-in", path])).decode()
        url, system_address = f"http://127.0.0.1:{self.port}", system.stdout.readline().strip()

        def feed(signature):  # one package for every release, one for another system, and one of another kind
            deb = f'length="{len(package)}" type="application/vnd.debian.binary-package" sparkle:os="linux"'
            self.app.serve("appcast.xml", f"""<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"
              xmlns:quorvel="https://quorvel.app/xml-namespaces/appcast"><channel><item><sparkle:version>2.0</sparkle:version>
              <description>&lt;p>Faster &lt;a href="https://example.com/notes">notes&lt;/a></description>
              <enclosure url="{url}/other.deb" {deb} quorvel:release="plan9-4" sparkle:edSignature="{sign(other)}"/>
              <enclosure url="{url}/quorvel_2.0.deb" {deb} {signature}/>
              <enclosure url="{url}/q.tar.gz" length="1" type="application/gzip"/></item></channel></rss>""")

        def check(*texts, button=None):  # F10 opens the menus, where a screen reader picks Check for Updates…
            press(self.running.main_window(), "F10")
            accessible(self.running.process.pid, "menu item", "Check for Updates\u2026").queryAction().doAction(0)
            self.answer(*texts, button=button)

        with mock.patch.dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=system_address, TMPDIR=tmp):
            self.start(plist=f"<key>SUFeedURL</key><string>{url}/appcast.xml</string><key>SUPublicEDKey</key>"
                             f"<string>{base64.b64encode(public).decode()}</string><key>SUEnableAutomaticChecks</key><true/>",
                       wait=False)
        (self.app.app / "www/quorvel_2.0.deb").write_bytes(package)
        feed("")  # unsigned: the automatic check, 5 s after the start, offers its page in the browser and says why
        self.assertTrue(self.running.wait_page(), self.running.log())
        self.answer("Quorvel 2.0 is available", "You have 1.0. This update is not signed, so Quorvel can't install it "
                    "itself. Download it from its page instead?", timeout=30)
        self.until(lambda: read(self.opened) == f"{url}/quorvel_2.0.deb\n", read(self.opened))
        good = f'sparkle:edSignature="{sign(self.app.app / "www/quorvel_2.0.deb")}"'
        feed(good)  # no PackageKit on the bus
        check("Quorvel 2.0 is available", "You have 1.0. Install the update now?")
        self.answer("PackageKit, which installs software on this system, is not available. The downloaded package is "
                    "kept for you to install.")
        self.until(lambda: read(self.opened).endswith(f"\n{tmp}\n"), read(self.opened))  # without a file manager
        self.assertEqual([Path(tmp, f).read_bytes() for f in os.listdir(tmp)], [package])
        kept, record = os.listdir(tmp), f"{self.dir}/packagekit"
        packagekit = subprocess.Popen(["/usr/bin/python3", Path(__file__).parent / "packagekit.py", system_address, record],
                                      stdout=subprocess.PIPE, text=True)
        self.addCleanup(lambda: (packagekit.kill(), packagekit.wait(), packagekit.stdout.close()))
        packagekit.stdout.readline()  # "ready"
        feed(f'sparkle:edSignature="{sign(other)}"')  # signed, but not this file: never reaches PackageKit
        check("Quorvel 2.0 is available")
        self.answer("The downloaded update's signature does not match the key of this copy of Quorvel.")
        self.assertEqual((os.listdir(tmp), read(record)), (kept, ""), "the file removed")
        feed(good)
        check("Quorvel 2.0 is available", button="Skip This Version")
        self.until(lambda: read(f"{self.home}/{DATA}/skipped-update") == "2.0\n", "remembered")
        check("Quorvel 2.0 is available", button="notes")  # a check the user asks for still offers it; its notes'
        self.until(lambda: read(self.opened).endswith("\nhttps://example.com/notes\n"), read(self.opened))  # links
        server = screenshot("update-offer.png") and self.app.servers()
        click(self.running.process.pid, "push button", "Install Update")
        self.until(lambda: "InstallFiles" in read(record), read(record))
        self.assertRegex(read(record), r"^CreateTransaction\nSetHints \['interactive=true'\]\nInstallFiles 0 \['/")
        self.assertEqual(Path(record + ".deb").read_bytes(), package, "handed over whole")
        self.answer("Quorvel 2.0 is installed.", "Relaunch Quorvel to use the new version.")
        self.until(lambda: self.running.log().count("first page load finished") == 2, self.running.log(), 30)
        self.assertTrue(server and server[0] not in self.app.servers() and len(self.app.servers()) == 1)
        self.until(lambda: "Automatic update check: version 2.0 was skipped." in self.running.log(), "quiet", 30)
        self.assertEqual((self.running.windows(), os.listdir(tmp)), ([self.running.main_window()], kept), "no dialog")

    def answer(self, *texts, button=None, timeout=10):
        # The dialog saying these texts, answered with its default button, or a click on a button or link.
        for text in texts:
            self.until(lambda: accessible(self.running.process.pid, "label", text, 0.5), text, timeout)
        (click(self.running.process.pid, "link" if button == "notes" else "push button", button) if button
         else press(self.running.dialog(), "Return"))

    def test_links_stay_or_go_to_the_desktop_settings_follow_the_page_and_the_window_comes_back(self):  # also on Wayland
        self.start()
        # The page has the keys without a click; 1, 2, 4: a foreign link, mail, a foreign page in a new
        # window; the page sees its own undo key.
        for key in ("x", "1", "2", "4", "ctrl+z"):
            self.key(key)
        self.until(lambda: "GET /frame-image.txt" in read(f"{self.dir}/foreign/fake_requests.log"),
                   "the iframe shows its foreign page")
        self.assertNotIn("script-sees-token=true", self.app.requests(), "the token is the server's, not the page's")
        self.until(lambda: read(self.opened).split() == [f"http://127.0.0.1:{self.site}/foreign.html",
                                                         "mailto:someone@example.com",
                                                         f"http://127.0.0.1:{self.site}/new-window.html"])
        # A key no one takes (ctrl+k), and one the page leaves (ctrl+f: the find bar opens), reach it once each,
        # also from a keyboard with a keymap of just that key, where GTK's shortcut matching misses on Wayland.
        for keys in ("ctrl+k", "ctrl+f"):
            press(self.running.main_window(), keys, keymap=[])
        self.until(lambda: "Find in page" in shown_names(self.running.process.pid, "text"), "the find bar")
        type_keys("Escape")
        self.key("3", "GET /second.html")  # a local page in a new window, a link's or a script's: here
        self.key("5", "GET /third.html")
        self.assertEqual([self.app.requests().count(f"key={k}&") for k in ("ctrl+k", "ctrl+f")], [1, 1], "each once")
        self.assertEqual(len(self.running.windows()), 1, "never a second window")
        self.key("ctrl+comma", "GET /my-settings")  # the page's own link
        window = self.running.main_window()
        for keys, loads in (("ctrl+r", 2), ("F5", 3)):
            press(window, keys)
            self.until(lambda: self.app.requests().count("GET /my-settings|") == loads)
        for again in (lambda: run("gapplication", "action", "app.quorvel.Quorvel", "settings"),
                      lambda: self.assertEqual(self.quorvel(self.app).wait_exit(20), 0, "a second launch hands over")):
            press(window, "ctrl+w")
            self.until(lambda: not self.running.main_window(0.1), "the window hides")
            again()
            window = self.same_window(window)
            self.assertEqual(self.app.file("fake_server.signals"), "", "and the server went on")
        self.assertEqual(self.app.requests().count("GET /settings|"), 1, "no link there: the fallback, not loaded again")

    def test_a_foreign_frame_gets_neither_the_window_nor_a_program_nor_the_token(self):
        # Its script clicks a mail link and posts to the server; its links, clicked by the user, ask for a
        # data: page in a new window, and (from the menu) for one of the server's pages.
        self.start(frame=f"""<a target=_blank href="data:text/html,<h1>Sign in again</h1>">sign in</a>
            <a href="http://127.0.0.1:{self.port}/second.html">home</a> <a id=m href="mailto:f@example.com">mail</a>
            <script>m.click(); fetch("http://127.0.0.1:{self.port}/log?frame-post", {{method: "POST", mode: "no-cors",
            credentials: "include"}});</script><img src="http://127.0.0.1:{self.port}/log?frame-image">""")
        pid, foreign = self.running.process.pid, f"{self.dir}/foreign/fake_requests.log"  # on another local port
        frame = lambda: re.findall(r"(?:frame-\w+|/frame.html)\|cookie=([^|]*)", self.app.requests() + read(foreign))
        self.until(lambda: len(frame()) == 3)
        click(pid, "link", "sign in")
        self.until(lambda: "Not opening data:text/html" in self.running.log(), self.running.log())
        self.assertEqual(shown_names(pid, "heading"), ["Keys"], "the application's page still has the window")
        click(pid, "link", "home", button="3")
        accessible(pid, "menu item", "Open Link").queryAction().doAction(0)
        self.until(lambda: "GET /second.html|cookie=launch_token=" in self.app.requests(), "in the window, not the frame")
        self.assertEqual((set(frame()), read(self.opened), len(self.running.windows())), ({""}, "", 1), "no cookie")

    def test_alert_confirm_file_inputs_and_a_download_answer_the_page(self):
        downloads = os.path.join(self.home, "Downloads")
        write(f"{self.home}/.config/user-dirs.dirs", f'XDG_DOWNLOAD_DIR="{downloads}"\n')
        write(f"{downloads}/report.csv", "mine")
        write(f"{downloads}/a.txt", "a")
        self.start().serve("report.csv", "a,b\n1,2\n" * 20000)
        for key, keys, answer, times in (("a", "Return", "alert=closed", 1), ("c", "Return", "confirm=true", 1),
                                         ("c", "Escape", "confirm=false", 1), ("c", "alt+c", "confirm=false", 2)):
            self.key(key)
            dialog = self.running.dialog()
            self.assertEqual(self.app.requests().count(answer), times - 1, "the page's script waits for the answer")
            screenshot(f"{answer.split('=')[0]}-from-page.png")
            press(dialog, keys)
            self.until(lambda: self.app.requests().count(answer) == times, keys)
        pid = self.running.process.pid
        # f: accept=".csv,text/csv", m: several; then f cancelled: the page gets nothing.
        for key, names in (("f", ["report.csv"]), ("m", ["a.txt", "report.csv"]), ("f", [])):
            self.key(key)
            click(pid, "label", "Downloads")  # as a person would, in the places
            self.assertTrue(accessible(pid, "table cell", "report.csv"), "the folder is shown")
            self.assertEqual([bool(accessible(pid, *shown, 0)) for shown in (("table cell", "a.txt"), ("combo box", "CSV document"),
                              ("menu item", "All files"))], [key == "m", key == "f", key == "f"], "the accepted types first")
            for name, hold in zip(names, ([], ["shift"])):
                click(pid, "table cell", name, hold)
            xdotool("key", "alt+o" if names else "Escape")
            self.until(lambda: "files=" + ",".join(names) in self.app.requests())
        self.key("x")
        self.assertEqual(self.app.requests().count("files="), 2)

        self.key("d", "GET /report.csv?attachment")
        saved = os.path.join(downloads, "report (1).csv")
        saved_only = lambda: sorted(os.listdir(downloads)) == ["a.txt", "report (1).csv", "report.csv"]
        self.until(saved_only, "no partial file is left")
        self.assertEqual((read(f"{downloads}/report.csv"), read(saved)), ("mine", "a,b\n1,2\n" * 20000))
        for keys, expected in (("alt+o", saved), ("alt+s", downloads)):  # Open, and Show in Folder without a file manager
            press(self.running.main_window(), keys)
            self.until(lambda: read(self.opened).splitlines()[-1:] == [expected], read(self.opened))
        screenshot("download-notice.png")
        # Half a download, then Quorvel and its web processes die together (a forced logout): the next start
        # removes what they left, and nothing else.
        self.key("h", "GET /report.csv?half")
        self.until(lambda: any(os.path.getsize(f"{downloads}/{n}") for n in os.listdir(downloads) if n.startswith(".")))
        os.killpg(self.running.process.pid, signal.SIGKILL)  # gone once its last thread has let go of the bus name
        self.until(lambda: run("gdbus", "call", "-e", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus", "-m",
                               "org.freedesktop.DBus.NameHasOwner", "app.quorvel.Quorvel") == "(false,)")
        self.running = self.quorvel(self.app)
        self.until(saved_only, str(os.listdir(downloads)), 30)

    def test_find_in_page_searches_as_one_types_steps_through_matches_and_gives_the_keys_back(self):
        self.start(page="find.html")
        pid, window = self.running.process.pid, self.running.main_window()
        self.key("s")  # the page selects "Haystack"
        press(window, "ctrl+f")
        entry = accessible(pid, "text", "Find in page")
        self.until(lambda: entry.queryText().getText(0, -1) == "Haystack", "the page's selection to search for")
        self.assertTrue(accessible(pid, "label", "1 of 1"))
        xdotool("key", "ctrl+a")  # the entry's, not the page's
        xdotool("type", "--delay", "50", "needle")  # far down, in any case
        self.assertTrue(accessible(pid, "label", "1 of 3"))
        self.until(lambda: "/log?scrolled" in self.app.requests(), "the page scrolls to the match")
        screenshot("find-bar.png")
        for keys, where in (("Return", "2 of 3"), ("Return Return", "1 of 3"), ("shift+Return", "3 of 3"),
                            ("ctrl+g", "1 of 3"), ("shift+ctrl+g", "3 of 3"), ("x", "No matches")):
            xdotool("key", *keys.split())
            self.assertTrue(accessible(pid, "label", where), keys)
        xdotool("key", "Escape")
        self.key("k")  # the keys are the page's again
        # With its own search, printing and editor (o), the page keeps the keys: no bar, no print dialog, not minimised,
        # not back in its history; t: another page soon.
        for keys in ("o", "ctrl+f", "ctrl+p", "ctrl+h", "ctrl+m", "ctrl+bracketleft", "ctrl+bracketright", "z", "o", "t"):
            self.key(keys)
        press(window, "ctrl+f")
        self.until(lambda: "Find in page" in shown_names(pid, "text"), "the bar opens")
        self.until(lambda: "Find in page" not in shown_names(pid, "text"), "and closes for the next page")
        self.key("q")  # the new page's

    def test_print_opens_the_dialog_from_the_menu_key_and_the_page_says_why_it_failed_and_writes_a_pdf(self):
        documents = f"{self.home}/Documents"  # where GTK's "Print to File" writes; at first a file, no folder
        write(f"{self.home}/.config/user-dirs.dirs", f'XDG_DOCUMENTS_DIR="{documents}"\n')
        write(documents, "in the way")
        self.start(page="find.html")
        pid, window = self.running.process.pid, self.running.main_window()
        for keys in ("ctrl+p", "p"):  # the Print command, then the page's window.print()
            press(window, keys)
            # The dialog on the window (GTK may map a window of its own beside it for a moment).
            on = lambda: [w for w in self.running.windows() if f"{int(window):#x}" in run("xprop", "-id", w, "WM_TRANSIENT_FOR")]
            self.until(on, "on the window")
            dialog = on()[0]
            # At first no printer is chosen: "Print to File", the only one here; the next dialog starts from it.
            press(dialog, "Down Return" if keys == "ctrl+p" else "Return")
            if keys == "ctrl+p":
                self.until(lambda: any(n.startswith("Couldn't print: ") for n in shown_names(pid, "label")), "why")
                screenshot("print-failed.png")
                os.remove(documents)
                os.mkdir(documents)
        self.until(lambda: "/log?print=returned" in self.app.requests(), "the page's script goes on")
        pdf = lambda: run("pdftotext", *glob.glob(f"{documents}/*.pdf"), "-").splitlines()
        self.until(lambda: {"Haystack at the top.", "Needle three"} <= set(pdf()), "the page, all of it")
        os.remove(*glob.glob(f"{documents}/*.pdf"))
        press(window, "i")  # a frame's own window.print(): that frame
        press(self.running.dialog(), "Return")
        self.until(lambda: pdf() == ["Fake server"], str(pdf()))  # the fake server's page in the frame

    def test_the_context_menu_fits_an_application_and_the_inspector_is_there_only_with_its_variable(self):
        self.start(page="find.html")
        for inspector in ("", "1"):
            if inspector:
                self.running.close()
                with mock.patch.dict(os.environ, QUORVEL_INSPECTOR="1"):
                    self.running = self.quorvel(self.app)
                self.assertTrue(self.running.wait_page(), self.running.log())
            pid, window = self.running.process.pid, self.running.main_window()
            right_click = lambda y: xdotool("mousemove", "--window", window, "300", str(y), "click", "3")
            right_click(300)  # the page's own menu: no other
            self.until(lambda: self.app.requests().count("/log?contextmenu=own") == 1 + bool(inspector))
            right_click(500)  # an empty spot
            if inspector:
                self.until(lambda: shown_names(pid, "menu item") == ["Inspect Element"], str(shown_names(pid, "menu item")))
                xdotool("key", "Escape")
            else:
                self.until(lambda: "No context menu" in self.running.log(), "nothing fits there, and no menu was open")
            right_click(120)  # a link to another site
            self.until(lambda: shown_names(pid, "menu item") == ["Open Link in Browser", "Copy Link Location"] + [
                "Inspect Element"] * bool(inspector), str(shown_names(pid, "menu item")))
            screenshot(f"context-menu{inspector}.png")
            if not inspector:
                accessible(pid, "menu item", "Open Link in Browser").queryAction().doAction(0)
                self.until(lambda: read(self.opened) == f"http://127.0.0.1:{self.site}/foreign.html\n", read(self.opened))
                self.key("ctrl+shift+i", "/log?key=ctrl+I")  # not Quorvel's key: the page has it
                continue
            xdotool("key", "Escape")
            heights = lambda: [int(h) for h in re.findall(r"/log\?height=(\d+)", self.app.requests())]
            logged = len(heights())
            for toggles, shown in ((1, True), (2, False)):  # the inspector below the page, then gone again
                press(window, "ctrl+shift+i")
                self.until(lambda: len(heights()) >= logged + toggles and (heights()[-1] < heights()[0]) == shown,
                           heights())
                screenshot(f"inspector-{shown}.png")
        self.assertIn("web inspector enabled", self.running.log())

    def test_zoom_steps_by_keys_and_wheel_and_comes_back_at_the_next_launch_with_lasting_cookies_and_storage(self):
        self.start()
        self.key("x", "/log?key=x&width=1280")
        zoom, window = f"{self.home}/{DATA}/page-zoom", self.running.main_window()
        # Keys, then Ctrl + wheel up and down: one notch, one step.
        for action, saved in (("key ctrl+plus", "1.1"), ("key ctrl+equal", "1.25"), ("key ctrl+minus", "1.1"),
                              ("key ctrl+0", "1.0"), ("key ctrl+KP_Add", "1.1"), ("key ctrl+plus ctrl+plus", "1.5"),
                              ("key ctrl+KP_Subtract", "1.25"), ("keydown ctrl click 4 keyup ctrl", "1.5"),
                              ("keydown ctrl click 5 keyup ctrl", "1.25")):
            xdotool(*action.split())
            self.until(lambda: read(zoom) == saved, f"{action}: {read(zoom)}")
        press(window, "ctrl+q")
        self.assertEqual(self.running.wait_exit(), 0)
        self.running = self.quorvel(self.app)
        self.assertTrue(self.running.wait_page(), self.running.log())
        self.assertRegex(self.app.requests().splitlines()[-1], r"GET /\|cookie=.*keep=1", "a lasting cookie lasts")
        self.key("y", "/log?key=y&width=1024")  # the first page already at 1.25
        self.assertRegex(self.app.requests(), r"key=y.*\|cookie=.*stored=1", "local storage lasts")

    def test_the_page_learns_when_the_network_goes_and_comes_back(self):
        if subprocess.run(["unshare", "-n", "true"]).returncode != 0:
            self.skipTest("this machine refuses private network namespaces (unshare -n)")
        # GLib's network monitor follows the default route of Quorvel's own network namespace.
        self.start(prefix=["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0"'])
        self.assertRegex(self.app.requests(), r"GET /\|cookie=[^|]*offline=1", "started offline: the first page knows")
        for verb, told, times in (("add", "offline=false", 1), ("del", "offline=true", 1), ("add", "offline=false", 2)):
            run("nsenter", f"--net=/proc/{self.running.process.pid}/ns/net", "ip", "route", verb, "default", "dev", "lo")
            self.until(lambda: self.app.requests().count("/log?" + told) == times)
        self.key("z")
        self.assertNotIn("offline=1", self.app.requests().splitlines()[-1], "online: requests carry no offline cookie")

    def test_in_element_full_screen_the_page_is_alone_the_pointer_hides_at_rest_and_a_killed_quorvel_takes_its_server_along(self):
        self.start("worker=1\n").serve("report.csv", "a,b\n")
        self.key("d", "GET /report.csv?attachment")
        pid = self.running.process.pid  # GTK takes a hidden menu bar away entirely
        chrome = lambda: [bool(shown_names(pid, role)) for role in ("menu bar", "info bar")]
        self.until(lambda: chrome() == [True, True], "the menu bar and the download notice")
        xdotool("mousemove", "700", "400")
        time.sleep(1.5)  # what the move and the questions above set off
        rested = wakeups(pid)
        time.sleep(3)
        # Far fewer than a half-second timer would make.
        self.assertLessEqual(wakeups(pid) - rested, 3, "at rest Quorvel's own thread sleeps")
        self.assertFalse(cursor_blank(), "never hidden without element full screen")
        self.key("u", "/log?fullscreen=true")
        self.until(lambda: chrome() == [False, False], "the page alone on the screen")
        self.until(cursor_blank, "hidden after resting", 6)
        xdotool("mousemove", "720", "420")
        self.until(lambda: not cursor_blank(), "back at the first movement", 1)
        press(self.running.main_window(), "Escape")
        self.until(lambda: chrome() == [True, True], "both back after full screen")

        self.running.process.kill()  # the server has a worker (worker=1) to take along too
        self.until(lambda: not self.app.servers(), "gone within a second", 1)
        # Told as at a quit; the kernel repeats it for each of Quorvel's ending threads the server is handed to.
        self.assertRegex(self.app.file("fake_server.signals"), r"\A(INT\n)+\Z")

    def test_a_server_that_stops_can_be_restarted_and_a_page_that_stops_twice_reloaded_also_by_a_screen_reader(self):
        self.start("statuses=" + ",".join(["503"] * 12) + "\n", wait=False)  # not ready for 3 s
        pid = self.running.process.pid
        self.assertTrue(accessible(pid, "animation", "Starting Quorvel\u2026"), "the spinner says what it waits for")
        self.assertTrue(accessible(pid, "heading", "Keys", 30), "the page's content")
        accessible(pid, "push button", "Save draft").queryAction().doAction(0)
        self.until(lambda: "/log?button=pressed" in self.app.requests())
        self.key("3", "GET /second.html")
        self.key("x")  # from the second page, now shown
        token = self.app.requests().splitlines()[-1].split("launch_token=")[1][:64]
        self.key("r", "GET /redirect")  # to a foreign page that never answers: still the second page's
        self.until(lambda: "GET /slow" in read(f"{self.dir}/foreign/fake_requests.log"))
        os.kill(self.app.servers()[0], signal.SIGKILL)
        screenshot("server-stopped.png")
        press(self.running.main_window(), "alt+s")
        self.until(lambda: read(self.opened).endswith("/Library/Logs/Quorvel/server.log\n"))
        press(self.running.main_window(), "alt+r")
        self.until(lambda: self.app.requests().count("GET /second.html|cookie=launch_token=" + token) == 2,
                   "the page that was shown, with the same token")
        self.assertEqual(read(f"{self.dir}/foreign/fake_requests.log").count("GET /slow"), 1, "never the foreign page")

        def stop_the_page():  # kill Quorvel's web process, deep inside WebKit's sandbox but in Quorvel's process group
            for pid in run("pgrep", "-g", str(self.running.process.pid), "WebKitWebProces").split():
                os.kill(int(pid), signal.SIGKILL)
        loads = self.app.requests().count("GET /second.html")
        stop_the_page()
        self.until(lambda: self.app.requests().count("GET /second.html") == loads + 1, "reloaded once")
        stop_the_page()  # again within 30 s: the window says so
        screenshot("page-stopped.png")
        accessible(pid, "push button", "Reload").queryAction().doAction(0)
        self.until(lambda: self.app.requests().count("GET /second.html") == loads + 2, "reloaded by hand")

        write(self.app.app / "fake_server.conf", "exit_status=3\n")  # a restart that fails: the view again, saying why
        os.kill(self.app.servers()[0], signal.SIGKILL)
        press(self.running.main_window(), "alt+r")
        self.assertTrue(accessible(pid, "label", "This database was last opened by a newer Quorvel. Install that Release "
                                   "or a newer one."), self.running.log())
        press(self.running.main_window(), "shift+Tab ctrl+a ctrl+c")  # from the first button to the log: its keys
        copied = lambda: Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).wait_for_text() or ""
        self.until(lambda: copied().startswith("fake_server ") and copied().count(" ready\n--- Quorvel restarted") == 2)

    def test_at_twice_the_scale_the_page_has_twice_the_pixels_unblurred_and_f11_gives_it_the_screen(self):  # scale 2, also on Wayland
        self.start(page="scale.html")
        self.until(lambda: "/log?ratio=2&full=false&" in self.app.requests(), "twice the pixels")
        # The stripes as drawn, one pixel each: drawn for the screen's pixels, not enlarged from fewer.
        window = self.running.main_window()
        stripes = lambda: share(screenshot("scale-2.png", window), 400, 400, 200, 100, "abs(u-p[1,0])") > 0.9
        self.until(stripes, "stripes")
        for full in ("true", "false"):  # the window, and the page has the screen, drawn again
            press(window, "F11", keymap=[])
            self.until(lambda: full_screen(window) == (full == "true") and
                       re.findall(r"/log\?ratio=2&full=(\w+)", self.app.requests())[-1] == full and stripes(), full)

    def test_killed_at_any_moment_of_its_start_it_leaves_each_file_whole_or_absent(self):
        bundle, written = Bundle(self.dir, self.port), set()
        for run in range(24):
            # Each home sees a first start, then a second one over what the first left,
            # which gets an orderly quit (it saves the window state) to kill in the middle.
            home = f"{self.dir}/home{run // 2}"
            quorvel, moment = Quorvel(bundle, home), random.uniform(0, 1.5)
            if run % 2:
                eventually(lambda: "milestone: window shown" in quorvel.log())
                time.sleep(moment / 3)
                quorvel.process.send_signal(signal.SIGTERM)
                moment = random.uniform(0, 0.2)
            time.sleep(moment)
            quorvel.process.kill()
            quorvel.close()
            where = f"run {run}, killed {moment:.3f} s after the {'quit' if run % 2 else 'start'}"
            for name, form in (("secret_key_base", "[0-9a-f]{128}"), ("page-zoom", r"\d+\.\d+"),
                               ("window-state", r"\[MainWindow\]\nwidth=\d+\nheight=\d+\nmaximized=(true|false)\n")):
                if os.path.exists(f"{home}/{DATA}/{name}"):
                    self.assertRegex(read(f"{home}/{DATA}/{name}"), rf"\A{form}\Z", where)
                    written.add(name)
            if os.path.exists(f"{home}/{DATA}/secret_key_base"):
                self.assertEqual(os.stat(f"{home}/{DATA}/secret_key_base").st_mode & 0o777, 0o600, where)
        self.assertLessEqual({"secret_key_base", "window-state"}, written, "the runs got as far as writing both")

    def test_the_window_and_the_page_follow_the_desktops_dark_style_as_it_changes(self):
        from gi.repository import GLib
        _, emit = stand_in("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
                           [("ReadOne", "s s", "v")], {"ReadOne": GLib.Variant("(v)", (GLib.Variant("u", 0),))})
        write(f"{self.home}/.config/gtk-3.0/settings.ini", "[Settings]\ngtk-application-prefer-dark-theme=true\n")
        self.start(page="desktop.html")
        # No preference keeps the user's own GTK setting (dark), light clears it, no preference brings it back.
        for scheme, dark, times in ((0, "true", 1), (2, "false", 1), (0, "true", 2)):
            emit("SettingChanged", "(ssv)", ("org.freedesktop.appearance", "color-scheme", GLib.Variant("u", scheme)))
            self.until(lambda: self.app.requests().count(f"/log?dark={dark}|") == times, f"the page hears {scheme}")
            self.until(lambda: [share(screenshot(f"dark-{dark}.png", self.running.main_window()), x, y, 50, 10) > 0.5
                                for x, y in ((300, 5), (700, 500))] == [dark == "false"] * 2)  # the menu bar, the page

    def test_the_servers_pages_notify_through_the_desktop_and_a_click_brings_the_window_back(self):  # also on Wayland
        from gi.repository import GLib
        calls, emit = stand_in("org.freedesktop.Notifications", "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                               [("Notify", "s u s s s as a{sv} i", "u"), ("CloseNotification", "u", ""),
                                ("GetCapabilities", "", "as")],
                               {"Notify": GLib.Variant("(u)", (7,)), "GetCapabilities": GLib.Variant("(as)", (["body-markup"],))})
        write(f"{self.dir}/foreign/www/notify.html",
              "<script>Notification.requestPermission().then((a) => navigator.sendBeacon('/log?requested=' + a));</script>")
        self.start(page="desktop.html")
        # Granted from the first page without a question; geolocation refused; so is a foreign frame.
        for told in ("permission=granted", "requested=granted", "notifications=granted", "geolocation=denied", "position=refused"):
            self.until(lambda: f"/log?{told}|" in self.app.requests(), told)
        self.until(lambda: "/log?requested=denied|" in read(f"{self.dir}/foreign/fake_requests.log"), "not a foreign frame")
        press(self.running.main_window(), "F2")
        self.until(lambda: len(calls) == 2, "a notification")
        self.assertEqual(calls, [["GetCapabilities"], ["Notify", "Quorvel", 0, "app.quorvel.Quorvel", "Backup done",
                                  "All 3 notes &amp; drafts are saved.", ["default", "Open"],
                                  {"desktop-entry": "app.quorvel.Quorvel"}, -1]])  # escaped: the server reads markup
        window = self.running.main_window()
        press(window, "ctrl+w")
        self.until(lambda: not self.running.main_window(0.1), "the window hides")
        emit("ActivationToken", "(us)", (7, "token-for-wayland"))  # before the click, as servers send it
        emit("ActionInvoked", "(us)", (7, "default"))
        self.until(lambda: "/log?clicked|" in self.app.requests(), "the page's onclick")
        self.same_window(window)

    def test_misspelt_words_are_underlined_as_they_are_typed_with_suggestions_in_the_context_menu(self):
        self.start(page="desktop.html")
        for keys in ("Escape", "Tab"):  # into the first text area, then the second
            press(self.running.main_window(), keys)
            xdotool("type", "--delay", "40", "sentense wrds " if keys == "Escape" else "sentence words ")
        red = lambda x: share(screenshot("spelling.png", self.running.main_window()), x, 40, 300, 40, "r>0.6&&g<0.35&&b<0.35")
        self.until(lambda: [red(x) > 0 for x in (10, 620)] == [True, False], "underlined, not")
        xdotool("mousemove", "--window", self.running.main_window(), "30", "55", "click", "3")
        self.assertTrue(accessible(self.running.process.pid, "menu item", "sentence"), "a suggestion")

    def test_a_dropped_file_goes_to_a_drop_zone_and_elsewhere_does_nothing(self):
        drag_source(self.start(page="desktop.html").app / "www/index.html")
        window, source = self.running.main_window(), xdotool("search", "--sync", "--name", "^Drag source$")
        xdotool("windowmove", "--sync", window, "0", "0", "windowmove", "--sync", source, "1350", "300")
        for y in ("150", "400"):  # the drop zone, then below it
            entered = self.app.requests().count("/log?dragenter")
            xdotool("windowactivate", "--sync", source, "mousemove", "--window", source, "10", "10", "mousedown", "1")
            for move in [("mousemove_relative", "--", "-20", "0")] * 3 + [("mousemove", "--window", window, x, y)
                                                                           for x in ("300", "250", "200", "160", "150")]:
                xdotool("sleep", "0.15", *move)
            xdotool("sleep", "0.3", "mouseup", "1")
            self.until(lambda: self.app.requests().count("/log?dragenter") > entered, "the drag reaches the page")
        self.key("x", "/log?key=x")
        self.assertEqual((read(self.opened), self.app.requests().count("GET /|"), self.app.requests().count("dropped=")),
                         ("", 1, 1), "the drop zone's drop, and nothing opened or loaded")


if __name__ == "__main__":
    unittest.main()
