"""Quorvel against the engine's floor (and Chromium in app mode, when installed).

Run by scripts/bench.sh on a display of its own; see the README's "Benchmark".
Each program gets a fresh home for the whole run, which an unmeasured first
round fills (WebKit's data, GStreamer's plugin registry, a browser profile), so
the measured launches are ordinary ones, not first ones. The page's load handler
sends a beacon to a recorder here, so "first page" is process start until that
beacon arrives, the same way for every program. Never fails for slowness: it
only reports.
"""

import os
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
from urllib.parse import unquote

BUILD, FLOOR, RUNS = None, None, 0  # from the command line
IDLE_SECONDS = int(os.environ.get("BENCH_IDLE_SECONDS", "30"))
NAVIGATIONS = 100
SETTLE = 3.0
CHROMIUM = shutil.which("chromium")
WORK = Path(tempfile.mkdtemp(prefix="quorvel-bench-"))
ENVIRONMENT = dict(os.environ, GTK_A11Y="none", NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory")


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as s:
        return s.getsockname()[1]


class Recorder:
    # Beacons from the pages, with their arrival time; /go holds the page's
    # request until the idle measurements are done, then the navigations begin.
    def __init__(self):
        self.port, self.beacons, self.timings, self.lock = free_port(), {}, {}, threading.Condition()
        self.go = threading.Event()
        recorder = self

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                if self.path.startswith("/go"):
                    recorder.go.wait()
                elif self.path.startswith("/beacon?"):
                    kind, _, timing = self.path.split("?", 1)[1].partition("&")
                    with recorder.lock:
                        recorder.beacons.setdefault(kind, time.monotonic())
                        if timing:
                            recorder.timings[kind] = {unquote(k): float(v) for k, v in
                                                      (pair.split("=") for pair in timing.split("&"))}
                        recorder.lock.notify_all()
                self.send_response(204)
                self.send_header("Access-Control-Allow-Origin", "*")
                self.end_headers()

            do_POST = do_GET

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", self.port), Handler)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def reset(self):
        with self.lock:
            self.beacons.clear()
            self.timings.clear()
        self.go.clear()

    def wait(self, kind, timeout):
        with self.lock:
            self.lock.wait_for(lambda: kind in self.beacons, timeout)
            return self.beacons.get(kind)


def write_pages(www, recorder_port):
    beacon = f"http://127.0.0.1:{recorder_port}"
    www.mkdir(parents=True, exist_ok=True)
    text = "<p>" + "A page of an application that runs on this computer. " * 20 + "</p>"
    (www / "index.html").write_text(
        f"<!doctype html><title>Bench</title><h1>First page</h1>{text}<script>"
        # The engine's own times (ms since the epoch) of the steps to it, for the milestones.
        f"addEventListener('load', () => {{ const t = performance.timing;"
        f" navigator.sendBeacon('{beacon}/beacon?load&load%20asked=' + t.navigationStart +"
        " '&first%20byte=' + t.responseStart + '&DOM%20ready=' + t.domContentLoadedEventStart);"
        f" fetch('{beacon}/go', {{mode: 'no-cors'}}).then(() => location.href = 'a.html?n=1'); }});</script>")
    # Two pages that take turns; the last one says so. After the load event, so that
    # each navigation adds to the history as a click would.
    for name, other in (("a", "b"), ("b", "a")):
        (www / f"{name}.html").write_text(
            f"<!doctype html><title>Page {name}</title><h1>Page {name}</h1>{text}<script>"
            "addEventListener('load', () => setTimeout(() => {"
            " const n = Number(new URLSearchParams(location.search).get('n'));"
            f" if (n >= {NAVIGATIONS}) navigator.sendBeacon('{beacon}/beacon?navigated');"
            f" else location.href = '{other}.html?n=' + (n + 1); }}, 10));</script>")


def descendants(root):
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            children.setdefault(int(stat.rsplit(")", 1)[1].split()[1]), []).append(int(entry))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def exe(pid):
    try:
        return os.readlink(f"/proc/{pid}/exe")
    except OSError:
        return ""


def tree(root, server_exe):
    # The program and WebKit's (or Chromium's) processes; the server and its children excluded.
    server = [p for p in descendants(root) if server_exe and exe(p) == server_exe]
    excluded = {q for p in server for q in descendants(p)}
    return [p for p in descendants(root) if p not in excluded], (server[0] if server else None)


def started(pid):
    # When a process began, in seconds since boot (clock ticks: 10 ms steps), and its command line.
    try:
        fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        return int(fields[19]) / os.sysconf("SC_CLK_TCK"), Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        return None, b""


# Helper processes by their command line: WebKit's, then Chromium's.
HELPERS = {"web process started": (b"WebKitWebProcess", b"--type=renderer"),
           "network process started": (b"WebKitNetworkProcess", b"NetworkService")}


def milestones(launch, recorder):
    # Common to every program, in ms since its start: its helper processes' start
    # (from /proc, in 10 ms steps), then the page's own times from the engine.
    row = {}
    begun, _ = started(launch.process.pid)
    for name, marks in HELPERS.items():
        times = [t for t, cmdline in map(started, descendants(launch.process.pid)[1:])
                 if t is not None and any(mark in cmdline for mark in marks)]
        if begun is not None and times:
            row[name] = (min(times) - begun) * 1000
    for name, epoch_ms in recorder.timings.get("load", {}).items():
        if epoch_ms > 0:
            row[name] = epoch_ms - launch.wall_start * 1000
    return row


def pss_mib(pids):
    total = 0
    for pid in pids:
        try:
            for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
                if line.startswith("Pss:"):
                    total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024


def ticks(pids):
    total = {}
    for pid in pids:
        try:
            fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
            total[pid] = sum(int(f) for f in fields[11:15])  # utime stime cutime cstime
        except OSError:
            pass
    return total


class Launch:
    def __init__(self, name, argv, env, server_exe=""):
        self.name, self.server_exe, self.lines = name, server_exe, []
        self.home = WORK / "homes" / name
        self.home.mkdir(parents=True, exist_ok=True)
        env = dict(env, HOME=str(self.home), XDG_CONFIG_HOME=f"{self.home}/.config",
                   XDG_DATA_HOME=f"{self.home}/.local/share", XDG_CACHE_HOME=f"{self.home}/.cache",
                   QUORVEL_HOME=str(self.home), G_MESSAGES_DEBUG="Quorvel")
        self.start, self.wall_start = time.monotonic(), time.time()
        self.process = subprocess.Popen(argv, env=env, cwd=self.home, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line))

    def milestone(self, name, timeout=90):
        # Milliseconds from start until Quorvel logged the milestone, as it arrived.
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.process.poll() is None:
            for when, line in list(self.lines):
                if f"milestone: {name} at" in line:
                    return (when - self.start) * 1000
            time.sleep(0.005)
        return None

    def quit(self):
        # SIGTERM until the program's exit; and from its server's exit to its own.
        pids, server = tree(self.process.pid, self.server_exe)
        fds = {"main": os.pidfd_open(self.process.pid)}
        if server:
            fds["server"] = os.pidfd_open(server)
        ended, sent = {}, time.monotonic()
        self.process.send_signal(signal.SIGTERM)
        while "main" not in ended and time.monotonic() - sent < 20:
            ready, _, _ = select.select([fd for k, fd in fds.items() if k not in ended], [], [], 0.5)
            for key, fd in fds.items():
                if fd in ready:
                    ended[key] = time.monotonic()
        for fd in fds.values():
            os.close(fd)
        if "main" not in ended:
            self.process.kill()
        self.process.wait()
        for pid in pids:  # nothing of the program outlives a benchmark launch
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        quit_ms = (ended["main"] - sent) * 1000 if "main" in ended else None
        after_server = (ended["main"] - ended["server"]) * 1000 if len(ended) == 2 else None
        return quit_ms, after_server


