#!/usr/bin/env python3
"""The measurements of scripts/bench-e2e, in a sandbox world that scripts/sandbox-world made and
whose exe `sandbox_scenario.py install` installed.

  bench_e2e.py window PREFIX SIMDIR FLOOR ROUNDS   start up to the status window, against FLOOR
  bench_e2e.py silent PREFIX SIMDIR ROUNDS         the helper's time between the lobby's answers

`window`: each round starts the installed helper with a join link (its lobby holds the first
answer back, so the worker thread does nothing meanwhile) and FLOOR (benchmarks/window_floor),
alternating which goes first, each as `timeout wine PROGRAM` from here. A program's time runs
from just before that start to the moment the X server reports its window titled "Quorvel"
mapped (a MapNotify on the root window, which this script selects through libX11; bare Xvfb has
no window manager, so a top-level window's X window is a child of the root). Neither program
takes part in the observation. The program is then ended by its process id.

`silent`: each round plays the `silent` scenario of scripts/demo (sandbox_scenario.py; the
prefix's wine server is ended first, which also ends the previous round's Dota client). The
simulator stamps every request with time.monotonic() when its connection was accepted and when
its answer was written; a gap is the time from one answer to the next request's connection, time
the helper spends on its own (plus its TCP connect). The helper's `--health-check` children are
seen from outside through the kernel's process events (the proc connector, which needs root): a
child is a process of this prefix whose command line carries `--health-check`; its time runs from
the helper's fork that begins its start (Wine forks twice) to the end of its last thread. The
children run in the gap after the first answer (the update step before the join), and are
reported apart from the helper's own time. Without root, the children are reported as not
measured.
"""
import contextlib
import ctypes
import ctypes.util
import io
import os
import select
import signal
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sandbox_scenario  # noqa: E402

TITLE = b"Quorvel"


# --- the X side -------------------------------------------------------------------------------

class MapWatch:
    """Reports top-level windows mapped on the display, with the monotonic time they were seen."""

    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 1 << 19

    def __init__(self):
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_void_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # A window may be gone before its name is asked for; Xlib's default handler would end
        # this process for that.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self.ignore_errors = handler_type(lambda display, error: 0)
        x.XSetErrorHandler.argtypes = [handler_type]
        x.XSetErrorHandler(self.ignore_errors)
        self.x = x
        self.display = x.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display %s" % os.environ.get("DISPLAY"))
        x.XSelectInput(self.display, x.XDefaultRootWindow(self.display), self.SUBSTRUCTURE_NOTIFY_MASK)
        x.XSync(self.display, 0)
        self.fd = x.XConnectionNumber(self.display)
        self.event = ctypes.create_string_buffer(192)  # sizeof(XEvent)

    def drain(self):
        """Forgets the events seen so far."""
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, self.event)

    def name(self, window):
        text = ctypes.c_void_p()
        if not self.x.XFetchName(self.display, window, ctypes.byref(text)) or not text.value:
            return None
        value = ctypes.string_at(text.value)
        self.x.XFree(text)
        return value

    def wait_mapped(self, title, deadline):
        """The monotonic time a window with this title was mapped, or None at the deadline."""
        while True:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, self.event)
                seen = time.monotonic()
                kind = struct.unpack_from("=i", self.event.raw, 0)[0]
                if kind != self.MAP_NOTIFY:
                    continue
                window = struct.unpack_from("=Q", self.event.raw, 40)[0]  # XMapEvent.window
                if self.name(window) == title:
                    return seen
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.fd], [], [], left)


def start_wine(prefix, program, *arguments):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    return subprocess.Popen(["timeout", "-s", "KILL", "60", "wine", program, *arguments], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)


def end_wine(started):
    """Ends the Windows program that `timeout` runs (wine replaces itself by it), by its pid."""
    try:
        with open("/proc/%d/task/%d/children" % (started.pid, started.pid)) as f:
            children = [int(p) for p in f.read().split()]
    except OSError:
        children = []
    for pid in children:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    started.wait(timeout=60)


def time_to_window(watch, prefix, program, *arguments):
    watch.drain()
    start = time.monotonic()
    started = start_wine(prefix, program, *arguments)
    mapped = watch.wait_mapped(TITLE, start + 30)
    end_wine(started)
    if mapped is None:
        raise RuntimeError("%s showed no window titled %s within 30 s" % (program, TITLE.decode()))
    return (mapped - start) * 1000


def installed_exe(world):
    command = sandbox_scenario.registered_command(world)
    if not command or not command.startswith('"'):
        raise RuntimeError("txqjoin is not registered in %s" % world.prefix)
    return command.split('"')[1]


