#!/usr/bin/env python3
"""Plays one click in the sandbox world and tells what happened.

  sandbox_scenario.py install PREFIX SIMDIR      "download" the sandbox exe and run it once
  sandbox_scenario.py click PREFIX SIMDIR NAME   set the scenario up, click its join link, report
  sandbox_scenario.py world PREFIX SIMDIR      check the world with the exe's diagnostic options
  sandbox_scenario.py shot XWD PNG               the X frame buffer file of Xvfb -fbdir as a PNG

The world comes from scripts/sandbox-world (the simulator running on the sandbox build's port, its
CA trusted in PREFIX). `click` prints, in order, the lobby requests with their phases, the status
window's texts, what the stand-ins recorded and the exit codes, then checks them against what the
scenario expects; it exits 0 only when all of it holds. Every report lists the starts that the
stand-ins and click.exe recorded (C:\\sandbox\\starts.txt, the start record of tools/README.md),
and a failed one what Wine said on stderr (all processes of the prefix, kept in the Wine log).
Environment: QUORVEL_SANDBOX_BUILD (the sandbox preset's build folder), QUORVEL_WINE_LOG (the Wine
log, default PREFIX-wine.log), QUORVEL_SANDBOX_STORYBOARD (a PNG to write the click's storyboard to:
a frame of the screen for each text of the status window, from the Xvfb frame buffer file
QUORVEL_SANDBOX_FRAMEBUFFER; see tools/storyboard.py).
"""
import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import time
import urllib.request
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("QUORVEL_SANDBOX_BUILD", os.path.join(ROOT, "build", "sandbox"))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")
DOTA = r"C:\SteamLibrary\steamapps\common\dota 2 beta\game\bin\win64\dota2.exe"
STARTS = r"C:\sandbox\starts.txt"
SERVER = "[A:1:123:45]"

# The status window's texts that end a join.
TEXT_JOINED = "已提交连接并切到 Dota 前台。此窗口将在 3 秒后关闭。"
TEXT_INSTALLED = "Quorvel已安装，已启用自动更新。\\r\\n返回大厅点击“启动游戏”即可连接。窗口将在 3 秒后关闭。"
TEXT_SWITCHING = "更新完成，正在切换新版助手…"
TEXT_EXPIRED = "连接信息已过期，请回大厅重新点击"

# The operators' contract, and the checker that holds the simulator's answers to it (Debian's
# interpreter, which has python3-jsonschema and python3-yaml from scripts/setup).
LOBBY_API = os.path.join(ROOT, "docs", "lobby-api.yaml")
CHECK_LOBBY_API = ["/usr/bin/python3", os.path.join(ROOT, "tools", "check_lobby_api.py")]

CONTEXT, CONSUME, PROGRESS = "/api/entry/context", "/api/entry/consume", "/api/entry/helper-progress"
MANIFEST = "/downloads/native-connector-update.json"


def ticket(name):
    """A 43-character Ticket of the scenario's own."""
    return (("sandbox-" + name + "-") * 8)[:43]


# What each scenario sets up and what its lobby record must be: (path, phase or None) in order.
# Every join of the helper checks for an update first; a join of a newer build after the hand-over
# checks again (and finds itself current).
LAUNCH_REQUESTS = [(PROGRESS, "checking"), (MANIFEST, None), (CONTEXT, None), (PROGRESS, "checking"),
                   (CONTEXT, None), (PROGRESS, "launching"), (CONSUME, None), (PROGRESS, "sent")]
SCENARIOS = {
    "launch": {
        "about": "no Dota running: steam.exe starts Dota with +connect, the new client is raised",
        "requests": LAUNCH_REQUESTS,
        "steam": [["-applaunch", "570", "+connect", SERVER]],
        "final": TEXT_JOINED,
    },
    "silent": {
        "about": "a client runs in the right mode: the connect goes through Steam's client engine",
        "running": ["-vconport", "29001"],
        "requests": [(PROGRESS, "checking"), (MANIFEST, None), (CONTEXT, None), (PROGRESS, "checking"),
                     (PROGRESS, "checking"), (PROGRESS, "connecting"), (CONSUME, None), (PROGRESS, "sent")],
        "steam": [],
        "final": TEXT_JOINED,
    },
    "restart": {
        "about": "a client runs in standard mode, the room wants tools mode: it is closed, Dota started again",
        "entry": {"toolsMode": True, "addon": "dotatxq"},
        "running": ["-vconport", "29001"],
        "requests": [(PROGRESS, "checking"), (MANIFEST, None), (CONTEXT, None), (PROGRESS, "checking"),
                     (CONTEXT, None), (PROGRESS, "restarting"), (CONTEXT, None), (PROGRESS, "launching"),
                     (CONSUME, None), (PROGRESS, "sent")],
        "steam": [["-applaunch", "570", "-tools", "-addon", "dotatxq", "+connect", SERVER]],
        "final": TEXT_JOINED,
    },
    "update": {
        "about": "the update host offers the next release: hand-over in the same click, the new build joins",
        "release": True,
        "requests": [(PROGRESS, "checking"), (MANIFEST, None), ("image", None)] + LAUNCH_REQUESTS,
        "steam": [["-applaunch", "570", "+connect", SERVER]],
        "final": TEXT_JOINED,
    },
    "expired": {
        "about": "the lobby's Entry has expired: the failure text stays, nothing is consumed or launched",
        "entry": {"expiresIn": -60},
        "requests": [(PROGRESS, "checking"), (MANIFEST, None), (CONTEXT, None)],
        "steam": [],
        "final": TEXT_EXPIRED,
    },
}