def measure(launch, recorder, results):
    # One launch of a program on the stand-in server's pages: everything but (b).
    loaded = recorder.wait("load", 60)
    if loaded is None:
        print(f"  {launch.name}: no first page within 60 s", file=sys.stderr)
        launch.quit()
        return
    row = {"first page": (loaded - launch.start) * 1000}
    row.update({f"milestone: {name}": ms for name, ms in milestones(launch, recorder).items()})
    for name in ("settings ready", "server launched", "window shown", "web process ready", "server ready"):
        if launch.name == "Quorvel" and (ms := launch.milestone(name, 1)) is not None:
            row[f"milestone: Quorvel's {name}"] = ms
    row["milestone: first page (beacon)"] = row["first page"]
    time.sleep(SETTLE)
    row["PSS after load"] = pss_mib(tree(launch.process.pid, launch.server_exe)[0])
    before = ticks(tree(launch.process.pid, launch.server_exe)[0])
    time.sleep(IDLE_SECONDS)
    after = ticks(tree(launch.process.pid, launch.server_exe)[0])
    row["idle CPU ticks"] = sum(after[p] - before.get(p, 0) for p in after)
    recorder.go.set()
    if recorder.wait("navigated", 120) is not None:
        time.sleep(SETTLE)
        row["PSS after navigations"] = pss_mib(tree(launch.process.pid, launch.server_exe)[0])
        row["PSS growth %"] = (row["PSS after navigations"] / row["PSS after load"] - 1) * 100
    row["SIGTERM to exit"], after_server = launch.quit()
    if after_server is not None:
        row["server exit to exit"] = after_server
    for key, value in row.items():
        results.setdefault(launch.name, {}).setdefault(key, []).append(value)


