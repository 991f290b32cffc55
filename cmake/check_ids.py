#!/usr/bin/env python3
"""Checks that the main frame's ids have one home, base/AppIds.h.

  check_ids.py <source root>   exit 1 on any fault
  check_ids.py --self-test     the check on made-up trees

Reads the ids base/AppIds.h defines: the private messages (WM_ES_*), the
operation command codes (OC_*), the timers (TIMER_*), the WM_COMMAND ids
(namespace cmd) and the string ids (namespace ids). Then it reads every other
source (build trees aside) and reports
- a WM_ES_, OC_ or TIMER_ name of base/AppIds.h defined again elsewhere;
- a constant whose name makes it an id of one of these kinds and whose
  value is an id of that kind in base/AppIds.h: the same id under a second
  name.
A constant that takes its value from base's (ID_X = app::cmd::X) names no
number of its own and passes.
"""

import os
import re
import sys
import tempfile

APP_IDS = os.path.join("base", "AppIds.h")
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp")
SKIPPED_DIRS = {".git"}
NUMBER = r"(0x[0-9A-Fa-f]+|\d+)[uUlL]*"
# NAME = number, ended by , ; or } (several may share a line).
DEFINITION = re.compile(r"\b(\w+)\s*=\s*" + NUMBER + r"\s*(?=[,;}])")
DEFINE = re.compile(r"^\s*#\s*define\s+(\w+)\s+" + NUMBER + r"\s*$")
ENUM_ENTRY = re.compile(r"^\s*\w+\s*=\s*" + NUMBER + r"\s*,?\s*(//.*)?$")
PREFIXED_KINDS = {"WM_ES_": "message", "OC_": "operation command", "TIMER_": "timer"}
NAMESPACE_KINDS = {"cmd": "command", "ids": "string"}
# What a name says of its kind. The serial library's WM_SERCOR_ messages go
# to the window that owns a receive protocol, not to the main frame: their
# numbers are of another window's space.
NAME_KINDS = [
    (re.compile(r"^WM_SERCOR_"), None),
    (re.compile(r"^(WM_|Msg|k\w*Message$)"), "message"),
    (re.compile(r"^OC_"), "operation command"),
    (re.compile(r"^TIMER_"), "timer"),
    (re.compile(r"^IDS_"), "string"),
    (re.compile(r"^(ID_|kCmd|Cmd|k\w*Command$)"), "command"),
]


def kind_of_name(name):
    for pattern, kind in NAME_KINDS:
        if pattern.search(name):
            return kind
    return None


def definitions(text):
    """(line number, name, value) of every numeric constant of a source."""
    found = []
    for number, line in enumerate(text.splitlines(), 1):
        code = line.split("//", 1)[0]
        m = DEFINE.match(code)
        if m:
            found.append((number, m.group(1), int(m.group(2), 0)))
            continue
        if not (re.search(r"\b(constexpr|const)\b", code) or ENUM_ENTRY.match(line)):
            continue
        for m in DEFINITION.finditer(code):
            found.append((number, m.group(1), int(m.group(2), 0)))
    return found


def read_app_ids(path):
    """{name: (kind, value)} and {(kind, value): name} of base/AppIds.h."""
    names, values = {}, {}
    namespace = None
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for number, line in enumerate(text.splitlines(), 1):
        m = re.match(r"\s*namespace\s+(\w+)\s*\{", line)
        if m:
            namespace = m.group(1)
        elif re.match(r"\s*\}\s*//\s*namespace\s+(cmd|ids)\b", line):
            namespace = None
        for _, name, value in definitions(line):
            kind = NAMESPACE_KINDS.get(namespace)
            if not kind:
                kind = next((k for p, k in PREFIXED_KINDS.items() if name.startswith(p)), None)
            if kind:
                names[name] = (kind, value)
                values.setdefault((kind, value), name)
    return names, values