# A hostile or mistaken lobby never gets past the checks: its message stays in the window, nothing
# is consumed or launched. (Entry changes, simulator rules for the context request, final text.)
REFUSED_AT_ENTRY = [(PROGRESS, "checking"), (MANIFEST, None), (CONTEXT, None)]
REFUSED_AT_CHECKS = REFUSED_AT_ENTRY + [(PROGRESS, "checking")]
HOSTILE = {
    "other-account": ({"steamId": "76561198000000002"}, [], REFUSED_AT_CHECKS,
                      "Steam 当前账号与大厅登录账号不同，请切换为同一个账号后重试。"),
    "map-missing": ({"map": "nowhere"}, [], REFUSED_AT_CHECKS, "地图名不存在于 VPK 中"),
    "server-suffix": ({"serverSteamId": SERVER + "x"}, [], REFUSED_AT_ENTRY, "服务器地址无效"),
    "body-too-large": ({}, [{"path": CONTEXT, "body": '{"a":"%s"}' % ("x" * (1048577 - 8))}], REFUSED_AT_ENTRY,
                       "大厅响应过大"),
    "nested-arrays": ({}, [{"path": CONTEXT, "body": "[" * 524288 + "]" * 524288}], REFUSED_AT_ENTRY, "连接信息不完整"),
    "redirect": ({}, [{"path": CONTEXT, "status": 302, "headers": {"Location": "https://localhost/elsewhere"},
                       "json": {}}], REFUSED_AT_ENTRY, "大厅请求失败 (HTTP 302)"),
    "silent-lobby": ({}, [{"path": CONTEXT, "mode": "silent"}], REFUSED_AT_ENTRY, "大厅请求未完成，请检查网络"),
    # A byte every 0.5 s, each well within the network time-out: the 120-byte answer would take a
    # minute, and the helper gives the exchange 30 s in all.
    "drip-lobby": ({}, [{"path": CONTEXT, "mode": "drip", "intervalMs": 500, "json": {"pad": "x" * 110}}],
                   REFUSED_AT_ENTRY, "大厅请求未完成，请检查网络"),
}
for hostile, (changes, rules, expected, text) in HOSTILE.items():
    SCENARIOS[hostile] = {"about": "a hostile or mistaken lobby (%s): refused before anything is consumed" % hostile,
                          "entry": changes, "rules": rules, "requests": expected, "steam": [], "final": text}
# The trickle is refused at the deadline (about 31 s after the click), not once the whole answer is in.
SCENARIOS["drip-lobby"]["finalWithinMs"] = 40000
# The hostile lobbies whose context answers break docs/lobby-api.yaml; the others' answers keep to it
# (an expired Entry or another account breaks no rule that a schema can state).
for hostile in ("server-suffix", "body-too-large", "nested-arrays", "redirect", "silent-lobby", "drip-lobby"):
    SCENARIOS[hostile]["offContract"] = [CONTEXT]


class World:
    def __init__(self, prefix, simdir):
        self.prefix = os.path.abspath(prefix)
        self.c = os.path.join(self.prefix, "drive_c")
        self.records = os.path.join(self.c, "sandbox")
        self.simdir = simdir
        users = [u for u in os.listdir(os.path.join(self.c, "users")) if u != "Public"]
        self.user = users[0]
        self.local = os.path.join(self.c, "users", self.user, "AppData", "Local")
        self.install_root = os.path.join(self.local, "TXQConnectorNative")
        self.wine_log = os.path.abspath(os.environ.get("QUORVEL_WINE_LOG") or self.prefix + "-wine.log")
        self.env = dict(os.environ, QUORVEL_WINE_LOG=self.wine_log, QUORVEL_START_RECORD=STARTS)

    def run_env(self, timeout):
        return dict(self.env, QUORVEL_WINE_TIMEOUT=str(timeout))

    def sim(self, method, path, body=None):
        state = json.load(open(os.path.join(self.simdir, "state.json")))
        control = "http://127.0.0.1:%d" % state["controlPort"]
        data = body if isinstance(body, bytes) or body is None else json.dumps(body).encode()
        request = urllib.request.Request(control + path, data=data, method=method)
        with urllib.request.urlopen(request, timeout=30) as answer:
            return json.loads(answer.read())

    def wine(self, *args, timeout=240):
        """Runs a program in the world; what it and Wine say on stderr goes to the Wine log."""
        os.makedirs(self.records, exist_ok=True)
        return subprocess.run([WINE_RUN, self.prefix, *args], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, env=self.run_env(timeout)).returncode

    def path(self, windows_path):
        return os.path.join(self.c, *windows_path[3:].split("\\"))

    def lines(self, name):
        try:
            with open(os.path.join(self.records, name), encoding="utf-8") as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def click(self, target, record, close_when_stable_ms, *run):
        os.makedirs(self.records, exist_ok=True)
        shutil.copy(os.path.join(BUILD, "stand-ins", "click.exe"), self.records)
        if os.path.exists(os.path.join(self.records, record)):
            os.remove(os.path.join(self.records, record))
        return self.wine(r"C:\sandbox\click.exe", "--record", "C:\\sandbox\\" + record, "--close-when-stable",
                         str(close_when_stable_ms), *run, target)


