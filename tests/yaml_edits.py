#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

"""yaml_edits.py BIN EXPECTED FILE...: tarnwick-set as a full YAML reader sees it.

On every key of every FILE: a word, a number and a list set, and a remove;
on the first key that takes them, items that YAML reads otherwise unquoted.
Each edit that is saved must keep the entry format's laws (the store as
before with the edit applied; deleted lines are the key's entry lines or
lines that are no entry) and, where YAML loaded the file before, leave a file
that it loads, whose tree is the old one with the key's value set (or the key
removed) at one place, the value read as the items set. The edits refused are
written one a line and compared with EXPECTED. Exit status 77 where the yaml
module is missing.
"""
import copy
import difflib
import os
import subprocess
import sys
import tempfile

# This script's folder holds yaml/, the YAML-shaped inputs, which Python would
# import as the module where python3-yaml is missing.
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path = [path for path in sys.path if os.path.abspath(path or ".") != HERE]
try:
    import yaml
except ImportError:
    print("python3-yaml is not installed: skipped")
    sys.exit(77)

BIN = sys.argv[1]
EXPECTED = sys.argv[2]
FILES = sys.argv[3:]

# VALUE as tarnwick-set takes it, and what YAML must read.
PROBES = [("probe", "probe"), ("7.25", 7.25), ("[1.5, probe]", [1.5, "probe"])]
QUOTING = [("*x", "*x"), ("{a}", "{a}"), ("- a", "- a"), ("|a", "|a"), ("'q", "'q"), ("%p", "%p"),
           ("@a", "@a"), ("`b", "`b"), ("a #b", "a #b"), ("?", "?"), ("-", "-"), ("-1", -1), ("-x", "-x"),
           ('""', ""), ('"  padded  "', "  padded  "), ("!t", "!t"), ("&a", "&a"), (">x", ">x"),
           ("x#y", "x#y"), ("[{a}, - b, -1, ?x, a#b, ]", ["{a}", "- b", -1, "?x", "a#b", ""]), ("[]", [])]


def run(*args):
    return subprocess.run(args, capture_output=True)


def dump(path):
    out = run(os.path.join(BIN, "tarnwick"), path).stdout
    return {line.split(b" : ", 1)[0]: line for line in out.split(b"\n") if line}


def entry_key(line):
    """The key of an entry line, as the format reads it; None for a line that is no entry."""
    text = line.rstrip(b"\n").rstrip(b"\r").split(b"\0", 1)[0]
    pieces = [p for p in text.split(b":") if p]
    if line.endswith(b"\n") and "\0" not in line.decode("latin-1") and (not text or text.endswith(b":")):
        pieces.append(b"")
    return pieces[0].strip(b" \t\r\n\v\f") if len(pieces) == 2 else None


class Loader(yaml.SafeLoader):
    """The safe loader, but for merge keys, which stay keys: a mapping merged
    in stays the one object, so that a change to it is one change."""

    def flatten_mapping(self, node):
        for key, value in node.value:
            if key.tag == "tag:yaml.org,2002:merge" and not isinstance(value, (yaml.MappingNode, yaml.SequenceNode)):
                raise yaml.constructor.ConstructorError(None, None, "a merge of no mapping", value.start_mark)


Loader.add_constructor("tag:yaml.org,2002:merge", lambda loader, node: "<<")


def load(data):
    try:
        return True, yaml.load(data.decode("utf-8"), Loader=Loader)
    except (yaml.YAMLError, UnicodeDecodeError):
        return False, None


def places(tree, key, path=()):
    """Every path in the tree that ends at a mapping key that reads as key (in
    quotes: as the text inside them)."""
    if len(key) >= 2 and key[0] == key[-1] and key[0] in "\"'":
        key = key[1:-1]
    if isinstance(tree, dict):
        for k, v in tree.items():
            if str(k) == key:
                yield path + (k,)
            yield from places(v, key, path + (k,))
    elif isinstance(tree, list):
        for i, v in enumerate(tree):
            yield from places(v, key, path + (i,))


def at(tree, path):
    for step in path:
        tree = tree[step]
    return tree


def changed_at(old, path, value, remove):
    new = copy.deepcopy(old)
    try:
        parent = at(new, path[:-1])
    except (KeyError, IndexError, TypeError):
        return None
    if not isinstance(parent, dict):
        return None
    if remove:
        parent.pop(path[-1], None)
        if not parent and len(path) > 1:  # a mapping left empty reads as nothing
            at(new, path[:-2])[path[-2]] = None
    else:
        parent[path[-1]] = value
    return new


