#!/usr/bin/env python3
"""check_lobby_api.py: docs/lobby-api.yaml against itself, the helper's Entry table and the
simulator's answers. Needs Debian's python3-yaml and python3-jsonschema (Draft 2020-12).

  check_lobby_api.py document DOC
      DOC is an OpenAPI 3.1 document in the subset this project uses (checked here: the fields it
      writes, their types, every $ref resolving, every path parameter declared) and every schema
      in it is a valid Draft 2020-12 schema.
  check_lobby_api.py entries DOC CASES
      The Entry table of the native tests (tests/lobby/entry_cases.json): every answer the helper
      accepts validates against the Entry schema; every answer it refuses for a rule a schema can
      express fails it, on the member the case changed; every one it refuses only for a rule no
      schema can express (the clock) validates.
  check_lobby_api.py answers DOC CAPTURE [--from BYTE] [--off-contract PATH]...
      The simulator's answers (lobby_sim.py --capture, one JSON object a line from byte BYTE on):
      each request and answer validates against the operation of its path and its status, within
      the operation's x-max-answer-bytes. Answers to an --off-contract PATH (a scenario's hostile
      lobby) must fail instead. At least one answer must have been captured.

Exit code 0 when everything holds, 1 with each problem on a line of its own, 2 on bad usage.
Patterns are matched as ECMA-262 does, where `$` is the end of the text (Python's `re` lets a
final line feed through it).
"""

import argparse
import hashlib
import json
import re
import sys

try:
    import jsonschema
    import yaml
except ImportError as missing:
    sys.exit("check_lobby_api.py needs Debian's python3-jsonschema and python3-yaml (scripts/setup installs "
             "them) under /usr/bin/python3: %s" % missing)

OPERATION_METHODS = ("get", "put", "post", "delete", "options", "head", "patch", "trace")
STATUS_KEY = re.compile(r"^(?:[1-5][0-9][0-9]|[1-5]XX|default)$")


# --- reading and checking the document ---------------------------------------------------------

def load_document(path):
    with open(path, encoding="utf-8") as text:
        return yaml.safe_load(text)


def resolve(document, value):
    """A $ref of the document followed to its target (local references only)."""
    seen = set()
    while isinstance(value, dict) and "$ref" in value and set(value) <= {"$ref", "description", "summary"}:
        ref = value["$ref"]
        if not ref.startswith("#/") or ref in seen:
            raise KeyError(ref)
        seen.add(ref)
        value = document
        for part in ref[2:].split("/"):
            value = value[part.replace("~1", "/").replace("~0", "~")]
    return value