def capture_mark(world):
    """The simulator's capture file and its length now, or None when it captures nothing (it
    does when scripts/e2e starts it with QUORVEL_SIM_CAPTURE)."""
    capture = json.load(open(os.path.join(world.simdir, "state.json"))).get("capture")
    if not capture:
        return None
    return capture, os.path.getsize(capture) if os.path.exists(capture) else 0


def check_answers(mark, off_contract=()):
    """Prints the checker's verdict on every answer captured since `mark`; the problems."""
    if mark is None:
        if os.environ.get("QUORVEL_SIM_CAPTURE"):
            return ["QUORVEL_SIM_CAPTURE is set, but the simulator captures no answers"]
        return []
    capture, start = mark
    command = CHECK_LOBBY_API + ["answers", LOBBY_API, capture, "--from", str(start)]
    for path in off_contract:
        command += ["--off-contract", path]
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=300)
    print("\nThe simulator's answers against docs/lobby-api.yaml:")
    for line in (done.stdout + done.stderr).splitlines():
        print("  " + line)
    return [] if done.returncode == 0 else ["the simulator's answers do not keep to docs/lobby-api.yaml (above)"]


def click_lines(world, record):
    """The click's record as (milliseconds, event, rest)."""
    out = []
    for line in world.lines(record):
        ms, _, rest = line.partition(" ")
        event, _, value = rest.partition(" ")
        out.append((int(ms), event, value))
    return out


def download_exe(world):
    """Copies the sandbox exe into the player's Downloads; its folder here and its Windows path."""
    downloads = os.path.join(world.c, "users", world.user, "Downloads")
    os.makedirs(downloads, exist_ok=True)
    shutil.copy(os.path.join(BUILD, "bin", "TXQNativeConnector.exe"), downloads)
    return downloads, "C:\\users\\%s\\Downloads\\TXQNativeConnector.exe" % world.user


def install(world):
    """Downloads the sandbox exe and runs it once without a link, as a player does after download."""
    _, exe = download_exe(world)
    serve_release(world, False)
    world.sim("DELETE", "/instances/default/requests")
    starts_before = len(world.lines("starts.txt"))
    log_from = wine_log_size(world)
    mark = capture_mark(world)
    code = world.click(exe, "first-run.txt", 8000, "--run")
    events = click_lines(world, "first-run.txt")
    print("First run of the downloaded exe (%s, no argument):" % exe)
    for ms, event, value in events:
        print("  %6d ms  %s %s" % (ms, event, value))
    command = registered_command(world)
    print("  registered txqjoin open command: %s" % command)
    texts = [v for _, e, v in events if e == "text"]
    ok = code == 0 and command is not None and texts and texts[-1] == TEXT_INSTALLED
    ok = ok and any(e == "exit" and v.endswith(" 0") for _, e, v in events)
    answers = check_answers(mark)
    for p in answers:
        print("FAILED: " + p)
    ok = ok and not answers
    report_starts(world, starts_before)
    if not ok:
        report_wine(world, log_from)
        print("install: the first run did not end installed (click exit %d)" % code)
    return ok


