#!/usr/bin/env python3
"""Checks QMVLanguage.Lib files against the list of keys the program reads.

Usage: langcheck.py [--keys KEYS] [--encoding CODEPAGE] FILE [FILE ...]
       langcheck.py [--keys KEYS] FILE:CODEPAGE [FILE:CODEPAGE ...]

Each file must decode in its code page and hold every Section/Key of the key list with a
non-empty value of at most 255 bytes (the program's read buffer), without duplicate keys.
Section and key names are compared without regard to case, as the program reads them; a
duplicate would be silently ignored there (the first one wins), so it is reported here.
Exit status: 0 when every file passes, 1 when any problem was found, 2 on usage errors.
"""

import argparse
import os
import sys

MAX_VALUE_BYTES = 255
DEFAULT_KEYS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lang", "keys.txt")


def read_keys(path):
    """Returns the required (section, key) pairs in file order; raises ValueError on bad lines."""
    keys = []
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            section, sep, key = line.partition("/")
            if not sep or not section or not key or "/" in key:
                raise ValueError("%s:%d: expected Section/Key, got %r" % (path, number, line))
            keys.append((section, key))
    return keys


def parse_profile(data, encoding):
    """Splits the file into entries and problems.

    Returns (entries, problems, notes): entries maps (section, key) in lower case to
    (line number, raw value bytes, shown section, shown key); problems lists strings.
    """
    problems = []
    notes = []
    entries = {}
    try:
        data.decode(encoding)
    except UnicodeDecodeError as e:
        problems.append("does not decode as %s at byte %d: %s" % (encoding, e.start, e.reason))
        return entries, problems, notes
    if b"\n" in data.replace(b"\r\n", b""):
        notes.append("some lines end in a bare LF instead of CR LF")
    section = None
    for number, raw in enumerate(data.split(b"\n"), 1):
        raw = raw.rstrip(b"\r")
        stripped = raw.strip(b" \t")
        if not stripped:
            continue
        if stripped.startswith(b"["):
            if not stripped.endswith(b"]"):
                problems.append("line %d: section line without closing ']'" % number)
                continue
            section = stripped[1:-1].strip(b" \t").decode(encoding)
            continue
        if b"=" not in stripped:
            problems.append("line %d: neither a [Section] nor a Key=Value line" % number)
            continue
        if section is None:
            problems.append("line %d: key before the first [Section]" % number)
            continue
        key_bytes, _, value = stripped.partition(b"=")
        key = key_bytes.strip(b" \t").decode(encoding)
        value = value.strip(b" \t")
        ident = (section.lower(), key.lower())
        if ident in entries:
            first = entries[ident][0]
            problems.append("line %d: duplicate key %s/%s (first on line %d)" % (number, section, key, first))
            continue
        entries[ident] = (number, value, section, key)
    return entries, problems, notes


def check_file(path, encoding, keys):
    """Returns (problems, notes) for one language file."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        return ["cannot read: %s" % e.strerror], []
    entries, problems, notes = parse_profile(data, encoding)
    if problems and not entries:
        return problems, notes
    required = set()
    for section, key in keys:
        ident = (section.lower(), key.lower())
        required.add(ident)
        entry = entries.get(ident)
        if entry is None:
            problems.append("missing key %s/%s" % (section, key))
            continue
        number, value = entry[0], entry[1]
        if not value:
            problems.append("line %d: empty value for %s/%s" % (number, section, key))
        elif len(value) > MAX_VALUE_BYTES:
            problems.append(
                "line %d: value of %s/%s is %d bytes, more than %d" % (number, section, key, len(value), MAX_VALUE_BYTES)
            )
    for ident, (number, _, section, key) in sorted(entries.items(), key=lambda item: item[1][0]):
        if ident not in required:
            notes.append("line %d: %s/%s is not read by the program" % (number, section, key))
    return problems, notes


def main(argv):
    parser = argparse.ArgumentParser(description="Check language files against the required keys.")
    parser.add_argument("--keys", default=DEFAULT_KEYS, help="list of Section/Key lines (default: lang/keys.txt)")
    parser.add_argument("--encoding", default="cp1252", help="code page of files given without ':CODEPAGE'")
    parser.add_argument("files", nargs="+", metavar="FILE[:CODEPAGE]")
    args = parser.parse_args(argv)

    try:
        keys = read_keys(args.keys)
    except (OSError, ValueError) as e:
        print("langcheck: cannot use the key list: %s" % e, file=sys.stderr)
        return 2
    seen = set()
    for section, key in keys:
        ident = (section.lower(), key.lower())
        if ident in seen:
            print("langcheck: key list names %s/%s twice" % (section, key), file=sys.stderr)
            return 2
        seen.add(ident)

    failed = False
    for arg in args.files:
        path, encoding = arg, args.encoding
        head, sep, tail = arg.rpartition(":")
        if sep and head and tail and not os.path.exists(arg):
            path, encoding = head, tail
        try:
            "".encode(encoding)
        except LookupError:
            print("langcheck: unknown code page %r for %s" % (encoding, path), file=sys.stderr)
            return 2
        problems, notes = check_file(path, encoding, keys)
        for note in notes:
            print("%s: note: %s" % (path, note))
        if problems:
            failed = True
            print("%s (%s): %d problem(s):" % (path, encoding, len(problems)))
            for problem in problems:
                print("  " + problem)
        else:
            print("%s (%s): all %d keys present" % (path, encoding, len(keys)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
