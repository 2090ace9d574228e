#!/usr/bin/env python3
"""A stand-in for the lobby and the update host: HTTPS on 127.0.0.1, scriptable, recording.

Python standard library only; the certificates are made per run with the openssl command-line tool.
See tools/README.md for the protocol and the control interface.
"""

import argparse
import hashlib
import http.server
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

LOBBY_PATHS = ("/api/entry/context", "/api/entry/consume", "/api/entry/helper-progress")
MANIFEST_PATH = "/downloads/native-connector-update.json"
IMAGE_PATH = re.compile(r"/downloads/native/([a-f0-9]{64})\.exe")

# How long a scripted stall ("silent", "endless", "drip", long delays) may last at most, so that a
# client that never gives up cannot keep a handler thread for good.
MAX_STALL_SECONDS = 120


def default_entry():
    """An Entry that a helper accepts, expiring 30 seconds after it is served."""
    return {
        "expiresIn": 30,
        "roomId": "abcdef123456",
        "steamId": "76561198000000001",
        "serverSteamId": "[A:1:123:45]",
        "addon": "3123456789",
        "map": "brellowick",
        "connectionType": "steam",
        "toolsMode": False,
    }


class Activity:
    """When anything last happened, for the idle exit."""

    def __init__(self):
        self.last = time.monotonic()

    def touch(self):
        self.last = time.monotonic()


# --- certificates ---------------------------------------------------------------------------

def run_openssl(*args):
    subprocess.run(["openssl", *args], check=True, timeout=60, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    """A CA and a certificate for localhost / 127.0.0.1 signed by it, fresh for this run."""
    os.makedirs(folder, exist_ok=True)
    p = lambda name: os.path.join(folder, name)
    for name in ("ca.key", "ca.pem", "ca.der", "server.key", "server.csr", "server.pem", "server.ext",
                 "untrusted.key", "untrusted.pem"):
        if os.path.exists(p(name)):
            os.remove(p(name))
    run_openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                "-subj", "/CN=Quorvel Lobby Simulator Test CA",
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                "-keyout", p("ca.key"), "-out", p("ca.pem"))
    run_openssl("x509", "-in", p("ca.pem"), "-outform", "DER", "-out", p("ca.der"))
    run_openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=localhost",
                "-keyout", p("server.key"), "-out", p("server.csr"))
    with open(p("server.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:localhost,IP:127.0.0.1\n")
    run_openssl("x509", "-req", "-in", p("server.csr"), "-CA", p("ca.pem"), "-CAkey", p("ca.key"),
                "-set_serial", str(int.from_bytes(os.urandom(8), "big")), "-days", "2", "-sha256",
                "-extfile", p("server.ext"), "-out", p("server.pem"))
    # A certificate for the same names that no CA vouches for, to show that clients check.
    run_openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2", "-subj", "/CN=localhost",
                "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                "-keyout", p("untrusted.key"), "-out", p("untrusted.pem"))
    with open(p("ca.der"), "rb") as f:
        ca_sha1 = hashlib.sha1(f.read()).hexdigest().upper()
    return ca_sha1


# --- one HTTPS host -----------------------------------------------------------------------

class Instance:
    """One HTTPS listener with its own script, Entry, release and request record."""

    def __init__(self, sim, name, port=0, untrusted=False):
        self.sim = sim
        self.name = name
        self.lock = threading.Lock()
        self.rules = []
        self.requests = []
        self.entry = default_entry()
        self.manifest = None
        self.images = {}
        self.downloads = None  # a folder whose files answer the update host's paths
        self.stopping = threading.Event()
        context = sim.untrusted_context if untrusted else sim.tls_context
        self.server = TlsServer(("127.0.0.1", port), LobbyHandler, context, self)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.2},
                                       daemon=True)
        self.thread.start()

    def stop(self):
        self.stopping.set()
        self.server.shutdown()
        self.server.server_close()

    def take_rule(self, method, path):
        with self.lock:
            for rule in self.rules:
                if rule.get("path", path) != path or rule.get("method", method) != method:
                    continue
                if "times" in rule:
                    rule["times"] -= 1
                    if rule["times"] <= 0:
                        self.rules.remove(rule)
                return dict(rule)
        return None

    def record(self, entry):
        with self.lock:
            self.requests.append(entry)

    def publish(self, build, image):
        digest = hashlib.sha256(image).hexdigest()
        with self.lock:
            self.images[digest] = image
            self.manifest = {"build": build, "bytes": len(image), "platform": "windows-x64", "schema": 1,
                             "sha256": digest}
        return self.manifest


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, handler, context, instance):
        self.context = context
        self.instance = instance
        # When each connection was accepted (time.monotonic), handed from the accepting thread to
        # the connection's own, which keeps it in `timing` for its handler.
        self.accepted_at = {}
        self.timing = threading.local()
        super().__init__(address, handler)

    def get_request(self):
        request, client_address = super().get_request()
        self.accepted_at[id(request)] = time.monotonic()
        return request, client_address

    def finish_request(self, request, client_address):
        self.timing.accepted = self.accepted_at.pop(id(request), None)
        # The handshake runs on the connection's own thread, so a client that never completes it
        # holds up nobody else.
        request.settimeout(30)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        pass  # a client that hangs up mid-answer is part of the game


