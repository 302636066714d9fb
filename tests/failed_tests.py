#!/usr/bin/env python3
"""The tests that failed in the last CTest run of a build folder, one line each: the test's
name, CTest's reason in brackets (Failed, Timeout, SEGFAULT, ...) and the first line of its
failure. ./test.sh prints these lines in its summary.

The names and reasons come from CTest's own output (the list after "The following tests
FAILED:"), which ./test.sh keeps in BUILD/ctest-output.txt; each test's output comes from
BUILD/Testing/Temporary/LastTest.log. The first line of a failure is the first line of the
output that says so: a line of our tests beginning with FAIL, GoogleTest's "FILE:LINE:
Failure" with the line after it, a sanitizer's ERROR or runtime error, or a Python
exception's last line. A test whose output says none of these gets its last line; one with
no output gets "no output".

usage: tests/failed_tests.py BUILD_DIR [CTEST_OUTPUT]
  CTEST_OUTPUT: CTest's output of the run (default BUILD_DIR/ctest-output.txt)
Exit status 0, also when no test failed (nothing is printed); 1 when the files cannot be read.
"""

import argparse
import os
import re
import sys

WIDTH = 240  # characters of a failure line that are kept
LISTED = re.compile(r"^\s*\d+ - (.+?) \(([^()]*)\)")
SAYS = re.compile(r"^FAIL\b|: Failure$|==\d+==ERROR: |runtime error: |"
                  r"^[A-Za-z_][\w.]*(Error|Exception|Exit|Interrupt)(: |$)")


def listed(ctest_output):
    """(name, reason) of every failed test, in CTest's order."""
    failed, on = [], False
    for line in ctest_output.splitlines():
        if line.startswith("The following tests FAILED:"):
            on = True
        elif on:
            m = LISTED.match(line)
            if not m:
                break
            failed.append((m.group(1), m.group(2)))
    return failed


def outputs(log):
    """Each test's output in LastTest.log, by name."""
    found, name, lines = {}, None, None
    for line in log.splitlines():
        m = re.match(r"^\d+/\d+ Test: (.+)$", line)
        if m:
            name, lines = m.group(1), None
        elif name is not None and lines is None and line == "Output:":
            lines = []
        elif lines is not None and line == "<end of output>":
            found[name], name, lines = lines, None, None
        elif lines is not None and not (not lines and set(line) == {"-"}):
            lines.append(line)
    return found


def firstfailure(lines):
    """The first line that says what failed, else the last line, else "no output"."""
    lines = [line.rstrip() for line in lines]
    for i, line in enumerate(lines):
        if SAYS.search(line):
            if line.endswith(": Failure"):
                after = next((n.strip() for n in lines[i + 1:] if n.strip()), "")
                line = f"{line}: {after}" if after else line
            return clip(line.strip())
    filled = [line for line in lines if line.strip()]
    return clip(filled[-1].strip()) if filled else "no output"


def clip(line):
    return line if len(line) <= WIDTH else line[:WIDTH - 3] + "..."


def main():
    parser = argparse.ArgumentParser(
        description="The tests that failed in a build folder's last CTest run, one line "
        "each: name, reason, the first line of the failure.")
    parser.add_argument("build", help="the build folder")
    parser.add_argument("ctest_output", nargs="?",
                        help="CTest's output of the run (default BUILD/ctest-output.txt)")
    a = parser.parse_args()
    where = a.ctest_output or os.path.join(a.build, "ctest-output.txt")
    logpath = os.path.join(a.build, "Testing", "Temporary", "LastTest.log")
    try:
        with open(where, encoding="latin-1") as f:
            failed = listed(f.read())
        with open(logpath, encoding="latin-1") as f:
            found = outputs(f.read())
    except OSError as e:
        print(f"failed_tests.py: {e.filename}: {e.strerror}", file=sys.stderr)
        return 1
    for name, reason in failed:
        print(f"{name} ({reason}): {firstfailure(found.get(name, []))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