def window_rounds(world, floor, rounds):
    helper = installed_exe(world)
    floor_copy = os.path.join(world.c, "bench", "window_floor.exe")
    os.makedirs(os.path.dirname(floor_copy), exist_ok=True)
    with open(floor, "rb") as source, open(floor_copy, "wb") as target:
        target.write(source.read())
    floor_windows = r"C:\bench\window_floor.exe"
    link = "txqjoin://enter/?ticket=" + sandbox_scenario.ticket("window")
    # The first request, the early progress report, is answered only long after the window shows.
    world.sim("DELETE", "/instances/default/rules")
    world.sim("POST", "/instances/default/rules", {"path": sandbox_scenario.PROGRESS, "delayMs": 20000})
    watch = MapWatch()
    helper_times, floor_times = [], []
    try:
        time_to_window(watch, world.prefix, helper, link)  # warms the prefix's desktop and caches
        time_to_window(watch, world.prefix, floor_windows)
        for i in range(rounds):
            order = [(helper_times, helper, [link]), (floor_times, floor_windows, [])]
            for times, program, arguments in (order if i % 2 == 0 else order[::-1]):
                times.append(time_to_window(watch, world.prefix, program, *arguments))
    finally:
        world.sim("DELETE", "/instances/default/rules")
    helper_ms, floor_ms = statistics.median(helper_times), statistics.median(floor_times)
    print("start to a visible window, %d rounds (medians, from `wine PROGRAM` to the X map):" % rounds)
    print("  %-56s %7.1f ms  (%s)" % ("helper (join link, status window)", helper_ms, spread(helper_times)))
    print("  %-56s %7.1f ms  (%s)" % ("floor (the same window alone)", floor_ms, spread(floor_times)))
    print("  ratio: %.2fx (target at most 1.3x)" % (helper_ms / floor_ms))
    return True


def spread(values):
    return "%.0f-%.0f ms" % (min(values), max(values))


# --- the kernel's process events --------------------------------------------------------------

class ProcessEvents(threading.Thread):
    """Every fork, exec and exit on the machine while it runs, from the kernel's proc connector,
    with the kernel's CLOCK_MONOTONIC time (that of time.monotonic()). The command line and
    WINEPREFIX of each exec are read at once."""

    FORK, EXEC, EXIT = 1, 2, 0x80000000

    def __init__(self):
        super().__init__(daemon=True)
        self.sock = socket.socket(socket.AF_NETLINK, socket.SOCK_DGRAM, 11)  # NETLINK_CONNECTOR
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, 33, 8 << 20)  # SO_RCVBUFFORCE
            self.sock.bind((0, 1))  # CN_IDX_PROC
            listen = struct.pack("=I", 1)  # PROC_CN_MCAST_LISTEN
            message = struct.pack("=IIIIHH", 1, 1, 0, 0, len(listen), 0) + listen
            self.sock.send(struct.pack("=IHHII", 16 + len(message), 3, 0, 0, 0) + message)  # NLMSG_DONE
        except OSError:
            self.sock.close()
            raise
        self.lock = threading.Lock()
        self.forks, self.execs, self.exits = {}, {}, {}  # child tgid -> (parent tgid, s); tgid -> ...
        self.stopping = False
        self.start()

    def run(self):
        self.sock.settimeout(0.2)
        while not self.stopping:
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                continue
            except OSError:
                continue  # a burst beyond the buffer; the events of this round may be incomplete
            if len(data) < 52:
                continue
            what, _, stamp = struct.unpack_from("=IIQ", data, 36)
            seconds = stamp / 1e9
            if what == self.FORK:
                _, parent_tgid, child_pid, child_tgid = struct.unpack_from("=IIII", data, 52)
                if child_pid == child_tgid:  # a new process, not a thread
                    with self.lock:
                        self.forks[child_tgid] = (parent_tgid, seconds)
            elif what == self.EXEC:
                _, tgid = struct.unpack_from("=II", data, 52)
                cmdline, prefix = read_process(tgid)
                with self.lock:
                    self.execs[tgid] = (seconds, cmdline, prefix)
            elif what == self.EXIT:
                _, tgid = struct.unpack_from("=II", data, 52)
                with self.lock:
                    self.exits[tgid] = seconds  # the last of its threads to end is kept

    def clear(self):
        with self.lock:
            self.forks.clear()
            self.execs.clear()
            self.exits.clear()

    def children(self, prefix, tag):
        """(start, end, pid) of each process of this prefix whose command line carries tag."""
        with self.lock:
            out = []
            for tgid, (_, cmdline, seen_prefix) in self.execs.items():
                if seen_prefix is None or os.path.realpath(seen_prefix) != os.path.realpath(prefix) or tag not in cmdline or tgid not in self.exits:
                    continue
                start, pid = self.forks.get(tgid, (None, None))[1], tgid
                # Wine starts a process through a short-lived intermediate fork: begin at the
                # fork that made that intermediate when there is one.
                parent = self.forks.get(tgid, (None, None))[0]
                if parent in self.forks and parent not in self.execs:
                    start = self.forks[parent][1]
                if start is not None:
                    out.append((start, self.exits[tgid], pid))
            return sorted(out)

    def stop(self):
        self.stopping = True
        self.join()
        self.sock.close()


