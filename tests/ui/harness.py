# UI tests run the real Quorvel executable in a temporary bundle, on the display
# tests/ui/desktop.sh made for them, act through the keyboard (xdotool) and signals,
# and observe what a person or the server would: windows, screenshots, files, the
# server's request log, the process table and Quorvel's start-up log.

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

BUILD = Path(os.environ.get("QUORVEL_BUILD", Path(__file__).parent / "../../build"))
ARTIFACTS = BUILD / "ui-artifacts"


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


def press(window, keys):
    # Not --sync: xdotool can wait for many seconds when the window is already active.
    xdotool("windowactivate", window)
    eventually(lambda: xdotool("getactivewindow") == window, 3)
    time.sleep(0.15)
    xdotool("key", "--clearmodifiers", *keys.split())


def screenshot(name, window="root", settle=1.5):
    # After `settle` seconds, for what is on screen to have been painted.
    time.sleep(settle)
    ARTIFACTS.mkdir(exist_ok=True)
    run("import", "-window", window, str(ARTIFACTS / name))
    return str(ARTIFACTS / name)


def size(window):
    geometry = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).splitlines())
    return int(geometry.get("WIDTH", 0)), int(geometry.get("HEIGHT", 0))


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


class UiTest(unittest.TestCase):
    # Each test gets its own folder, home and port, and a home whose default handler
    # for links, mail, files and folders records in self.opened what it is asked to open.
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quorvel-ui-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.port, self.home = free_port(), os.path.join(self.dir, "home")
        self.opened, script = os.path.join(self.dir, "opened"), os.path.join(self.home, "test-handler")
        write(script, f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{self.opened}'\n")
        os.chmod(script, 0o755)
        types = ("x-scheme-handler/http", "x-scheme-handler/https", "x-scheme-handler/mailto", "text/plain", "text/csv",
                 "inode/directory")
        write(f"{self.home}/.local/share/applications/test-handler.desktop",
              f"[Desktop Entry]\nType=Application\nName=Test Handler\nNoDisplay=true\nExec={script} %u\n"
              f"MimeType={';'.join(types)};\n")
        write(f"{self.home}/.config/mimeapps.list",
              "[Default Applications]\n" + "".join(f"{t}=test-handler.desktop\n" for t in types))

    def bundle(self, conf="", plist=""):
        return Bundle(os.path.join(self.dir, "bundle"), self.port, conf, plist)

    def quorvel(self, bundle, *args, prefix=()):
        run = Quorvel(bundle, self.home, args, prefix)
        self.addCleanup(run.close)
        return run