def check(name, before, after, key, value, expected, remove):
    """What is wrong with the edit, or None."""
    old_lines = before.splitlines(keepends=True)
    new_lines = after.splitlines(keepends=True)
    for tag, i1, i2, j1, j2 in difflib.SequenceMatcher(None, old_lines, new_lines, autojunk=False).get_opcodes():
        for line in old_lines[i1:i2] if tag in ("delete", "replace") else []:
            if entry_key(line) not in (None, key):
                return "a line of another key changed: %r" % line
        for line in new_lines[j1:j2] if tag in ("insert", "replace") else []:
            if entry_key(line) != key:
                return "a line that is no entry of the key appeared: %r" % line
    loaded, old_tree = load(before)
    if not loaded:
        return None
    loaded, new_tree = load(after)
    if not loaded:
        return "YAML no longer loads the file"
    text = key.decode("latin-1")
    if remove:
        # Every entry line of the key goes: the key is removed where YAML no
        # longer has it (and nothing else is), or nowhere (a comment line).
        removed = old_tree
        for path in places(old_tree, text):
            try:
                parent = at(new_tree, path[:-1])
            except (KeyError, IndexError, TypeError):
                continue
            if not isinstance(parent, dict) or path[-1] not in parent:
                removed = changed_at(removed, path, None, True) or removed
        return None if removed == new_tree else "YAML reads more than the key removed"
    for path in places(new_tree, text):
        if at(new_tree, path) == expected and type(at(new_tree, path)) is type(expected):
            if changed_at(old_tree, path, expected, False) == new_tree:
                return None
    if new_tree == old_tree:
        return None  # a comment line, which YAML ignores
    return "YAML does not read the key as set, or reads more changed"


def main():
    failures = []
    refusals = []
    work = tempfile.mkdtemp()
    edited = os.path.join(work, "f.yaml")
    for name in FILES:
        before = open(name, "rb").read()
        keys = sorted(dump(name))
        quoting_done = False
        for key in keys:
            edits = [(value, expected, False) for value, expected in PROBES] + [(None, None, True)]
            if not quoting_done:
                edits += [(value, expected, False) for value, expected in QUOTING]
            for value, expected, remove in edits:
                with open(edited, "wb") as f:
                    f.write(before)
                args = ["--remove", edited, key] if remove else [edited, key, value.encode()]
                done = run(os.path.join(BIN, "tarnwick-set"), *args)
                what = "remove" if remove else "set %s" % value
                label = "%s %s: %s" % (os.path.basename(name), key.decode("latin-1"), what)
                if done.returncode == 1:
                    if value in (None, "probe"):  # a key's refusal, once for sets and once for removes
                        refusals.append("%s: %s" % (label, done.stderr.decode("latin-1").strip()))
                    continue
                if done.returncode != 0:
                    failures.append("%s: status %d: %s" % (label, done.returncode, done.stderr.decode("latin-1")))
                    continue
                quoting_done = quoting_done or value == QUOTING[0][0]
                after = open(edited, "rb").read()
                old_dump, new_dump = dump(name), dump(edited)
                got = run(os.path.join(BIN, "tarnwick-get"), edited, key).stdout
                if remove:
                    expected_dump = {k: v for k, v in old_dump.items() if k != key}
                else:
                    with open(os.path.join(work, "one"), "wb") as f:
                        f.write(b"v: " + value.encode() + b"\n")
                    want = run(os.path.join(BIN, "tarnwick-get"), os.path.join(work, "one"), "v").stdout
                    if got != want:
                        failures.append("%s: the format reads %r, not %r" % (label, got, want))
                    expected_dump = dict(old_dump)
                    expected_dump[key] = new_dump.get(key)
                if new_dump != expected_dump:
                    failures.append("%s: other keys read otherwise" % label)
                wrong = check(name, before, after, key, value, expected, remove)
                if wrong:
                    failures.append("%s: %s\n%s" % (label, wrong, after.decode("latin-1")))
    with open(EXPECTED, encoding="utf-8") as f:
        expected_refusals = [line.rstrip("\n") for line in f if line.strip() and not line.startswith("#")]
    for line in difflib.unified_diff(expected_refusals, refusals, "expected refusals", "refusals", lineterm="", n=0):
        failures.append("refusals differ: " + line)
    for failure in failures:
        print("FAIL:", failure)
    print("%d files, %d refusals, %d failures" % (len(FILES), len(refusals), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