def check_world(world):
    """What the exe's diagnostic options see in the world: its install, Steam's client library, Dota."""
    downloads, exe = download_exe(world)
    problems = []
    results = {}
    log_from = wine_log_size(world)
    for option, result in (("--install-only", "native-install-result.json"),
                           ("--steam-check", "native-steam-check.json"), ("--inspect", "native-inspect.json")):
        code = world.wine(exe, option, timeout=120)
        try:
            results[option] = json.load(open(os.path.join(downloads, result)))
        except (FileNotFoundError, ValueError):
            results[option] = None
        print("%s: exit code %d, %s" % (option, code, json.dumps(results[option], ensure_ascii=False)))
        if code != 0 or results[option] is None:
            problems.append("%s failed (exit code %d)" % (option, code))
    installed = (results.get("--install-only") or {}).get("selected", "")
    command = registered_command(world)
    print("registered txqjoin open command: %s" % command)
    if not installed.startswith("C:\\users\\%s\\AppData\\Local\\TXQConnectorNative\\versions\\" % world.user):
        problems.append("installed at %r" % installed)
    if command != '"%s" "%%1"' % installed:
        problems.append("txqjoin opens %r" % command)
    if (results.get("--steam-check") or {}).get("compatible") is not True:
        problems.append("the stand-in Steam client library was not accepted")
    inspect = results.get("--inspect") or {}
    if inspect.get("dotaRoot") != "C:\\SteamLibrary\\steamapps\\common\\dota 2 beta" or inspect.get("clients") != []:
        problems.append("inspect saw %s" % inspect)
    if problems:
        report_wine(world, log_from)
    for p in problems:
        print("FAILED: " + p)
    return not problems


def registered_command(world, scheme="txqjoin"):
    """The open command registered for a scheme, as reg.exe in the prefix reads it (ASCII paths)."""
    key = "HKCU\\Software\\Classes\\%s\\shell\\open\\command" % scheme
    answer = subprocess.run([WINE_RUN, world.prefix, "reg", "query", key],
                            stdin=subprocess.DEVNULL, capture_output=True, env=world.run_env(60))
    for line in answer.stdout.decode("utf-8", "replace").splitlines():
        if "REG_SZ" in line:
            return line.split("REG_SZ", 1)[1].strip()
    return None


def update_log(world):
    try:
        with open(os.path.join(world.install_root, "update.log"), encoding="utf-8") as f:
            return f.read().splitlines()
    except (FileNotFoundError, IsADirectoryError):
        return []


def active_build(world):
    try:
        return json.load(open(os.path.join(world.install_root, "active.json")))
    except (FileNotFoundError, ValueError):
        return None


def start_running_client(world, arguments):
    """A Dota client that runs before the click, started as Steam starts it."""
    before = len(world.lines("dota-events.txt"))
    process = subprocess.Popen([WINE_RUN, world.prefix, DOTA, *arguments], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=world.run_env(600))
    for _ in range(300):
        if any(l.startswith("start ") for l in world.lines("dota-events.txt")[before:]):
            return process
        time.sleep(0.1)
    raise RuntimeError("the running Dota client did not start")


def serve_release(world, next_release):
    """Places a release where the update host serves it from: the sandbox exe's own build (the
    update host's usual state) or the next one. Returns its build."""
    folder = "next-release" if next_release else "bin"
    image = open(os.path.join(BUILD, folder, "TXQNativeConnector.exe"), "rb").read()
    cache = open(os.path.join(BUILD, "CMakeCache.txt")).read()
    build = int(cache.split("QUORVEL_RUNNING_BUILD:STRING=")[1].split()[0]) + (1 if next_release else 0)
    workdir = world.prefix + ("-next-release" if next_release else "-release")
    digest = hashlib.sha256(image).hexdigest()
    shutil.rmtree(workdir, ignore_errors=True)
    os.makedirs(os.path.join(workdir, "native"))
    open(os.path.join(workdir, "native", digest + ".exe"), "wb").write(image)
    manifest = {"build": build, "bytes": len(image), "platform": "windows-x64", "schema": 1, "sha256": digest}
    open(os.path.join(workdir, "native-connector-update.json"), "w").write(json.dumps(manifest))
    world.sim("PUT", "/instances/default/downloads", workdir.encode())
    return build


def start_storyboard(world, record):
    """Follows the click for the storyboard the demo asks for (QUORVEL_SANDBOX_STORYBOARD); None
    without one. The record is removed here, so that the storyboard sees only this click."""
    target = os.environ.get("QUORVEL_SANDBOX_STORYBOARD")
    if not target:
        return None
    import storyboard
    framebuffer = os.environ.get("QUORVEL_SANDBOX_FRAMEBUFFER", "")
    path = os.path.join(world.records, record)
    if os.path.exists(path):
        os.remove(path)
    board = storyboard.Storyboard(path, framebuffer)
    board.target = target
    if not framebuffer:
        board.error = "QUORVEL_SANDBOX_FRAMEBUFFER (the screen file of Xvfb -fbdir) is not set"
        return board
    board.start()
    return board


def finish_storyboard(board, name):
    """Stops the storyboard and writes it; the problem, if it could not be made."""
    import storyboard
    board.stop.set()
    if board.is_alive():
        board.join()
    if board.error:
        return "the storyboard could not be made: " + board.error
    try:
        count = storyboard.compose(board.frames(), board.target,
                                   "scripts/demo %s: each text of the status window, by its time after the click"
                                   % name)
    except (OSError, ValueError) as e:
        return "the storyboard could not be made: %s" % e
    print("Storyboard: %s (%d texts, %d of them pictured)" % (board.target, len(board.frames()), count))
    return None


