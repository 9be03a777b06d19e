"""The JSON Schema of `tagscope dump --json`, installed with the tool: every dump the tests make
is parsed through `loads`, which checks it against the schema."""
import json
import os

import jsonschema

SCHEMA_PATH = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), "cli", "share", "dump.schema.json")

with open(SCHEMA_PATH, encoding="utf-8") as f:
    SCHEMA = json.load(f)
jsonschema.Draft202012Validator.check_schema(SCHEMA)
VALIDATOR = jsonschema.Draft202012Validator(SCHEMA)


def check(obj):
    """Raises AssertionError naming the first place where obj breaks the schema."""
    errors = sorted(VALIDATOR.iter_errors(obj), key=lambda e: list(e.absolute_path))
    if errors:
        e = errors[0]
        raise AssertionError("dump --json breaks its schema at %s: %s" % (
            "/".join(str(p) for p in e.absolute_path), e.message))
    return obj


def loads(text):
    """One dump object (bytes or text), checked."""
    if isinstance(text, bytes):
        text = text.decode("utf-8")
    return check(json.loads(text))


def loads_lines(text):
    """Every line's dump object, checked."""
    if isinstance(text, bytes):
        text = text.decode("utf-8")
    return [loads(line) for line in text.splitlines()]