class DocumentProblems:
    def __init__(self, document):
        self.document = document
        self.problems = []

    def need(self, condition, where, what):
        if not condition:
            self.problems.append("%s: %s" % (where, what))
        return condition

    def follow(self, value, where):
        try:
            return resolve(self.document, value)
        except (KeyError, TypeError):
            self.problems.append("%s: $ref %r does not resolve" % (where, value.get("$ref")))
            return None

    def schema(self, value, where):
        try:
            jsonschema.Draft202012Validator.check_schema(value)
        except jsonschema.exceptions.SchemaError as error:
            self.problems.append("%s: not a Draft 2020-12 schema: %s" % (where, error.message))
        for ref in references(value):
            self.follow({"$ref": ref}, where)

    def content(self, content, where):
        if not self.need(isinstance(content, dict) and content, where, "content must map media types"):
            return
        for media, entry in content.items():
            if self.need(isinstance(entry, dict), "%s.%s" % (where, media), "a media type object") and "schema" in entry:
                self.schema(entry["schema"], "%s.%s.schema" % (where, media))

    def parameter(self, value, where, path_names):
        parameter = self.follow(value, where)
        if parameter is None:
            return
        if not (self.need(isinstance(parameter.get("name"), str), where, "parameter without a name")
                and self.need(parameter.get("in") in ("query", "header", "path", "cookie"), where,
                              "parameter 'in' must be query, header, path or cookie")):
            return
        if parameter["in"] == "path":
            self.need(parameter.get("required") is True, where, "a path parameter must be required")
            self.need(parameter["name"] in path_names, where,
                      "path parameter %r is not in the path" % parameter["name"])
        if self.need("schema" in parameter or "content" in parameter, where, "parameter without schema"):
            if "schema" in parameter:
                self.schema(parameter["schema"], where + ".schema")

    def response(self, value, where):
        response = self.follow(value, where)
        if response is None:
            return
        self.need(isinstance(response.get("description"), str), where, "a response needs a description")
        if "content" in response:
            self.content(response["content"], where + ".content")

    def operation(self, operation, where, path_names, operation_ids):
        if not self.need(isinstance(operation, dict), where, "an operation object"):
            return
        identifier = operation.get("operationId")
        if identifier is not None:
            self.need(identifier not in operation_ids, where, "operationId %r used twice" % identifier)
            operation_ids.add(identifier)
        limit = operation.get("x-max-answer-bytes")
        self.need(isinstance(limit, int) and not isinstance(limit, bool) and limit > 0, where,
                  "x-max-answer-bytes must be a positive integer")
        declared = set()
        for i, value in enumerate(operation.get("parameters", [])):
            self.parameter(value, "%s.parameters[%d]" % (where, i), path_names)
            parameter = self.follow(value, where) or {}
            if parameter.get("in") == "path":
                declared.add(parameter.get("name"))
        for name in path_names - declared:
            self.problems.append("%s: path parameter %r is not declared" % (where, name))
        if "requestBody" in operation:
            body = self.follow(operation["requestBody"], where + ".requestBody")
            if body is not None:
                self.content(body.get("content"), where + ".requestBody.content")
        responses = operation.get("responses")
        if self.need(isinstance(responses, dict) and responses, where, "responses must not be empty"):
            for status, value in responses.items():
                if self.need(STATUS_KEY.match(str(status)), where, "response key %r" % status):
                    self.response(value, "%s.responses.%s" % (where, status))

    def check(self):
        document = self.document
        if not self.need(isinstance(document, dict), "document", "must be a mapping"):
            return self.problems
        self.need(re.fullmatch(r"3\.1\.[0-9]+", str(document.get("openapi", ""))), "openapi",
                  "must be 3.1.x, a string")
        info = document.get("info")
        self.need(isinstance(info, dict) and isinstance(info.get("title"), str) and isinstance(info.get("version"), str),
                  "info", "needs a title and a version, both strings")
        # The document names its dialect, the one its schemas are checked in.
        self.need(document.get("jsonSchemaDialect") == "https://json-schema.org/draft/2020-12/schema",
                  "jsonSchemaDialect", "must name Draft 2020-12")
        for i, server in enumerate(document.get("servers", [])):
            url = server.get("url", "") if isinstance(server, dict) else ""
            names = set(re.findall(r"\{([^}]+)\}", url))
            variables = server.get("variables", {}) if isinstance(server, dict) else {}
            self.need(url and names == set(variables), "servers[%d]" % i, "url variables and variables differ")
            for name, variable in variables.items():
                self.need(isinstance(variable, dict) and isinstance(variable.get("default"), str),
                          "servers[%d].variables.%s" % (i, name), "needs a string default")
        paths = document.get("paths")
        operation_ids = set()
        if self.need(isinstance(paths, dict) and paths, "paths", "must not be empty"):
            for path, item in paths.items():
                where = "paths.%s" % path
                if not (self.need(path.startswith("/"), where, "a path begins with /")
                        and self.need(isinstance(item, dict), where, "a path item")):
                    continue
                names = set(re.findall(r"\{([^}/]+)\}", path))
                operations = [m for m in item if m in OPERATION_METHODS]
                self.need(operations, where, "no operation")
                for key in item:
                    self.need(key in OPERATION_METHODS or key in ("summary", "description", "parameters", "servers")
                              or key.startswith("x-"), where, "unknown member %r" % key)
                for method in operations:
                    self.operation(item[method], "%s.%s" % (where, method), names, operation_ids)
        components = document.get("components", {})
        for name, schema in components.get("schemas", {}).items():
            self.schema(schema, "components.schemas.%s" % name)
        return self.problems


def references(schema):
    if isinstance(schema, dict):
        for key, value in schema.items():
            if key == "$ref" and isinstance(value, str):
                yield value
            else:
                yield from references(value)
    elif isinstance(schema, list):
        for value in schema:
            yield from references(value)


# --- validating values ------------------------------------------------------------------------

def ecma_pattern(pattern):
    """A Python regular expression for an ECMA-262 one as JSON Schema uses them: `$` outside a
    character class is the end of the text. (The document's patterns use nothing else that the
    two dialects read differently.)"""
    out, in_class, i = [], False, 0
    while i < len(pattern):
        c = pattern[i]
        if c == "\\":
            out.append(pattern[i:i + 2])
            i += 2
            continue
        if in_class:
            in_class = c != "]"
        elif c == "[":
            in_class = True
        elif c == "$":
            c = r"\Z"
        out.append(c)
        i += 1
    return "".join(out)