def xwd_to_png(source, target):
    """Xvfb's frame buffer (an XWD image, 32 bits a pixel) as a PNG."""
    data = open(source, "rb").read()
    header = struct.unpack(">25I", data[:100])
    header_size, width, height = header[0], header[4], header[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = header[7], header[11], header[12], header[19]
    if bits_per_pixel != 32:
        return False
    pixels = data[header_size + 12 * ncolors:]
    rows = []
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + 4 * width]
        if byte_order == 0:  # B G R X
            rgb = bytearray(3 * width)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        else:  # X R G B
            rgb = bytearray(3 * width)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b"")
    open(target, "wb").write(png)
    return True


def phase_of(request):
    if request["path"] != PROGRESS:
        return None
    try:
        return json.loads(request["body"]).get("phase")
    except ValueError:
        return "(not JSON)"


def short_path(path):
    return "image" if path.startswith("/downloads/native/") else path


def click(world, name):
    scenario = SCENARIOS[name]
    join_ticket = ticket(name)
    link = scenario.get("scheme", "txqjoin") + "://enter/?ticket=" + join_ticket
    entry = {"expiresIn": 30, "roomId": "abcdef123456", "steamId": "76561198000000001", "serverSteamId": SERVER,
             "addon": "3123456789", "map": "brellowick", "connectionType": "steam", "toolsMode": False}
    entry.update(scenario.get("entry", {}))
    world.sim("PUT", "/instances/default/entry", entry)
    world.sim("DELETE", "/instances/default/rules")
    if scenario.get("rules"):
        world.sim("POST", "/instances/default/rules", scenario["rules"])
    build_before = active_build(world)
    log_before = len(update_log(world))
    starts_before = len(world.lines("starts.txt"))
    log_from = wine_log_size(world)
    next_build = serve_release(world, bool(scenario.get("release")))
    prepared = scenario["prepare"](world) if "prepare" in scenario else []
    running = start_running_client(world, scenario["running"]) if "running" in scenario else None
    dota_before = len(world.lines("dota-events.txt"))
    steam_before = len(world.lines("steam-launches.txt"))
    engine_file = os.path.join(world.c, "Program Files (x86)", "Steam", "steamclient64-calls.txt")
    engine_before = len(open(engine_file).read().splitlines()) if os.path.exists(engine_file) else 0
    world.sim("DELETE", "/instances/default/requests")
    mark = capture_mark(world)

    print("Scenario %s: %s" % (name, scenario["about"]))
    print("Click: %s" % link)
    board = start_storyboard(world, "click.txt")
    code = world.click(link, "click.txt", 6000)
    board_problem = finish_storyboard(board, name) if board else None
    world.sim("DELETE", "/instances/default/rules")
    requests = world.sim("GET", "/instances/default/requests")
    events = click_lines(world, "click.txt")
    steam = [json.loads(l) for l in world.lines("steam-launches.txt")[steam_before:]]
    dota = world.lines("dota-events.txt")[dota_before:]
    engine = open(engine_file).read().splitlines()[engine_before:] if os.path.exists(engine_file) else []
    if running:
        running.terminate()  # the wine-run of the client started above; the prefix's server ends it

    print("\nLobby requests:")
    for r in requests:
        phase = phase_of(r)
        body = r["body"] if r["path"].startswith("/api/") else ""
        print("  %-6s %-42s %s" % (r["method"], short_path(r["path"]), ("phase=" + phase) if phase else body))
    print("\nStatus window (ms after the click):")
    for ms, event, value in events:
        print("  %6d  %s %s" % (ms, event, value))
    print("\nsteam.exe was started with:")
    for launch in steam:
        print("  %s" % json.dumps(launch["arguments"][1:], ensure_ascii=False))
    if not steam:
        print("  (not started)")
    print("Steam client engine calls:")
    for line in engine:
        print("  " + line)
    if not engine:
        print("  (none)")
    print("Dota client events:")
    for line in dota:
        print("  " + line)
    if not dota:
        print("  (none)")
    texts = [v for _, e, v in events if e == "text"]
    exits = [v.split(" ")[1] for _, e, v in events if e == "exit"]
    final = texts[-1] if texts else None
    after = active_build(world)
    logged = update_log(world)[log_before:]
    print("Update log:")
    for line in logged or ["(nothing added)"]:
        print("  " + line)
    print("\nFinal text: %s" % final)
    print("Exit codes: %s" % ", ".join(exits))
    print("Active build: %s" % (after or {}).get("build"))

    # What must hold.
    problems = []
    seen = [(short_path(r["path"]), phase_of(r)) for r in requests]
    if seen != scenario["requests"]:
        problems.append("lobby requests were %s, expected %s" % (seen, scenario["requests"]))
    for r in requests:
        if r["path"].startswith("/api/entry/") and json.loads(r["body"]).get("ticket") != join_ticket:
            problems.append("a lobby request carried another Ticket: %s" % r["body"])
    consumed = sum(1 for r in requests if r["path"] == CONSUME)
    expected_consumed = sum(1 for p, _ in scenario["requests"] if p == CONSUME)
    if consumed != expected_consumed:
        problems.append("the Ticket was consumed %d times, expected %d" % (consumed, expected_consumed))
    if [l["arguments"][1:] for l in steam] != scenario["steam"]:
        problems.append("steam.exe arguments %s, expected %s" % ([l["arguments"][1:] for l in steam],
                                                                  scenario["steam"]))
    if final != scenario["final"]:
        problems.append("final text %r, expected %r" % (final, scenario["final"]))
    shown_at = [ms for ms, e, _ in events if e == "text"]
    if "finalWithinMs" in scenario and shown_at and shown_at[-1] > scenario["finalWithinMs"]:
        problems.append("the final text came %d ms after the click, expected within %d ms"
                        % (shown_at[-1], scenario["finalWithinMs"]))
    if code != 0 or not exits or any(e != "0" for e in exits):
        problems.append("click ended %d, helper exit codes %s, expected 0" % (code, exits))
    connects = [l for l in engine if l.startswith("requests 193")]
    if name == "silent" or scenario.get("connects"):
        if len(connects) != 1 or not connects[0].startswith("requests 193 (%s," % SERVER):
            problems.append("the engine's connect calls were %s" % connects)
    elif connects:
        problems.append("the engine got a connect it should not have: %s" % connects)
    launched = [l for l in dota if l.startswith("start ")]
    if scenario["steam"]:
        if len(launched) != 1 or "+connect" not in launched[0]:
            problems.append("Dota was not started once with +connect: %s" % launched)
    elif launched:
        problems.append("Dota was started: %s" % launched)
    joined = scenario["final"] == TEXT_JOINED
    if joined and not any(l == "activate Dota 2" for l in dota):
        problems.append("the Dota window was not raised")
    if name == "restart" and "close Dota 2" not in dota:
        problems.append("the running client was not asked to close")
    if name == "update":
        if TEXT_SWITCHING not in texts:
            problems.append("the hand-over text was not shown")
        if len(exits) != 2:
            problems.append("expected two helper processes (the hand-over), saw %d" % len(exits))
        if (after or {}).get("build") != next_build:
            problems.append("active build %s, expected %s" % ((after or {}).get("build"), next_build))
    elif after != build_before:
        problems.append("the install changed: %s -> %s" % (build_before, after))
    problems += check_answers(mark, scenario.get("offContract", []))
    problems = prepared + problems + ([board_problem] if board_problem else [])
    if "verify" in scenario:
        problems += scenario["verify"](world, events)
    report_starts(world, starts_before)
    if problems:
        report_wine(world, log_from)
    print()
    for p in problems:
        print("FAILED: " + p)
    if problems and name == "update" and unstarted_health_check(world, logged, next_build):
        print("The new build's health check ended in failure without the program writing its error file: "
              "Wine did not start it, or it died before its first step (see what Wine said above).")
    print("Scenario %s: %s" % (name, "as expected" if not problems else "NOT as expected"))
    return not problems