def read_placed_file(folder, path):
    """The file a test placed for an update-host path (`native-connector-update.json`,
    `native/<sha256>.exe` below the folder), read at each request; None when absent."""
    relative = path[len("/downloads/"):]
    try:
        with open(os.path.join(folder, *relative.split("/")), "rb") as placed:
            return placed.read()
    except OSError:
        return None


def json_bytes(value):
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"), sort_keys=True).encode("utf-8")


class LobbyHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def version_string(self):
        return "QuorvelLobbySimulator/1"

    def log_message(self, format, *args):
        pass

    def handle_one_request(self):
        self.close_connection = True
        try:
            self.raw_requestline = self.rfile.readline(65537)
        except (OSError, ssl.SSLError):
            return
        if not self.raw_requestline or not self.parse_request():
            return
        self.close_connection = True  # one request per connection, whatever the client asked for
        instance = self.server.instance
        instance.sim.activity.touch()
        body = self.read_body()
        if body is None:
            return
        entry = {
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": [[name, value] for name, value in self.headers.items()],
            "bodyHex": body.hex(),
            "body": body.decode("utf-8", "replace"),
            "time": time.time(),
            "accepted": getattr(self.server.timing, "accepted", None),
            "received": time.monotonic(),
        }
        instance.record(entry)
        rule = instance.take_rule(self.command, self.path)
        self.answer = {"mode": rule.get("mode", "normal") if rule else "normal", "status": None}
        try:
            if rule is None:
                self.answer_by_default(instance, body)
            else:
                self.answer_by_rule(instance, rule)
        except (OSError, ssl.SSLError):
            pass
        with instance.lock:  # the control side may be serialising the record meanwhile
            entry["answered"] = time.monotonic()
        instance.sim.capture_exchange(entry, self.answer)

    def read_body(self):
        try:
            if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
                body = b""
                while True:
                    size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                    if size == 0:
                        while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                            pass
                        return body
                    body += self.rfile.read(size)
                    self.rfile.readline()
            return self.rfile.read(int(self.headers.get("Content-Length", "0")))
        except (OSError, ssl.SSLError, ValueError):
            return None

    # Answers -----------------------------------------------------------------------------

    def answer_by_default(self, instance, body):
        path, method = self.path, self.command
        if path in LOBBY_PATHS:
            if method != "POST":
                return self.send(405, json_bytes({"error": {"message": "method not allowed"}}))
            try:
                request = json.loads(body.decode("utf-8"))
                if not isinstance(request, dict) or not isinstance(request.get("ticket"), str):
                    raise ValueError
            except ValueError:
                return self.send(400, json_bytes({"error": {"message": "bad request"}}))
            if path.endswith("/helper-progress"):
                return self.send(200, json_bytes({"ok": True}))
            with instance.lock:
                entry = dict(instance.entry)
            if "expiresIn" in entry:
                entry["expiresAt"] = time.time() + entry.pop("expiresIn")
            return self.send(200, json_bytes(entry))
        image = IMAGE_PATH.fullmatch(path)
        if path == MANIFEST_PATH or image:
            if method != "GET":
                return self.send(405, json_bytes({"error": {"message": "method not allowed"}}))
            with instance.lock:
                found = json_bytes(instance.manifest) if path == MANIFEST_PATH and instance.manifest else (
                    instance.images.get(image.group(1)) if image else None)
                folder = instance.downloads
            if found is None and folder is not None:
                found = read_placed_file(folder, path)
            if found is None:
                return self.send(404, json_bytes({"error": {"message": "not found"}}))
            kind = "application/json" if path == MANIFEST_PATH else "application/octet-stream"
            return self.send(200, found, content_type=kind)
        return self.send(404, json_bytes({"error": {"message": "not found"}}))

    def answer_by_rule(self, instance, rule):
        stop = instance.stopping
        if rule.get("delayMs"):
            stop.wait(min(rule["delayMs"] / 1000.0, MAX_STALL_SECONDS))
        mode = rule.get("mode", "normal")
        if mode == "silent":
            return self.stay_silent(stop)
        if mode == "close":
            return
        if "bodyHex" in rule:
            body = bytes.fromhex(rule["bodyHex"])
        elif "json" in rule:
            body = json_bytes(rule["json"])
        else:
            body = rule.get("body", "").encode("utf-8")
        headers = rule.get("headers", {})
        headers = list(headers.items()) if isinstance(headers, dict) else [tuple(h) for h in headers]
        status = int(rule.get("status", 200))
        if mode == "endless":
            self.note_answer(status, body or b" ", headers, None)
            return self.send_endless(status, headers, body or b" ", stop)
        if mode == "cut":
            return self.send(status, body, headers=headers, cut_after=int(rule.get("cutAfter", len(body) // 2)),
                             chunked=bool(rule.get("chunked")))
        if mode == "drip":
            return self.send(status, body, headers=headers, drip=(int(rule.get("intervalMs", 1000)) / 1000.0, stop))
        return self.send(status, body, headers=headers)

    def send(self, status, body, headers=(), content_type="application/json", cut_after=None, chunked=False,
             drip=None):
        """The answer; with `drip` = (seconds, stop event) the status and headers at once, then the
        body one byte after each interval, until it is all sent, the client hangs up or the stall
        limit is reached."""
        self.note_answer(status, body, headers, content_type)
        self.send_response(status)
        names = {name.lower() for name, _ in headers}
        if "content-type" not in names and content_type:
            self.send_header("Content-Type", content_type)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
            body = b"%x\r\n" % len(body) + body + b"\r\n0\r\n\r\n"
        elif "content-length" not in names:
            self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()
        if drip is not None:
            return self.send_drip(body, *drip)
        self.wfile.write(body if cut_after is None else body[:cut_after])
        if cut_after is not None:
            self.wfile.flush()
            # Hang up without finishing the body or the TLS session.
            self.connection.shutdown(socket.SHUT_RDWR)

    def note_answer(self, status, body, headers, content_type):
        """What is about to be sent, for the capture: the body whole, as the answer means it (a
        `cut` or `endless` answer sends less or more, which its mode tells)."""
        for name, value in headers:
            if name.lower() == "content-type":
                content_type = value
        self.answer.update(status=status, length=len(body), sha256=hashlib.sha256(body).hexdigest(),
                           contentType=content_type)
        if content_type != "application/octet-stream":
            self.answer["body"] = body.decode("utf-8", "replace")

    def send_drip(self, body, interval, stop):
        self.wfile.flush()
        give_up = time.monotonic() + MAX_STALL_SECONDS
        for i in range(len(body)):
            if stop.wait(interval) or time.monotonic() >= give_up:
                return
            self.wfile.write(body[i:i + 1])
            self.wfile.flush()

    def send_endless(self, status, headers, pattern, stop):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Connection", "close")
        self.end_headers()
        block = (pattern * (16384 // len(pattern) + 1))[:16384]
        give_up = time.monotonic() + MAX_STALL_SECONDS
        while not stop.is_set() and time.monotonic() < give_up:
            self.wfile.write(block)

    def stay_silent(self, stop):
        """Keeps the connection open and answers nothing until the client hangs up."""
        self.connection.settimeout(0.2)
        give_up = time.monotonic() + MAX_STALL_SECONDS
        while not stop.is_set() and time.monotonic() < give_up:
            try:
                if not self.connection.recv(4096):
                    return
            except (socket.timeout, ssl.SSLWantReadError):
                continue
            except (OSError, ssl.SSLError):
                return


# --- control interface ------------------------------------------------------------------

class ControlServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, sim):
        self.sim = sim
        super().__init__(("127.0.0.1", sim.control_port), ControlHandler)


class ControlHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def do_PUT(self):
        self.dispatch()

    def do_DELETE(self):
        self.dispatch()

    def reply(self, status, value):
        body = json_bytes(value)
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def dispatch(self):
        sim = self.server.sim
        sim.activity.touch()
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        parts = [urllib.parse.unquote(p) for p in url.path.strip("/").split("/") if p]
        method = self.command
        try:
            if parts == ["instances"] and method == "POST":
                options = json.loads(body) if body else {}
                instance = sim.create_instance(untrusted=options.get("certificate") == "untrusted")
                return self.reply(200, {"id": instance.name, "port": instance.port})
            if parts == ["shutdown"] and method == "POST":
                self.reply(200, {"ok": True})
                sim.finished.set()
                return
            if len(parts) < 2 or parts[0] != "instances":
                return self.reply(404, {"error": {"message": "unknown control path"}})
            instance = sim.instances.get(parts[1])
            if instance is None:
                return self.reply(404, {"error": {"message": "unknown instance"}})
            what = parts[2] if len(parts) > 2 else None
            if what is None and method == "DELETE":
                sim.remove_instance(parts[1])
                return self.reply(200, {"ok": True})
            if what is None and method == "GET":
                return self.reply(200, {"id": instance.name, "port": instance.port})
            if what == "rules" and method == "POST":
                rules = json.loads(body)
                with instance.lock:
                    instance.rules.extend(rules if isinstance(rules, list) else [rules])
                return self.reply(200, {"ok": True})
            if what == "rules" and method == "DELETE":
                with instance.lock:
                    instance.rules.clear()
                return self.reply(200, {"ok": True})
            if what == "requests" and method == "GET":
                with instance.lock:
                    return self.reply(200, list(instance.requests))
            if what == "requests" and method == "DELETE":
                with instance.lock:
                    instance.requests.clear()
                return self.reply(200, {"ok": True})
            if what == "entry" and method == "PUT":
                entry = json.loads(body)
                with instance.lock:
                    instance.entry = entry
                return self.reply(200, {"ok": True})
            if what == "downloads" and method == "PUT":
                folder = body.decode("utf-8")
                with instance.lock:
                    instance.downloads = folder or None
                return self.reply(200, {"ok": True})
            if what == "release" and method == "PUT":
                build = int(query.get("build", ["2026092002"])[0])
                return self.reply(200, instance.publish(build, body))
            return self.reply(404, {"error": {"message": "unknown control request"}})
        except (ValueError, KeyError) as error:
            return self.reply(400, {"error": {"message": "bad control request: %s" % error}})


# --- the whole simulator -------------------------------------------------------------------

class Simulator:
    def __init__(self, folder, https_port, control_port, capture=None):
        self.folder = folder
        self.activity = Activity()
        self.finished = threading.Event()
        self.instances = {}
        self.instances_lock = threading.Lock()
        self.next_id = 1
        self.ca_sha1 = make_certificates(folder)
        self.tls_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.tls_context.load_cert_chain(os.path.join(folder, "server.pem"), os.path.join(folder, "server.key"))
        self.untrusted_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.untrusted_context.load_cert_chain(os.path.join(folder, "untrusted.pem"),
                                               os.path.join(folder, "untrusted.key"))
        self.capture = os.path.abspath(capture) if capture else None
        self.capture_lock = threading.Lock()
        self.control_port = control_port
        self.control = ControlServer(self)
        threading.Thread(target=self.control.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
        self.instances["default"] = Instance(self, "default", https_port)

    def capture_exchange(self, request, answer):
        """With --capture: one line a request, its answer's status (null when none was sent),
        mode, length, SHA-256 and body (when not an image)."""
        if not self.capture:
            return
        line = {"method": request["method"], "path": request["path"], "requestHeaders": request["headers"],
                "request": request["body"], **answer}
        with self.capture_lock, open(self.capture, "a", encoding="utf-8") as out:
            out.write(json.dumps(line, ensure_ascii=False) + "\n")

    def create_instance(self, untrusted=False):
        with self.instances_lock:
            name = str(self.next_id)
            self.next_id += 1
        instance = Instance(self, name, untrusted=untrusted)
        with self.instances_lock:
            self.instances[name] = instance
        return instance

    def remove_instance(self, name):
        with self.instances_lock:
            instance = self.instances.pop(name, None)
        if instance is not None:
            threading.Thread(target=instance.stop, daemon=True).start()

    def state(self):
        return {
            "pid": os.getpid(),
            "httpsPort": self.instances["default"].port,
            "controlPort": self.control.server_address[1],
            "caCertificate": os.path.join(self.folder, "ca.pem"),
            "caDer": os.path.join(self.folder, "ca.der"),
            "caSha1": self.ca_sha1,
            **({"capture": self.capture} if self.capture else {}),
        }


def write_atomically(path, text):
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".state-")
    with os.fdopen(handle, "w") as f:
        f.write(text)
    os.replace(temporary, path)


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", required=True, help="folder for the certificates and state.json")
    parser.add_argument("--https-port", type=int, default=0, help="port of the default host (0: any free one)")
    parser.add_argument("--control-port", type=int, default=0, help="port of the control interface (0: any)")
    parser.add_argument("--watch-pid", type=int, default=0, help="exit when this process has ended")
    parser.add_argument("--idle-exit", type=float, default=0,
                        help="exit after this many seconds without a request (0: never)")
    parser.add_argument("--max-lifetime", type=float, default=0, help="exit after this many seconds (0: never)")
    parser.add_argument("--downloads", default="",
                        help="a release tree (scripts/release's dist/) whose files the default host serves")
    parser.add_argument("--capture", default="",
                        help="append each request and the answer given to it to this file, one JSON object a line")
    args = parser.parse_args()

    os.makedirs(args.dir, exist_ok=True)
    state_path = os.path.join(args.dir, "state.json")
    if os.path.exists(state_path):
        os.remove(state_path)
    sim = Simulator(args.dir, args.https_port, args.control_port, args.capture)
    if args.downloads:
        sim.instances["default"].downloads = os.path.abspath(args.downloads)
    signal.signal(signal.SIGTERM, lambda *_: sim.finished.set())
    signal.signal(signal.SIGINT, lambda *_: sim.finished.set())
    write_atomically(state_path, json.dumps(sim.state(), indent=2) + "\n")
    print(json.dumps(sim.state()), flush=True)

    started = time.monotonic()
    while not sim.finished.wait(0.5):
        now = time.monotonic()
        if args.watch_pid and not process_alive(args.watch_pid):
            break
        if args.idle_exit and now - sim.activity.last > args.idle_exit:
            break
        if args.max_lifetime and now - started > args.max_lifetime:
            break
    try:
        os.remove(state_path)
    except OSError:
        pass
    # Handler threads may still be stalling on purpose; they are daemons and end with us.
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