def read_process(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            cmdline = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        with open("/proc/%d/environ" % pid, "rb") as f:
            prefix = next((v[len(b"WINEPREFIX="):].decode("utf-8", "replace") for v in f.read().split(b"\0")
                           if v.startswith(b"WINEPREFIX=")), None)
        return cmdline, prefix
    except OSError:
        return "", None


# --- the silent scenario ----------------------------------------------------------------------

def label(request):
    phase = sandbox_scenario.phase_of(request)
    path = sandbox_scenario.short_path(request["path"])
    return "%s %s" % (path.rsplit("/", 1)[-1], phase) if phase else path.rsplit("/", 1)[-1]


def silent_round(world, events):
    subprocess.run(["timeout", "60", "wineserver", "-k"], env=dict(os.environ, WINEPREFIX=world.prefix),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if events:
        events.clear()
    report = io.StringIO()
    with contextlib.redirect_stdout(report):
        ok = sandbox_scenario.click(world, "silent")
    if not ok:
        print(report.getvalue())
        raise RuntimeError("the silent scenario did not end as expected")
    requests = world.sim("GET", "/instances/default/requests")
    if any(r.get("accepted") is None or r.get("answered") is None for r in requests):
        raise RuntimeError("the simulator's requests carry no accepted/answered times")
    gaps = []
    for before, after in zip(requests, requests[1:]):
        gaps.append((label(before), label(after), (after["accepted"] - before["answered"]) * 1000))
    exchanges = sum(r["answered"] - r["accepted"] for r in requests) * 1000
    children = None
    if events:
        children = []
        for start, end, _ in events.children(world.prefix, "--health-check"):
            within = [i for i, (b, a) in enumerate(zip(requests, requests[1:]))
                      if b["answered"] <= start and end <= a["accepted"]]
            if not within:
                raise RuntimeError("a --health-check child ran outside the gaps between requests")
            children.append((within[0], (end - start) * 1000))
    return gaps, exchanges, children


def silent_rounds(world, rounds):
    try:
        events = ProcessEvents()
    except OSError as failure:
        events = None
        print("note: the --health-check children are not measured: the kernel's process events are not "
              "available (%s; they need root)" % failure)
    rows = []
    try:
        for _ in range(rounds):
            rows.append(silent_round(world, events))
    finally:
        if events:
            events.stop()
    names = ["%s -> %s" % (b, a) for b, a, _ in rows[0][0]]
    if events and any(not r[2] for r in rows):
        print("note: no --health-check child was seen in %d of the rounds; the children are not reported"
              % sum(1 for r in rows if not r[2]))
        events = None
    print("silent scenario, %d rounds (medians): the helper's time from each lobby answer to its next request"
          % rounds)
    per_gap = [statistics.median(r[0][i][2] for r in rows) for i in range(len(names))]
    for i, name in enumerate(names):
        line = "  %-56s %7.1f ms" % (name, per_gap[i])
        if events and any(g == i for r in rows for g, _ in r[2]):
            line += "  (--health-check children %.1f ms of it)" % statistics.median(
                sum(ms for g, ms in r[2] if g == i) for r in rows)
        print(line)
    totals = [sum(g[2] for g in r[0]) for r in rows]
    print("  %-56s %7.1f ms  (%s)" % ("all gaps", statistics.median(totals), spread(totals)))
    if events:
        counts = sorted({len(r[2]) for r in rows})
        child_totals = [sum(ms for _, ms in r[2]) for r in rows]
        own = [t - c for t, c in zip(totals, child_totals)]
        print("  %-56s %7.1f ms  (%s)" % ("--health-check children (%s per click)" % "/".join(map(str, counts)),
                                          statistics.median(child_totals), spread(child_totals)))
        print("  %-56s %7.1f ms  (%s)" % ("the helper's own time (all gaps - children)", statistics.median(own),
                                          spread(own)))
    exchanges = [r[1] for r in rows]
    print("  %-56s %7.1f ms  (%s)" % ("for comparison, the %d requests (accepted to answered)" % (len(names) + 1),
                                      statistics.median(exchanges), spread(exchanges)))
    return True


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "window":
        world = sandbox_scenario.World(sys.argv[2], sys.argv[3])
        return 0 if window_rounds(world, sys.argv[4], int(sys.argv[5])) else 1
    if len(sys.argv) == 5 and sys.argv[1] == "silent":
        world = sandbox_scenario.World(sys.argv[2], sys.argv[3])
        return 0 if silent_rounds(world, int(sys.argv[4])) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