# The stand-ins that record their arrival; a start of one of them with no arrival never ran its code.
RECORDING_PROGRAMS = ("click.exe", "steam.exe", "dota2.exe")


def start_records(world, before=0):
    records = []
    for line in world.lines("starts.txt")[before:]:
        try:
            records.append(json.loads(line))
        except ValueError:
            records.append({"event": "unreadable", "line": line})
    return records


def start_failures(records):
    """Starts that went wrong, as sentences: CreateProcessW failed, or a recording program was
    created but never reached its own code."""
    arrived = {r.get("pid") for r in records if r.get("event") == "arrived"}
    exits = {r.get("child"): r.get("code") for r in records if r.get("event") == "exit"}
    failures = []
    for r in records:
        if r.get("event") != "start":
            continue
        what = r.get("program") or r.get("commandLine", "")
        if not r.get("created"):
            failures.append("%s could not start %s: CreateProcessW failed, GetLastError %s" %
                            (r.get("by"), what, r.get("error")))
        elif what.lower().rsplit("\\", 1)[-1].strip('"') in RECORDING_PROGRAMS and r.get("child") not in arrived:
            code = exits.get(r.get("child"))
            failures.append("%s started %s as process %s, which never reached its own code%s" %
                            (r.get("by"), what, r.get("child"),
                             "" if code is None else " (exit code %s, 0x%X)" % (code, code)))
    return failures


