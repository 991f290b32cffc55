#!/usr/bin/env python3
"""Checks every include between the libraries against cmake/layers.txt.

  check_layers.py <source root> [<layers list>]   exit 1 on any fault
  check_layers.py --self-test                     the check on made-up trees

Reads each source of each library folder (tests, fuzz targets, benchmarks
and build trees aside), takes every #include "folder/file.h", and reports
an include of a folder the list does not place beneath the includer, a Qt or
ui include in a core folder, a source folder the list does not name, a list
that names a folder above its own line, and a pending exception no longer
needed.
"""

import os
import re
import sys
import tempfile

SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cpp")
SKIPPED_DIRS = {"tests", "fuzz", ".git"}
SKIPPED_TOP = {"bench", "cmake", "scripts"}
LOCAL_INCLUDE = re.compile(r'\s*#\s*include\s*"([^"]+)"')
QT_INCLUDE = re.compile(r"\s*#\s*include\s*<(Q|qt)")


def parse_list(path):
    """Returns (layers in order, pending edges, faults of the list itself)."""
    layers = {}  # folder -> (kind, beneath)
    pending = set()
    faults = []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            words = raw.split("#", 1)[0].split()
            where = f"{path}:{number}"
            if not words:
                continue
            if words[0] == "pending":
                if len(words) != 3:
                    faults.append(f"{where}: a pending exception is 'pending <file> <folder>'")
                else:
                    pending.add((words[1], words[2]))
                continue
            if len(words) < 2 or words[1] not in ("core", "ui"):
                faults.append(f"{where}: expected '<folder> core|ui <folders beneath>'")
                continue
            folder, kind, beneath = words[0], words[1], words[2:]
            if folder in layers:
                faults.append(f"{where}: {folder} is listed twice")
            for below in beneath:
                if below not in layers:
                    faults.append(f"{where}: {folder} names {below}, which is not listed above it")
                elif kind == "core" and layers[below][0] == "ui":
                    faults.append(f"{where}: core folder {folder} cannot sit on ui folder {below}")
            layers[folder] = (kind, [b for b in beneath if b in layers])
    return layers, pending, faults


def reachable(layers):
    """Each folder with every folder it may include, its own included."""
    allowed = {}
    for folder, (_, beneath) in layers.items():  # in list order, bottom up
        below = {folder}
        for b in beneath:
            below |= allowed[b]
        allowed[folder] = below
    return allowed


def source_folders(root):
    """Folders below root holding sources, each with its source files."""
    found = {}
    for here, dirs, files in os.walk(root):
        rel = os.path.relpath(here, root).replace(os.sep, "/")
        dirs[:] = sorted(
            d for d in dirs
            if d not in SKIPPED_DIRS and not d.startswith("build")
            and not (rel == "." and d in SKIPPED_TOP))
        sources = sorted(f for f in files if f.endswith(SOURCE_SUFFIXES))
        if rel != "." and sources:
            found[rel] = sources
    return found


def check(root, list_path):
    layers, pending, faults = parse_list(list_path)
    allowed = reachable(layers)
    used_pending = set()
    for folder, sources in source_folders(root).items():
        if folder not in layers:
            faults.append(f"{folder}: a folder of sources that {list_path} does not place")
            continue
        kind = layers[folder][0]
        for name in sources:
            rel_file = f"{folder}/{name}"
            with open(os.path.join(root, rel_file), encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    where = f"{rel_file}:{number}"
                    if kind == "core" and QT_INCLUDE.match(line):
                        faults.append(f"{where}: core folder {folder} includes Qt: {line.strip()}")
                        continue
                    m = LOCAL_INCLUDE.match(line)
                    if not m or "/" not in m.group(1):
                        continue
                    target = os.path.dirname(m.group(1))
                    if kind == "core" and "ui" in target.split("/"):
                        faults.append(f"{where}: core folder {folder} includes a ui header: {m.group(1)}")
                    elif target in allowed[folder]:
                        continue
                    elif (rel_file, target) in pending:
                        used_pending.add((rel_file, target))
                    else:
                        faults.append(f"{where}: {folder} may not include {target}: {m.group(1)}")
    for file, target in sorted(pending - used_pending):
        faults.append(f"{list_path}: pending exception {file} -> {target} is no longer needed; remove it")
    return faults


def self_test():
    """Made-up trees, each with the fault the check must name."""
    base_list = "low core\nhigh core low\nlow/ui ui low\n"
    clean = {"low/A.h": "#pragma once\n#include <vector>\n",
             "high/B.cpp": '#include "high/B.h"\n#include "low/A.h"\n',
             "high/B.h": "",
             "high/tests/T.cpp": '#include "low/ui/W.h"\n',
             "low/ui/W.cpp": '#include <QWidget>\n#include "low/A.h"\n'}
    cases = [
        # legend, extra files, list, expected text in the report ("" = clean)
        ("the clean tree passes", {}, base_list, ""),
        ("a lower layer includes a higher one",
         {"low/C.cpp": '#include "high/B.h"\n'}, base_list, "low/C.cpp:1: low may not include high"),
        ("a core folder includes Qt",
         {"high/D.cpp": "#include <QString>\n"}, base_list, "core folder high includes Qt"),
        ("a core folder includes a ui header",
         {"high/E.cpp": '#include "low/ui/W.h"\n'}, base_list, "includes a ui header: low/ui/W.h"),
        ("a folder of sources the list does not place",
         {"stray/F.cpp": ""}, base_list, "stray: a folder of sources"),
        ("a list that names a folder above its own line",
         {}, "high core low\nlow core\nlow/ui ui low\n", "names low, which is not listed above it"),
        ("a core folder on a ui folder",
         {}, base_list + "top core low/ui\n", "core folder top cannot sit on ui folder low/ui"),
        ("a pending exception lets its one file through",
         {"low/G.cpp": '#include "high/B.h"\n'}, base_list + "pending low/G.cpp high\n", ""),
        ("a pending exception no longer needed",
         {}, base_list + "pending low/G.cpp high\n", "pending exception low/G.cpp -> high is no longer needed"),
    ]
    failed = 0
    for legend, extra, listing, expected in cases:
        with tempfile.TemporaryDirectory() as root:
            for rel, text in {**clean, **extra}.items():
                os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
                with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                    f.write(text)
            list_path = os.path.join(root, "layers.txt")
            with open(list_path, "w", encoding="utf-8") as f:
                f.write(listing)
            report = "\n".join(check(root, list_path))
        ok = (report == "") if not expected else (expected in report)
        if not ok:
            failed += 1
            print(f"FAILED: {legend}\n  expected: {expected or 'no fault'}\n  report: {report or 'no fault'}")
    print(f"{len(cases) - failed} of {len(cases)} cases as expected")
    return 1 if failed else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    root = argv[1]
    list_path = argv[2] if len(argv) == 3 else os.path.join(root, "cmake", "layers.txt")
    faults = check(root, list_path)
    for fault in faults:
        print(fault)
    print(f"{len(faults)} include fault(s)" if faults else "every include keeps to the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
