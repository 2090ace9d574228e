#!/usr/bin/env python3
"""check_lobby_api.py against broken copies of docs/lobby-api.yaml and of the Entry table, and
against the answers of a real lobby_sim.py (127.0.0.1 only) captured with --capture: each check
passes the real document and fails each kind of fault. Also holds the Entry schema's
serverSteamId pattern to the helper's arithmetic rule over the numbers around every bound."""

import contextlib
import http.client
import io
import json
import os
import random
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

import yaml

TOOLS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(TOOLS)
DOC = os.path.join(ROOT, "docs", "lobby-api.yaml")
CASES = os.path.join(ROOT, "tests", "lobby", "entry_cases.json")
sys.path.insert(0, TOOLS)
import check_lobby_api  # noqa: E402

TICKET = "AbCdEfGhIjKlMnOpQrStUvWxYz0123456789-_abcde"


def run_check(*args):
    """The checker's exit code and output, run in this process (its start is most of its time)."""
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        code = check_lobby_api.main(list(args))
    return code, output.getvalue()


def load(path):
    with open(path, encoding="utf-8") as text:
        return yaml.safe_load(text) if path.endswith(".yaml") else json.load(text)


class Broken:
    """A changed copy of the document (and of the case file) in a temporary folder."""

    def __init__(self, folder, change_document=None, change_cases=None):
        document, cases = load(DOC), load(CASES)
        if change_document:
            change_document(document)
        if change_cases:
            change_cases(cases)
        self.doc = os.path.join(folder, "lobby-api.yaml")
        self.cases = os.path.join(folder, "entry_cases.json")
        with open(self.doc, "w", encoding="utf-8") as out:
            yaml.safe_dump(document, out, allow_unicode=True)
        with open(self.cases, "w", encoding="utf-8") as out:
            json.dump(cases, out, ensure_ascii=False)


def schemas(document):
    return document["components"]["schemas"]


def entry(document):
    return schemas(document)["Entry"]["properties"]


