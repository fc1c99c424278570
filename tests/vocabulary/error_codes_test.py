#!/usr/bin/env python3
"""The wire's error codes have one source, and the protocol's document lists it.

Fails, naming what differs, when a name or value of src/vocabulary/error_codes.h is
missing from the "Error codes" table of docs/wire-protocol.md (or the table names one the
header lacks), or when a file under src/ defines a code of its own or raises a TDBXError
with a bare number.
"""

import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
HEADER = ROOT / "src" / "vocabulary" / "error_codes.h"
DOC = ROOT / "docs" / "wire-protocol.md"

CONSTANT = re.compile(r"inline constexpr std::int32_t (\w+) = (\d+);")
DOC_ROW = re.compile(r"^\| (\d+) \| `(\w+)` \|")
# A code defined outside the header, or a raise with a bare number.
STRAY_CODE = re.compile(r"constexpr std::int32_t \w*Code\w* = \d+;")
BARE_RAISE = re.compile(r"TDBXError\(\s*\d+\s*,")


def header_codes():
    if not HEADER.exists():
        return {}
    return {name: int(value) for name, value in CONSTANT.findall(HEADER.read_text(encoding="utf-8"))}


def documented_codes():
    text = DOC.read_text(encoding="utf-8")
    section = text.split("\n## Error codes\n", 1)
    if len(section) < 2:
        return None
    table = section[1].split("\n## ", 1)[0]
    codes = {}
    for line in table.splitlines():
        match = DOC_ROW.match(line)
        if match:
            codes[match.group(2)] = int(match.group(1))
    return codes


def stray_definitions():
    found = []
    for path in sorted((ROOT / "src").rglob("*")):
        if path.suffix not in (".h", ".cpp") or path == HEADER:
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            if STRAY_CODE.search(line) or BARE_RAISE.search(line):
                found.append(f"{path.relative_to(ROOT)}:{number}: {line.strip()}")
    return found


def main():
    faults = []
    in_header = header_codes()
    if not in_header:
        faults.append(f"{HEADER.relative_to(ROOT)} defines no error code")
    in_doc = documented_codes()
    if in_doc is None:
        faults.append(f"{DOC.relative_to(ROOT)} has no \"Error codes\" section")
        in_doc = {}
    for name, value in sorted(in_header.items()):
        if name not in in_doc:
            faults.append(f"{name} ({value}) is not in the document's table")
        elif in_doc[name] != value:
            faults.append(f"{name} is {value} in the header but {in_doc[name]} in the document")
    for name in sorted(set(in_doc) - set(in_header)):
        faults.append(f"the document lists {name}, which the header does not define")
    faults.extend(f"code outside error_codes.h: {where}" for where in stray_definitions())
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