def report_starts(world, before):
    """Prints the start record since line `before`: each program's arrival, each start with
    CreateProcessW's result, each child's end."""
    records = start_records(world, before)
    print("Starts recorded:")
    if not records:
        print("  (none)")
    first = records[0].get("ms", 0) if records else 0
    for r in records:
        event = r.get("event")
        if event == "arrived":
            text = "arrived: %s" % r.get("commandLine")
        elif event == "start" and r.get("created"):
            text = "started process %s: %s" % (r.get("child"), r.get("commandLine"))
        elif event == "start":
            text = "CreateProcessW FAILED, GetLastError %s: %s" % (r.get("error"), r.get("commandLine"))
        elif event == "exit":
            text = "process %s exited with code %s" % (r.get("child"), r.get("code"))
        elif event == "running":
            text = "process %s still running after %s ms" % (r.get("child"), r.get("afterMs"))
        else:
            text = json.dumps(r, ensure_ascii=False)
        print("  %+8.3f s  %s %s: %s" % ((r.get("ms", first) - first) / 1000, r.get("by"), r.get("pid"), text))
    for failure in start_failures(records):
        print("  START FAILED: " + failure)


# What Debian's wine script says before each start when err messages are on (no 32-bit Wine).
DEBIAN_WINE32_HINT = ("it looks like wine32 is missing", "multiarch needs to be enabled",
                      'execute "dpkg --add-architecture', "apt-get install wine32", "as root, please execute")


def wine_log_size(world):
    try:
        return os.path.getsize(world.wine_log)
    except OSError:
        return 0


def report_wine(world, offset, limit=120):
    """Prints what Wine said on stderr (every process of the prefix) since `offset` of the Wine log."""
    try:
        with open(world.wine_log, "rb") as f:
            f.seek(offset)
            lines = f.read().decode("utf-8", "replace").splitlines()
    except OSError:
        lines = []
    lines = [l for l in lines if not l.startswith(DEBIAN_WINE32_HINT)]
    print("\nWine said (%s, every process of the prefix, from this step on):" % world.wine_log)
    if len(lines) > limit:
        print("  (%d earlier lines left out)" % (len(lines) - limit))
    for line in lines[-limit:] or ["(nothing)"]:
        print("  " + line)


# The planted-folder case: the downloaded exe lies in a folder where a web page has dropped DLLs
# under every name the exe, WinHTTP, the socket library, the window system or Steam's client
# library might load by name (the names of tests/win32_planting), each a copy of the planting
# stand-in, which leaves NAME.dll.loaded beside itself in any process that loads it; Wine is told
# to prefer them (a per-program DllOverrides, since Wine prefers its own builtin DLLs otherwise).
# The exe registers txqjoin-native for itself there, and a join through that link connects the
# running client through Steam's client library, loaded in that very process.
PLANTED_DLLS = ["bcrypt", "winhttp", "crypt32", "secur32", "jsproxy", "dnsapi", "iphlpapi", "mswsock", "userenv",
                "uxtheme", "dwmapi", "comctl32", "wininet", "winmm"]
STEAM_CLIENT = r"C:\Program Files (x86)\Steam\steamclient64.dll"
TEXT_TEST_PROTOCOL = "已注册 txqjoin-native 测试协议。现有 Python 助手及 txqjoin 协议未变。"
# LoadLibraryExW search flags: the Steam client library's (its own folder and System32), and the
# earlier ones, which added the exe's folder through the default directories.
LOAD_FLAGS, LOAD_FLAGS_WITH_EXE_FOLDER = "0x900", "0x1100"


def planted_markers(folder):
    return sorted(n for n in os.listdir(folder) if n.lower().endswith(".dll.loaded"))


def plant_folder(world):
    """Plants the DLLs beside the downloaded exe, has Wine prefer them in the exe and the control
    program, and lets the exe register txqjoin-native for itself (its message box answered)."""
    downloads, exe = download_exe(world)
    planted = os.path.join(BUILD, "planting", "planted_dll.dll")
    for name in PLANTED_DLLS:
        shutil.copy(planted, os.path.join(downloads, name + ".dll"))
    for marker in planted_markers(downloads):
        os.remove(os.path.join(downloads, marker))
    shutil.copy(os.path.join(BUILD, "planting", "load_probe.exe"), downloads)
    overrides = ["REGEDIT4", ""]
    for program in ("TXQNativeConnector.exe", "load_probe.exe"):
        overrides.append("[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\DllOverrides]" % program)
        overrides += ['"%s"="native,builtin"' % name for name in PLANTED_DLLS] + [""]
    os.makedirs(world.records, exist_ok=True)
    with open(os.path.join(world.records, "planted-overrides.reg"), "w", newline="\r\n") as f:
        f.write("\n".join(overrides) + "\n")
    problems = []
    if world.wine("reg", "import", r"C:\sandbox\planted-overrides.reg", timeout=60) != 0:
        problems.append("the DLL overrides could not be imported")
    print("Planted beside %s: %s (Wine prefers them in TXQNativeConnector.exe and load_probe.exe)"
          % (exe, ", ".join(n + ".dll" for n in PLANTED_DLLS)))

    shutil.copy(os.path.join(BUILD, "stand-ins", "click.exe"), world.records)
    code = world.wine(r"C:\sandbox\click.exe", "--record", r"C:\sandbox\register.txt", "--close-when-stable", "1000",
                      "--run", exe, "--register-test-protocol")
    events = click_lines(world, "register.txt")
    print("%s --register-test-protocol:" % exe)
    for ms, event, value in events:
        print("  %6d ms  %s %s" % (ms, event, value))
    command = registered_command(world, "txqjoin-native")
    print("  registered txqjoin-native open command: %s\n" % command)
    boxes = [v for _, e, v in events if e == "box"]
    exits = [v.split(" ")[1] for _, e, v in events if e == "exit"]
    if code != 0 or exits != ["0"] or len(boxes) != 1 or not boxes[0].endswith(": " + TEXT_TEST_PROTOCOL):
        problems.append("--register-test-protocol: click ended %d, exit codes %s, boxes %s" % (code, exits, boxes))
    if command != '"%s" "%%1"' % exe:
        problems.append("txqjoin-native opens %r, expected the downloaded exe" % command)
    return problems


