#!/usr/bin/env python3
"""tests/failed_tests.py on a real CTest run: a small CMake project whose tests fail in the
ways ours do (our own FAIL line, GoogleTest, a sanitizer, a Python exception, a timeout, a
crash, a failure that says nothing), run by CTest as ./test.sh runs it; the lines for the
summary must name every failing test, in CTest's order, with its reason and the first line
of its failure, and nothing for the test that passed.

usage: tests/process/failed_tests_test.py
"""
import os
import shutil
import subprocess
import sys
import tempfile

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
# name, what the test's shell runs, its CTest timeout (s), the line expected for it
CASES = [
    ("passes", "echo fine", None, None),
    ("own", "echo starting\necho 'FAIL: start-team.sh killed: status 0'\necho 'FAIL: other'\n"
     "echo '9 cases, 2 failures'\nexit 1", None,
     "own (Failed): FAIL: start-team.sh killed: status 0"),
    ("gtest", "echo '[ RUN      ] Queue.Drops'\necho 'tests/queue_test.cpp:41: Failure'\n"
     "echo '  Expected equality of these values:'\necho '[  FAILED  ] Queue.Drops (0 ms)'\n"
     "exit 1", None,
     "gtest (Failed): tests/queue_test.cpp:41: Failure: Expected equality of these values:"),
    ("sanitizer", "echo '========'\necho '==4242==ERROR: AddressSanitizer: heap-buffer-overflow'"
     "\necho '    #0 0x55 in parse'\nexit 1", None,
     "sanitizer (Failed): ==4242==ERROR: AddressSanitizer: heap-buffer-overflow"),
    ("python", "echo 'Traceback (most recent call last):'\necho '  File \"x.py\", line 3'\n"
     "echo 'KeyError: 3'\nexit 1", None, "python (Failed): KeyError: 3"),
    ("quiet", "echo one\necho 'the last words'\necho\nexit 3", None,
     "quiet (Failed): the last words"),
    ("slow", "sleep 60", 1, "slow (Timeout): no output"),
    ("crash", "kill -SEGV $$", None, "crash (SEGFAULT): no output"),
]


def main():
    root = tempfile.mkdtemp(prefix="vorn-failedtests.")
    try:
        lines = ["cmake_minimum_required(VERSION 3.16)", "project(cases NONE)", "enable_testing()"]
        for name, script, timeout, _ in CASES:
            with open(os.path.join(root, name + ".sh"), "w") as f:
                f.write(script + "\n")
            lines.append(f"add_test(NAME {name} COMMAND sh {root}/{name}.sh)")
            if timeout:
                lines.append(f"set_tests_properties({name} PROPERTIES TIMEOUT {timeout})")
        with open(os.path.join(root, "CMakeLists.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        build = os.path.join(root, "build")
        subprocess.run(["cmake", "-S", root, "-B", build], check=True, stdout=subprocess.DEVNULL)
        ctest = subprocess.run(["ctest", "--output-on-failure", "-j", "4"], cwd=build,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        with open(os.path.join(build, "ctest-output.txt"), "wb") as f:
            f.write(ctest.stdout)
        got = subprocess.run([sys.executable, os.path.join(REPO, "tests", "failed_tests.py"),
                              build], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    expected = "".join(line + "\n" for *_, line in CASES if line)
    if got.returncode != 0 or got.stdout != expected:
        print(f"FAIL: status {got.returncode}, lines\n{got.stdout}expected\n{expected}")
        return 1
    print(f"{len(CASES)} cases, 0 failures")
    return 0


if __name__ == "__main__":
    sys.exit(main())