def pattern_keyword(validator, pattern, instance, schema):
    if validator.is_type(instance, "string") and not re.search(ecma_pattern(pattern), instance):
        yield jsonschema.ValidationError("%r does not match %r" % (instance, pattern))


EcmaValidator = jsonschema.validators.extend(jsonschema.Draft202012Validator, {"pattern": pattern_keyword})


def validator_for(document, schema):
    resolver = jsonschema.RefResolver(base_uri="", referrer=document)
    return EcmaValidator(schema, resolver=resolver)


def schema_errors(document, schema, value):
    return sorted(validator_for(document, schema).iter_errors(value), key=lambda e: list(e.absolute_path))


def describe(errors):
    return "; ".join("%s: %s" % ("/".join(map(str, e.absolute_path)) or "(top)", e.message[:160]) for e in errors)


# --- the Entry table -----------------------------------------------------------------------

def apply_case(cases, case):
    if "answer" in case:
        return case["answer"]
    answer = dict(cases["wellFormed"])
    answer.update(case.get("set", {}))
    for key in case.get("remove", []):
        answer.pop(key, None)
    return answer


def check_entries(document, cases):
    entry = {"$ref": "#/components/schemas/Entry"}
    problems = []
    if not cases.get("accepted") or not cases.get("refused"):
        return ["the case file has no accepted or no refused cases"]
    for case in cases["accepted"]:
        errors = schema_errors(document, entry, apply_case(cases, case))
        if errors:
            problems.append("accepted %r fails the Entry schema: %s" % (case["what"], describe(errors)))
    for case in cases["refused"]:
        if not isinstance(case.get("schemaExpresses"), bool):
            problems.append("refused %r does not say whether a schema expresses its rule" % case["what"])
            continue
        errors = schema_errors(document, entry, apply_case(cases, case))
        if not case["schemaExpresses"]:
            if errors:
                problems.append("refused %r is marked as beyond a schema, but the schema refuses it too: %s"
                                % (case["what"], describe(errors)))
            continue
        if not errors:
            problems.append("refused %r (%s) passes the Entry schema" % (case["what"], case["message"]))
            continue
        # One member changed: the schema must refuse that member, not trip over something else.
        changed = set(case.get("set", {})) | set(case.get("remove", []))
        blamed = {e.absolute_path[0] if e.absolute_path else None for e in errors}
        if len(changed) == 1 and blamed != changed and blamed != {None}:
            problems.append("refused %r fails the schema on %s, not on %s"
                            % (case["what"], sorted(map(str, blamed)), sorted(changed)))
    return problems


# --- the simulator's answers --------------------------------------------------------------------

def operation_for(document, path, method):
    for template, item in document["paths"].items():
        expression = "".join("(?P<%s>[^/]*)" % part[1:-1] if part.startswith("{") else re.escape(part)
                             for part in re.split(r"(\{[^}/]+\})", template))
        match = re.fullmatch(expression, path)
        if match and method.lower() in item:
            return template, resolve(document, item[method.lower()]), match.groupdict()
    return None, None, None