def check_planted_folder(world, events):
    """After the join: one helper process, the downloaded exe, ran it all (no hand-over to the
    installed copy), and no planted DLL was loaded; then the control: the same library loaded from
    that folder with the earlier search flags does load the planted winmm."""
    downloads, exe = download_exe(world)
    problems = []
    commands = [v for _, e, v in events if e == "command"]
    starts = [v for _, e, v in events if e == "start"]
    pids = {v.split(" ")[0] for _, e, v in events if e in ("window", "exit")}
    if len(commands) != 1 or not commands[0].startswith('"%s" ' % exe) or len(starts) != 1 or pids != set(starts):
        problems.append("the join did not run in the downloaded exe's process alone: %s, started %s, seen %s"
                        % (commands, starts, sorted(pids)))
    loaded = planted_markers(downloads)
    print("Planted DLLs loaded during the registration and the join: %s" % (", ".join(loaded) or "none"))
    if loaded:
        problems.append("planted DLLs were loaded: %s" % loaded)
    for marker in loaded:  # the control below starts from a clean folder
        os.remove(os.path.join(downloads, marker))

    probe = exe.rsplit("\\", 1)[0] + "\\load_probe.exe"
    for flags, expected in ((LOAD_FLAGS, []), (LOAD_FLAGS_WITH_EXE_FOLDER, ["winmm.dll.loaded"])):
        code = world.wine(probe, STEAM_CLIENT, flags, timeout=60)
        markers = planted_markers(downloads)
        print("Control: load_probe.exe loads Steam's client library from that folder with flags %s: exit code %d, "
              "planted DLLs loaded: %s" % (flags, code, ", ".join(markers) or "none"))
        if code != 0 or [m.lower() for m in markers] != expected:  # named as the loader spelt the import
            problems.append("control with flags %s: exit code %d, loaded %s, expected 0 and %s"
                            % (flags, code, markers, expected))
        for marker in markers:
            os.remove(os.path.join(downloads, marker))
    return problems


SCENARIOS["planted-folder"] = dict(
    SCENARIOS["silent"], scheme="txqjoin-native", connects=True, prepare=plant_folder, verify=check_planted_folder,
    about="DLLs planted beside the downloaded exe, which registered txqjoin-native for itself: the join "
          "through Steam's client engine loads none of them")


def unstarted_health_check(world, log_lines, build):
    """The update was skipped because the new build's health check failed or could not start, and
    the build's own failure path never ran: a failing --health-check always writes its error file."""
    events = [json.loads(line).get("event") for line in log_lines]
    skipped = ["update_skipped: 新版助手健康检查失败", "update_skipped: 新版助手无法启动"]
    if not any(e in skipped for e in events):
        return False
    folder = os.path.join(world.install_root, "versions", str(build))
    return not os.path.exists(os.path.join(folder, "native-check-error.json"))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "shot":
        return 0 if xwd_to_png(sys.argv[2], sys.argv[3]) else 1
    if len(sys.argv) == 4 and sys.argv[1] == "world":
        return 0 if check_world(World(sys.argv[2], sys.argv[3])) else 1
    if len(sys.argv) == 4 and sys.argv[1] == "install":
        return 0 if install(World(sys.argv[2], sys.argv[3])) else 1
    if len(sys.argv) == 5 and sys.argv[1] == "click" and sys.argv[4] in SCENARIOS:
        return 0 if click(World(sys.argv[2], sys.argv[3]), sys.argv[4]) else 1
    print(__doc__, file=sys.stderr)
    print("scenarios: " + ", ".join(SCENARIOS), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