def quorvel_bundle(port):
    # Quorvel with tests/fake_server as its server: ready at once, serving www/.
    contents = WORK / "Quorvel.app/Contents"
    (contents / "Linux").mkdir(parents=True)
    (contents / "Info.plist").write_text(
        f"<plist version='1.0'><dict><key>QuorvelPort</key><string>{port}</string>"
        "<key>CFBundleShortVersionString</key><string>1.0</string>"
        "<key>CFBundleVersion</key><string>1.0</string></dict></plist>")
    shutil.copy(BUILD / "quorvel", contents / "Linux/quorvel")
    ruby = contents / "Resources/ruby/bin/ruby"
    ruby.parent.mkdir(parents=True)
    shutil.copy(BUILD / "tests/fake_server", ruby)
    (contents / "Resources/app").mkdir()
    (contents / "Resources/app/fake_server.conf").write_text("")
    return contents / "Linux/quorvel", contents / "Resources/app/www", str(ruby)


def contestants():
    # The recorder, each program as (name, argv, its server's executable), and what ends the stand-in site.
    recorder = Recorder()
    quorvel_port = free_port()
    quorvel, quorvel_www, quorvel_server = quorvel_bundle(quorvel_port)
    write_pages(quorvel_www, recorder.port)
    # The floor and Chromium read the same pages from the same server, started beforehand.
    site = WORK / "site"
    write_pages(site / "www", recorder.port)
    (site / "fake_server.conf").write_text("")
    site_port = free_port()
    site_server = subprocess.Popen([BUILD / "tests/fake_server", "-b", f"tcp://127.0.0.1:{site_port}"],
                                   cwd=site, stdout=subprocess.DEVNULL)
    site_url = f"http://127.0.0.1:{site_port}/"
    programs = [("floor", [FLOOR, site_url], ""), ("Quorvel", [quorvel], quorvel_server)]
    if CHROMIUM:
        programs.append(("Chromium", [CHROMIUM, "--no-sandbox", "--no-first-run", "--no-default-browser-check",
                                      "--disable-background-networking", "--disable-component-update",
                                      "--disable-sync", "--window-size=1280,860", f"--app={site_url}"], ""))

    def finish():
        recorder.go.set()
        site_server.terminate()
        site_server.wait()
        shutil.rmtree(WORK, ignore_errors=True)
    return recorder, programs, finish


def main():
    recorder, programs, finish = contestants()
    env = ENVIRONMENT
    sample = BUILD / "Quorvel.app/Contents/Linux/quorvel"
    sample_server = str(BUILD / "Quorvel.app/Contents/Resources/ruby/bin/ruby")

    results, sample_rows = {}, {}
    for round_ in range(RUNS + 1):  # round 0 warms the disk cache and the session bus
        label = "warm-up" if round_ == 0 else f"run {round_}/{RUNS}"
        print(f"{label} ...", file=sys.stderr, flush=True)
        for name, argv, server_exe in programs:
            recorder.reset()
            launch = Launch(name, argv, env, server_exe)
            if round_ == 0:
                recorder.wait("load", 60)
                launch.quit()
            else:
                measure(launch, recorder, results)
        launch = Launch("Quorvel, sample", [sample], env, sample_server)
        row = {"server ready": launch.milestone("server ready"),
               "first page": launch.milestone("first page load finished")}
        time.sleep(0.5)
        row["SIGTERM to exit"], row["server exit to exit"] = launch.quit()
        if round_ > 0:
            for key, value in row.items():
                if value is not None:
                    sample_rows.setdefault(key, []).append(value)
    finish()
    report(results, sample_rows, [name for name, _, _ in programs])


def median(values):
    return statistics.median(values) if values else None