def response_for(document, operation, status):
    responses = operation["responses"]
    for key in (str(status), "%dXX" % (status // 100), "default"):
        if key in responses:
            return key, resolve(document, responses[key])
    return None, None


def parameter_problems(document, operation, exchange, path_values):
    problems = []
    headers = {name.lower(): value for name, value in exchange.get("requestHeaders", [])}
    for value in operation.get("parameters", []):
        parameter = resolve(document, value)
        if parameter["in"] == "header":
            if parameter["name"].lower() not in headers:
                if parameter.get("required"):
                    problems.append("request header %s missing" % parameter["name"])
                continue
            actual = headers[parameter["name"].lower()]
        elif parameter["in"] == "path":
            actual = path_values[parameter["name"]]
        else:
            continue
        errors = schema_errors(document, parameter["schema"], actual)
        if errors:
            problems.append("%s %s: %s" % (parameter["in"], parameter["name"], describe(errors)))
    return problems


def parse_json(text):
    """The JSON value of a body, or the reason it has none. A body nested beyond Python's parser
    is no object; its top level is all that an object schema needs to know."""
    try:
        return json.loads(text), None
    except RecursionError:
        return None, "nested too deeply for this check's parser; its top level is %r" % text.lstrip()[:1]
    except ValueError as error:
        return None, "not JSON: %s" % error


def exchange_problems(document, exchange):
    """What in one captured exchange breaks the document: the request, then the answer."""
    path, method = exchange["path"], exchange["method"]
    template, operation, path_values = operation_for(document, path, method)
    if operation is None:
        return ["%s %s is no operation of the document" % (method, path)]
    problems = parameter_problems(document, operation, exchange, path_values)
    if "requestBody" in operation:
        body = resolve(document, operation["requestBody"])
        kind = {n.lower(): v for n, v in exchange.get("requestHeaders", [])}.get("content-type")
        if kind not in body["content"]:
            problems.append("request Content-Type %r, not one of %s" % (kind, sorted(body["content"])))
        request, reason = parse_json(exchange.get("request", ""))
        if reason:
            problems.append("request body " + reason)
        else:
            schema = body["content"]["application/json"]["schema"]
            errors = schema_errors(document, schema, request)
            if errors:
                problems.append("request body: " + describe(errors))

    status = exchange.get("status")
    if status is None:
        return problems + ["no answer (%s)" % exchange.get("mode", "none")]
    if exchange.get("mode", "normal") not in ("normal", "drip"):
        problems.append("an incomplete answer (%s)" % exchange["mode"])
    key, response = response_for(document, operation, status)
    if response is None:
        return problems + ["status %d is not among the operation's answers" % status]
    limit = operation["x-max-answer-bytes"]
    if exchange["length"] > limit:
        problems.append("a body of %d bytes, over the %d the helper reads" % (exchange["length"], limit))
    content = response.get("content")
    if not content:
        return problems  # the helper does not read the body
    media = next(iter(content))
    if media != "application/json":
        if template == "/downloads/native/{sha256}.exe" and status == 200 and exchange["sha256"] != path_values["sha256"]:
            problems.append("the image's SHA-256 is %s, not the path's" % exchange["sha256"])
        return problems
    if "body" not in exchange:
        return problems + ["a JSON answer whose body was not captured"]
    value, reason = parse_json(exchange["body"])
    if reason:
        top_is_object = exchange["body"].lstrip().startswith("{")
        if reason.startswith("nested") and not top_is_object and schema_requires_object(document, content[media]):
            return problems + ["the body is no object (%s)" % reason]
        return problems + ["the body is " + reason]
    errors = schema_errors(document, content[media].get("schema", True), value)
    if errors:
        problems.append("status %d (%s): %s" % (status, key, describe(errors)))
    return problems


def schema_requires_object(document, media):
    schema = resolve(document, media.get("schema", True))
    return isinstance(schema, dict) and schema.get("type") == "object"


def check_answers(document, capture, start, off_contract):
    problems, report = [], []
    with open(capture, "rb") as text:
        text.seek(start)
        lines = [line for line in text.read().decode("utf-8").splitlines() if line.strip()]
    if not lines:
        return ["no answers were captured in %s from byte %d" % (capture, start)], report
    for line in lines:
        exchange = json.loads(line)
        found = exchange_problems(document, exchange)
        hostile = exchange["path"] in off_contract
        what = "%s %s -> %s" % (exchange["method"], exchange["path"], exchange.get("status") or "no answer")
        if hostile and not found:
            problems.append("%s: an answer meant to break the contract passes the document" % what)
        elif not hostile and found:
            problems.append("%s: %s" % (what, "; ".join(found)))
        verdict = ("refused: " + "; ".join(found)[:200]) if found else "as documented"
        report.append("%s: %s%s" % (what, verdict, " (as the scenario intends)" if hostile else ""))
    return problems, report


# --- main ---------------------------------------------------------------------------------

def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("document").add_argument("doc")
    entries = commands.add_parser("entries")
    entries.add_argument("doc")
    entries.add_argument("cases")
    answers = commands.add_parser("answers")
    answers.add_argument("doc")
    answers.add_argument("capture")
    answers.add_argument("--from", dest="start", type=int, default=0)
    answers.add_argument("--off-contract", action="append", default=[])
    args = parser.parse_args(argv)

    document = load_document(args.doc)
    problems = DocumentProblems(document).check()
    if args.command == "entries" and not problems:
        with open(args.cases, encoding="utf-8") as text:
            problems = check_entries(document, json.load(text))
    elif args.command == "answers" and not problems:
        problems, report = check_answers(document, args.capture, args.start, set(args.off_contract))
        for line in report:
            print("  " + line)
    for problem in problems:
        print("FAILED: " + problem)
    if not problems:
        print("%s: %s holds" % (args.command, args.doc))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
