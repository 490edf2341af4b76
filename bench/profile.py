"""Where start-up goes: one launch of the floor and one of Quorvel, each under
`perf record` (CPU samples with DWARF call chains, process execs, on
CLOCK_MONOTONIC), after one unprofiled launch of each. Prints, per program, a
timeline from exec to the first page in 20 ms steps: milliseconds on a CPU of
the main thread, the other threads, WebKit's network and web processes and the
server, what the main thread and the web process ran, and the milestones where
they fell. Run by scripts/bench.sh --profile; sampling slows every program a
little, so the times are for comparing, not for the targets.
"""

import collections
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import bench

STEP = 20.0
PLUMBING = {"[kernel.kallsyms]", "[unknown]", "inlined", "libc", "libstdc++", "libglib-2.0", "libgobject-2.0"}


def samples(data):
    # (time in ms on CLOCK_MONOTONIC, pid, tid, event, comm, [(symbol, dso), innermost first])
    out = subprocess.run(["perf", "script", "-i", data, "-F", "comm,pid,tid,time,event,ip,sym,dso"],
                         capture_output=True, text=True, errors="replace").stdout
    head, stack = None, []
    for line in out.splitlines() + [""]:
        if line and not line[0].isspace():
            if head:
                yield (*head, stack)
            match = re.match(r"\s*(.+?)\s+(\d+)/(\d+)\s+([\d.]+):\s+(?:\d+\s+)?(\S+):", line)
            head = (float(match[4]) * 1000, int(match[2]), int(match[3]), match[5], match[1]) if match else None
            stack = []
        elif line.strip() and (frame := re.match(r"\s*[0-9a-f]+ (.*) \((.*)\)$", line)):
            stack.append((frame[1], frame[2].rsplit("/", 1)[-1]))
    if head:
        yield (*head, stack)


def library(stack):
    libs = [name for name in (re.sub(r"\.so[.\d]*$", "", dso) for _, dso in stack) if name not in PLUMBING]
    return libs[0].replace("ld-linux-x86-64", "ld.so") if libs else "system"


def main_thread_ran(stack, program):
    # The innermost frame of the program's own code, and the library it had called.
    for index, (symbol, dso) in enumerate(stack):
        if dso == program and not symbol.startswith(("std::", "__invoke")):
            callee = library(stack[:index])
            name = re.sub(r"\(.*", "", symbol).replace("quorvel::", "")
            return f"{name[:38]} > {callee}"
    return library(stack)


def timeline(title, data, program, marks, until):
    events = list(samples(data))
    execs = {pid: (when, comm) for when, pid, _, event, comm, _ in events if event.endswith("sched_process_exec")}
    root = min((p for p, (_, comm) in execs.items() if comm.startswith(program[:15])), key=lambda p: execs[p][0])
    start = execs[root][0]
    kinds = {"main": "main thread", "threads": "its threads"}
    cpu = collections.defaultdict(collections.Counter)
    ran = collections.defaultdict(collections.Counter)
    web_ran = collections.defaultdict(collections.Counter)
    period = None
    for when, pid, tid, event, comm, stack in events:
        if event != "cpu-clock" or when < start or when - start > until:
            continue
        period = period or 1000 / 999
        step = int((when - start) // STEP)
        name = execs.get(pid, (0, comm))[1]
        who = ("main" if tid == root else "threads") if pid == root else \
            "network" if "Network" in name else "web" if "WebProc" in name else "server" if pid in execs else None
        if who is None:
            continue
        cpu[step][who] += period
        if who == "main":
            ran[step][main_thread_ran(stack, program)] += period
        elif who == "web":
            web_ran[step][library(stack)] += period
    columns = ["main", "threads", "network", "web", "server"]
    print(f"\n{title}: ms on a CPU per {STEP:.0f} ms, from exec to the first page")
    print(f"{'ms':>9}" + "".join(f"{c:>8}" for c in columns) + "  main thread ran; web process ran")
    for pid, (when, comm) in sorted(execs.items(), key=lambda item: item[1][0]):
        if pid != root and 0 <= when - start <= until:
            marks = marks + [(when - start, f"exec {comm}")]
    web_exec = min((when - start for pid, (when, comm) in execs.items() if "WebProc" in comm and when >= start),
                   default=until)
    main_cpu = sum(v for step, c in cpu.items() for k, v in c.items() if k == "main" and step * STEP < web_exec)
    print(f"  the web process's exec at {web_exec:.0f} ms, the main thread on a CPU {main_cpu:.0f} ms until then")
    for step in range(int(until // STEP) + 1):
        noted = [name for at, name in sorted(marks) if step * STEP <= at < (step + 1) * STEP]
        what = ", ".join(f"{k} {v:.0f}" for k, v in ran[step].most_common(2))
        web = ", ".join(f"{k} {v:.0f}" for k, v in web_ran[step].most_common(1))
        row = "".join(f"{cpu[step][c]:8.0f}" if cpu[step][c] else f"{'·':>8}" for c in columns)
        print(f"{step * STEP:5.0f}-{(step + 1) * STEP:<4.0f}{row}  {what}{'; ' + web if web else ''}"
              + "".join(f"  <-- {n}" for n in noted))


def profile(name, argv, recorder, server_exe, data):
    recorder.reset()
    wrapped = ["perf", "record", "-q", "-k", "CLOCK_MONOTONIC", "-F", "999", "--call-graph", "dwarf,16384",
               "-e", "cpu-clock", "-e", "sched:sched_process_exec", "-o", str(data), "--"] + [str(a) for a in argv]
    launch = bench.Launch(name, wrapped, bench.ENVIRONMENT, server_exe)
    loaded = recorder.wait("load", 60)
    time.sleep(0.5)
    program = next((p for p in bench.descendants(launch.process.pid)[1:]), None)
    if program:
        os.kill(program, signal.SIGTERM)
    launch.process.wait(30)
    # Everything on CLOCK_MONOTONIC, in ms since the launch; turned into ms since exec later.
    marks = [((when - launch.start) * 1000, re.search(r"milestone: (.*?) at", line)[1])
             for when, line in launch.lines if "milestone: " in line and "quit" not in line]
    offset = (time.time() - time.monotonic()) * 1000
    marks += [(epoch - offset - launch.start * 1000, step) for step, epoch in recorder.timings.get("load", {}).items()]
    if loaded:
        marks.append(((loaded - launch.start) * 1000, "first page (beacon)"))
    return launch.start * 1000, marks


def main():
    if not subprocess.run(["sh", "-c", "command -v perf"], capture_output=True).stdout:
        sys.exit("perf is not installed: apt-get install linux-perf")
    recorder, programs, finish = bench.contestants()
    for name, argv, server_exe in programs[:2]:
        recorder.reset()
        warm = bench.Launch(name, argv, bench.ENVIRONMENT, server_exe)
        recorder.wait("load", 60)
        warm.quit()
        data = bench.WORK / f"{name}.data"
        launched, marks = profile(name, argv, recorder, server_exe, data)
        events = list(samples(str(data)))
        exec_at = min(when for when, _, _, event, comm, _ in events
                      if event.endswith("sched_process_exec") and comm.startswith(Path(argv[0]).name[:15]))
        marks = [(at + launched - exec_at, what) for at, what in marks]
        page = max((at for at, what in marks if what == "first page (beacon)"), default=2000)
        timeline(name, str(data), Path(argv[0]).name, marks, page + STEP)
    finish()


if __name__ == "__main__":
    bench.BUILD, bench.FLOOR = Path(sys.argv[1]), Path(sys.argv[2])
    main()