def report(results, sample_rows, names):
    def cell(name, key, unit):
        value = median(results.get(name, {}).get(key, []))
        return "—" if value is None else f"{value:.0f}{unit}" if unit != " %" else f"{value:+.1f} %"

    print(f"\nMedians of {RUNS} runs (alternating), idle window {IDLE_SECONDS} s, "
          f"{NAVIGATIONS} navigations; Quorvel/floor in the last column.")
    rows = [("(a) start → first page", "first page", " ms"),
            ("PSS 3 s after load", "PSS after load", " MiB"),
            (f"PSS after {NAVIGATIONS} navigations", "PSS after navigations", " MiB"),
            ("PSS growth", "PSS growth %", " %"),
            (f"CPU ticks idle {IDLE_SECONDS} s", "idle CPU ticks", ""),
            ("SIGTERM → exit", "SIGTERM to exit", " ms"),
            ("server exit → exit", "server exit to exit", " ms")]
    print(f"{'':34}" + "".join(f"{n:>12}" for n in names) + f"{'ratio':>10}")
    for title, key, unit in rows:
        floor, ours = median(results.get("floor", {}).get(key, [])), median(results.get("Quorvel", {}).get(key, []))
        ratio = f"{ours / floor:.2f}x" if floor and ours is not None and unit in (" ms", " MiB") else ""
        print(f"{title:34}" + "".join(f"{cell(n, key, unit):>12}" for n in names) + f"{ratio:>10}")
    print("\nMilestones, medians in ms since the program's start (helpers' starts in 10 ms steps):")
    print(f"{'':34}" + "".join(f"{n:>12}" for n in names))
    keys = {k for n in names for k in results.get(n, {}) if k.startswith("milestone: ")}
    for key in sorted(keys, key=lambda k: min(median(results[n][k]) for n in names if k in results.get(n, {}))):
        print(f"  {key[11:]:32}" + "".join(f"{cell(n, key, ''):>12}" for n in names))
    print("\n(b) Quorvel with the sample application (build/Quorvel.app):")
    for key in ("server ready", "first page", "SIGTERM to exit", "server exit to exit"):
        value = median(sample_rows.get(key, []))
        print(f"  start → {key:24}" if key in ("server ready", "first page") else f"  {key:32}",
              "—" if value is None else f"{value:.0f} ms")
    ready, page = median(sample_rows.get("server ready", [])), median(sample_rows.get("first page", []))
    if ready is not None and page is not None:
        print(f"  first page after server ready     {page - ready:.0f} ms")
    verdicts(results, sample_rows)


def verdicts(results, sample_rows):
    def m(name, key):
        return median(results.get(name, {}).get(key, []))

    floor_page, page, chromium_page = m("floor", "first page"), m("Quorvel", "first page"), m("Chromium", "first page")
    ready, sample_page = median(sample_rows.get("server ready", [])), median(sample_rows.get("first page", []))
    checks = [
        ("(a) first page ≤ floor + 20 ms", floor_page is not None and page is not None and page <= floor_page + 20),
        ("(a) first page ahead of Chromium app mode",
         None if chromium_page is None else page is not None and page < chromium_page),
        ("(b) first page ≤ server ready + 120 ms", ready is not None and sample_page is not None
         and sample_page <= ready + 120),
        ("PSS ≤ the floor's", (m("Quorvel", "PSS after load") or 1e9) <= (m("floor", "PSS after load") or 0)),
        ("idle CPU ticks ≤ the floor's", (m("Quorvel", "idle CPU ticks") if m("Quorvel", "idle CPU ticks") is not None
                                           else 1e9) <= (m("floor", "idle CPU ticks") or 0)),
        ("PSS ≤ 0.95x the floor", (m("Quorvel", "PSS after load") or 1e9) <= 0.95 * (m("floor", "PSS after load") or 0)),
        ("PSS growth after navigations ≤ 5 %", (m("Quorvel", "PSS growth %") if m("Quorvel", "PSS growth %") is not None
                                                 else 1e9) <= 5),
        ("idle CPU ≤ 0.1 % of a core", (m("Quorvel", "idle CPU ticks") if m("Quorvel", "idle CPU ticks") is not None
                                         else 1e9) <= IDLE_SECONDS * os.sysconf("SC_CLK_TCK") * 0.001),
        ("quit ≤ server exit + 20 ms", (m("Quorvel", "server exit to exit") if m("Quorvel", "server exit to exit")
                                         is not None else 1e9) <= 20),
    ]
    print("\nTargets:")
    for title, met in checks:
        print(f"  {'met    ' if met else 'not met' if met is not None else 'n/a    '}  {title}")


if __name__ == "__main__":
    BUILD, FLOOR, RUNS = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
    main()