def check(root):
    faults = []
    app_ids = os.path.join(root, APP_IDS)
    if not os.path.isfile(app_ids):
        return [f"{app_ids}: not found"]
    names, values = read_app_ids(app_ids)
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        dirs[:] = sorted(d for d in dirs if d not in SKIPPED_DIRS and not d.startswith("build")
                         and not (rel_folder == "." and d.startswith(".")))
        for name in sorted(files):
            rel_file = os.path.normpath(os.path.join(rel_folder, name))
            if not name.endswith(SOURCE_SUFFIXES) or rel_file == APP_IDS:
                continue
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            for number, defined, value in definitions(text):
                where = f"{rel_file}:{number}"
                if defined in names and any(defined.startswith(p) for p in PREFIXED_KINDS):
                    faults.append(f"{where}: {defined} is defined in {APP_IDS}; use that one")
                    continue
                kind = kind_of_name(defined)
                home = values.get((kind, value))
                if kind and home:
                    faults.append(f"{where}: {defined} = {value} is the {kind} id {home} of {APP_IDS}; "
                                  f"use that one")
    return faults


def self_test():
    """Made-up trees, each with the fault the check must name."""
    app_ids = ("namespace app {\n"
               "inline constexpr unsigned WM_ES_STATUSMESSAGE = 0x470;\n"
               "inline constexpr unsigned OC_STOP = 0x4000;\n"
               "inline constexpr unsigned TIMER_PING = 32784;\n"
               "namespace cmd {\n"
               "inline constexpr unsigned PLAY = 1486, PAUSE = 1487;\n"
               "inline constexpr unsigned STEP = 32830;\n"
               "}  // namespace cmd\n"
               "namespace ids {\n"
               "inline constexpr unsigned PING_COUNTER = 45063;\n"
               "}  // namespace ids\n"
               "}  // namespace app\n")
    clean = {APP_IDS: app_ids,
             "low/A.h": "constexpr unsigned kMaxPoints = 1486;\nconstexpr int IDC_SLIDER = 32830;\n",
             "low/B.cpp": "void f() { PostMessage(w, app::WM_ES_STATUSMESSAGE, 0, 0); int ID_X = 0; }\n"}
    cases = [
        # legend, extra files, expected text in the report ("" = clean)
        ("the clean tree passes", {}, ""),
        ("a message of base defined again under its own name",
         {"low/C.h": "constexpr UINT WM_ES_STATUSMESSAGE = 0x470;\n"},
         "low/C.h:1: WM_ES_STATUSMESSAGE is defined in base/AppIds.h"),
        ("a message of base under another name",
         {"low/D.h": "struct E {\n    static constexpr UINT MsgStatus = 0x470;\n};\n"},
         "low/D.h:2: MsgStatus = 1136 is the message id WM_ES_STATUSMESSAGE"),
        ("a command of base in an enumeration",
         {"low/F.h": "enum : UINT {\n    ID_STEP = 32830,\n};\n"}, "ID_STEP = 32830 is the command id STEP"),
        ("the second of two commands on one line",
         {"low/G.h": "static constexpr unsigned kCmdRewind = 1, kCmdPause = 1487;\n"},
         "kCmdPause = 1487 is the command id PAUSE"),
        ("a command by its role's name",
         {"low/H.h": "static constexpr unsigned kEventCommand = 32830;\n"}, "kEventCommand = 32830"),
        ("a string id under another name",
         {"low/I.h": "constexpr unsigned IDS_PANE_PING_COUNTER = 45063;\n"},
         "IDS_PANE_PING_COUNTER = 45063 is the string id PING_COUNTER"),
        ("an operation code by a define",
         {"low/J.h": "#define OC_HALT 0x4000\n"}, "OC_HALT = 16384 is the operation command id OC_STOP"),
        ("a name that takes base's value passes",
         {"low/K.h": "static constexpr UINT ID_STEP = app::cmd::STEP;\n"}, ""),
        ("the serial library's own messages pass",
         {"low/L.h": "constexpr UINT WM_SERCOR_RXFLAG = 1136;\n"}, ""),
        ("a string id's number as a command of its own passes",
         {"low/M.h": "constexpr unsigned ID_FILTER = 45063;\n"}, ""),
    ]
    failed = 0
    for legend, extra, expected in cases:
        with tempfile.TemporaryDirectory() as root:
            for rel, text in {**clean, **extra}.items():
                os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
                with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                    f.write(text)
            report = "\n".join(check(root))
        ok = (report == "") if not expected else (expected in report)
        if not ok:
            failed += 1
            print(f"FAILED: {legend}\n  expected: {expected or 'no fault'}\n  report: {report or 'no fault'}")
    print(f"{len(cases) - failed} of {len(cases)} cases as expected")
    return 1 if failed else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    faults = check(argv[1])
    for fault in faults:
        print(fault)
    print(f"{len(faults)} ids defined a second time" if faults else "every id of the main frame has one home")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