class DocumentCheck(unittest.TestCase):
    def test_the_document_and_the_table_hold(self):
        for args in (("document", DOC), ("entries", DOC, CASES)):
            code, output = run_check(*args)
            self.assertEqual(code, 0, output)

    def test_each_structural_fault_is_named(self):
        def context(d):
            return d["paths"]["/api/entry/context"]["post"]
        faults = {
            "not 3.1": (lambda d: d.update(openapi="3.0.3"), "openapi: must be 3.1.x"),
            "a schema that is no schema": (lambda d: entry(d)["roomId"].update(type="strng"),
                                           "components.schemas.Entry: not a Draft 2020-12 schema"),
            "a dangling $ref": (lambda d: context(d)["responses"].update({"200": {"$ref": "#/components/responses/Nope"}}),
                                "$ref '#/components/responses/Nope' does not resolve"),
            "a response without description": (lambda d: d["components"]["responses"]["Redirect"].pop("description"),
                                               "a response needs a description"),
            "an undeclared path parameter": (
                lambda d: d["paths"]["/downloads/native/{sha256}.exe"]["get"]["parameters"].pop(),
                "path parameter 'sha256' is not declared"),
            "no answer limit": (lambda d: context(d).pop("x-max-answer-bytes"),
                                "x-max-answer-bytes must be a positive integer"),
            "a bad status key": (lambda d: context(d)["responses"].update({"2xx": {"description": "x"}}),
                                 "response key '2xx'"),
        }
        for what, (change, message) in faults.items():
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                broken = Broken(folder, change_document=change)
                code, output = run_check("document", broken.doc)
                self.assertEqual(code, 1, output)
                self.assertIn(message, output)

    def test_the_entry_table_catches_a_schema_that_disagrees_with_the_helper(self):
        def widened_room(d):
            entry(d)["roomId"]["pattern"] = "^[a-fA-F0-9]{12}$"

        def stricter_expiry(d):
            entry(d)["expiresAt"]["minimum"] = 1800000000.5

        def misfiled_case(c):
            next(x for x in c["refused"] if x["what"] == "expired")["schemaExpresses"] = True
            next(x for x in c["refused"] if x["what"] == "map dot")["schemaExpresses"] = False

        def unlabelled_case(c):
            c["refused"][0].pop("schemaExpresses")

        def too_narrow(d):
            entry(d)["map"]["pattern"] = "^brellowick$"  # refuses "brellowick.vpk", and "A_b9" too

        def refused_for_another_member(d):
            # Upper-case rooms pass their own pattern, but the schema refuses their map instead.
            entry(d)["roomId"]["pattern"] = "^[a-fA-F0-9]{12}$"
            schemas(d)["Entry"].update({"if": {"properties": {"roomId": {"pattern": "^[A-F]"}}},
                                        "then": {"properties": {"map": {"const": "elsewhere"}}}})

        faults = {
            "a widened pattern": (widened_room, None, ["refused 'roomId upper' (房间或玩家标识无效) passes"]),
            "a rule the helper lacks": (stricter_expiry, None,
                                        ["accepted 'fractional expiry' fails the Entry schema: expiresAt"]),
            "a wrongly labelled case": (None, misfiled_case, ["refused 'expired' (连接信息已过期，请回大厅重新点击) passes",
                                                              "refused 'map dot' is marked as beyond a schema"]),
            "an unlabelled case": (None, unlabelled_case, ["refused 'array' does not say whether"]),
            "a too narrow pattern": (too_narrow, None, ["accepted 'every bound at its edge' fails"]),
            "a refusal for another reason": (refused_for_another_member, None,
                                             ["refused 'roomId upper' fails the schema on ['map'], not on ['roomId']"]),
        }
        for what, (change_document, change_cases, messages) in faults.items():
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                broken = Broken(folder, change_document, change_cases)
                code, output = run_check("entries", broken.doc, broken.cases)
                self.assertEqual(code, 1, output)
                for message in messages:
                    self.assertIn(message, output)

    def test_the_server_pattern_is_the_helpers_range_rule(self):
        document = load(DOC)
        validator = check_lobby_api.validator_for(document, entry(document)["serverSteamId"])
        rng = random.Random(7)
        numbers = {0, 1, 2**32 - 1, 2**32, 2**20 - 1, 2**20, 10**10 - 1}
        for digits in range(1, 11):  # around every power of ten and every prefix of both bounds
            numbers |= {10**digits - 1, 10**digits, 10**(digits - 1)}
        for bound in (2**32 - 1, 2**20 - 1):
            text = str(bound)
            for i in range(1, len(text) + 1):
                head = int(text[:i])
                for tail in ("0" * (len(text) - i), "9" * (len(text) - i)):
                    for near in (head - 1, head, head + 1):
                        if near >= 0:
                            numbers.add(int(str(near) + tail))
        numbers |= {rng.randrange(0, 10**10) for _ in range(300)}
        texts = set()
        for n in numbers:
            for width in (len(str(n)), 10, 11):
                texts.add(str(n).zfill(width))
        checked = 0
        for text in sorted(texts):
            for account, instance in ((text, "1"), ("1", text)):
                value = "[A:1:%s:%s]" % (account, instance)
                shaped = all(1 <= len(p) <= 10 for p in (account, instance))
                expected = shaped and 1 <= int(account) <= 2**32 - 1 and 1 <= int(instance) <= 2**20 - 1
                self.assertEqual(validator.is_valid(value), expected, value)
                checked += 1
        self.assertGreater(checked, 1000)


class Simulator:
    """lobby_sim.py with --capture in a temporary folder, ended by its pid."""

    def __init__(self, folder):
        self.folder = folder
        self.capture = os.path.join(folder, "answers.jsonl")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(TOOLS, "lobby_sim.py"), "--dir", folder, "--capture", self.capture,
             "--max-lifetime", "120"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        state = os.path.join(folder, "state.json")
        deadline = time.monotonic() + 60
        while not os.path.exists(state):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the simulator did not start: %s" % self.process.stderr.read())
            time.sleep(0.05)
        self.state = load(state)
        self.tls = ssl.create_default_context(cafile=self.state["caCertificate"])

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=30)
        self.process.stderr.close()

    def control(self, method, path, value):
        connection = http.client.HTTPConnection("127.0.0.1", self.state["controlPort"], timeout=30)
        connection.request(method, path, json.dumps(value))
        connection.getresponse().read()
        connection.close()

    def ask(self, method, path, body=None, agent="TXQ-Native-Experiment/1"):
        """One exchange as the helper makes it; the answer's status (None when there was none)."""
        connection = http.client.HTTPSConnection("127.0.0.1", self.state["httpsPort"], context=self.tls, timeout=30)
        headers = {"User-Agent": agent}
        if body is not None:
            headers.update({"Content-Type": "application/json", "Accept": "application/json"})
        else:
            headers["Cache-Control"] = "no-cache"
        try:
            connection.request(method, path, None if body is None else json.dumps(body, separators=(",", ":")),
                               headers)
            answer = connection.getresponse()
            answer.read()
            return answer.status
        except (http.client.HTTPException, OSError):
            return None
        finally:
            connection.close()


class AnswersCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="lobby-api-check-")
        cls.sim = Simulator(cls.folder)

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def exchanges(self, rules, asks):
        """The checker's verdict on the answers to `asks` under `rules`, hostile paths given."""
        start = os.path.getsize(self.sim.capture) if os.path.exists(self.sim.capture) else 0
        self.sim.control("DELETE", "/instances/default/rules", None)
        if rules:
            self.sim.control("POST", "/instances/default/rules", rules)
        for ask in asks:
            self.sim.ask(*ask)
        return lambda *hostile: run_check("answers", DOC, self.sim.capture, "--from", str(start),
                                          *[a for path in hostile for a in ("--off-contract", path)])

    def test_the_simulators_own_answers_are_as_documented(self):
        image = b"MZ" + bytes(65534)
        connection = http.client.HTTPConnection("127.0.0.1", self.sim.state["controlPort"], timeout=30)
        connection.request("PUT", "/instances/default/release?build=2026092002", image)
        manifest = json.loads(connection.getresponse().read())
        connection.close()
        verdict = self.exchanges([], [
            ("POST", "/api/entry/context", {"ticket": TICKET}),
            ("POST", "/api/entry/helper-progress", {"phase": "checking", "ticket": TICKET}),
            ("POST", "/api/entry/consume", {"ticket": TICKET}),
            ("GET", "/downloads/native-connector-update.json", None, "TXQ-Native-Updater/1"),
            ("GET", "/downloads/native/%s.exe" % manifest["sha256"], None, "TXQ-Native-Updater/1"),
            ("GET", "/downloads/native/%s.exe" % ("0" * 64), None, "TXQ-Native-Updater/1"),
            ("POST", "/api/entry/context", {"nothing": 1}),  # answered 400 with error.message
        ])
        code, output = verdict()
        self.assertEqual(code, 1, output)  # the last request is not the helper's
        self.assertEqual(output.count("FAILED"), 1, output)
        self.assertIn("FAILED: POST /api/entry/context -> 400: request body: (top): 'ticket' is a required property",
                      output)
        for line in ("POST /api/entry/context -> 200: as documented", "POST /api/entry/consume -> 200: as documented",
                     "GET /downloads/native-connector-update.json -> 200: as documented",
                     "GET /downloads/native/%s.exe -> 404: as documented" % ("0" * 64)):
            self.assertIn(line, output)

    def test_each_hostile_answer_is_refused(self):
        context = "/api/entry/context"
        cases = {
            "a redirect": ({"status": 302, "headers": {"Location": "/elsewhere"}, "json": {}}, "status 302 (3XX)"),
            "an HTML error page": ({"status": 500, "body": "<html>500</html>"}, "the body is not JSON"),
            "an Entry with a suffix": ({"json": {"expiresAt": 1, "roomId": "abcdef123456", "steamId": "76561198000000001",
                                                 "serverSteamId": "[A:1:1:1]x", "addon": "a", "map": "m",
                                                 "connectionType": "steam", "toolsMode": False}},
                                       "serverSteamId: '[A:1:1:1]x' does not match"),
            "a body over the limit": ({"body": '{"a":"%s"}' % ("x" * (1048577 - 8))},
                                      "a body of 1048577 bytes, over the 1048576"),
            "arrays nested beyond any parser": ({"body": "[" * 200000 + "]" * 200000}, "the body is no object"),
            "a cut answer": ({"json": {"a": 1}, "mode": "cut"}, "an incomplete answer (cut)"),
            "no answer": ({"mode": "close"}, "no answer (close)"),
        }
        for what, (rule, message) in cases.items():
            with self.subTest(what):
                rule = dict(rule, path=context, times=1)
                verdict = self.exchanges([rule], [("POST", context, {"ticket": TICKET}),
                                                  ("POST", "/api/entry/helper-progress",
                                                   {"phase": "failed", "ticket": TICKET})])
                code, output = verdict()
                self.assertEqual(code, 1, output)
                self.assertIn("FAILED: POST %s -> " % context, output)
                self.assertIn(message, output)
                self.assertNotIn("FAILED: POST /api/entry/helper-progress", output)
                # Declared hostile, the same answers pass the check, which names them as intended.
                code, output = verdict(context)
                self.assertEqual(code, 0, output)
                self.assertIn("(as the scenario intends)", output)

    def test_a_hostile_path_answered_as_documented_fails(self):
        verdict = self.exchanges([], [("POST", "/api/entry/context", {"ticket": TICKET})])
        code, output = verdict("/api/entry/context")
        self.assertEqual(code, 1, output)
        self.assertIn("an answer meant to break the contract passes the document", output)

    def test_nothing_captured_fails(self):
        code, output = self.exchanges([], [])()
        self.assertEqual(code, 1, output)
        self.assertIn("no answers were captured", output)


if __name__ == "__main__":
    unittest.main()
