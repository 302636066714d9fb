#!/usr/bin/env python3
"""The seed, server and opponent options of scripts/series.sh and scripts/match.sh on a
table of values: each bad one is refused before anything starts, with status 2 and one
line naming the option, and nothing is created (--check refuses what the run would); each good one passes --check. /bin/true stands in for the real server's program:
only what --check looks at is asked of it.

usage: tests/series/options_test.py BIN_DIR
"""
import os
import tempfile

from harness import BIN, finish, run
SERIES, MATCH = "scripts/series.sh", "scripts/match.sh"
# script, arguments, exit status, the one line it prints (empty: none)
CASES = [
    (SERIES, "--seed -1", 2, "series.sh: --seed must be a whole number from 0 to 999999989, "
     "not '-1'"),
    (SERIES, "--seed 999999990", 2, "series.sh: --seed must be a whole number from 0 to "
     "999999989, not '999999990'"),  # the last of the 10 matches would pass the largest
    (SERIES, "--matches 1 --seed 999999998", 0, ""),
    (SERIES, "--seed 0", 0, ""),
    (SERIES, "--check --seed", 2, "series.sh: --seed needs a value (see --help)"),
    (SERIES, "--jobs auto", 0, ""),
    (SERIES, "--jobs 65", 2, "series.sh: --jobs must be a whole number from 1 to 64, or auto, "
     "not '65'"),
    (SERIES, "--jobs abc", 2, "series.sh: --jobs must be a whole number from 1 to 64, or auto, "
     "not 'abc'"),
    (SERIES, "--baseline nowhere", 2, "series.sh: --baseline 'nowhere' does not exist"),
    (SERIES, "--baseline /dev/null", 2, "series.sh: --baseline '/dev/null' is not a folder"),
    (SERIES, "--pitch nowhere", 2, "series.sh: --pitch: nowhere/pitch is missing"),
    (SERIES, f"--pitch {BIN} --bin nowhere", 2,
     "series.sh: --bin: nowhere/Vorn is missing; build first (./run.sh or ./test.sh)"),
    (MATCH, "--seed 1000000000 --check", 2, "match.sh: --seed must be a whole number from 0 "
     "to 999999999, not '1000000000'"),
    (MATCH, "--seed 12a --check", 2, "match.sh: --seed must be a whole number from 0 to "
     "999999999, not '12a'"),
    (MATCH, "--seed 999999999 --check", 0, ""),
    (MATCH, "--pitch nowhere --cycles 5", 2, "match.sh: --pitch: nowhere/pitch is missing"),
    (MATCH, "--pitch nowhere --check", 2, "match.sh: --pitch: nowhere/pitch is missing"),
    (MATCH, f"--pitch {BIN} --check", 0, ""),
    (MATCH, "--opponent start.sh --check", 2, "match.sh: --opponent: the command must be given "
     "the server's port: write {port} where it goes (for example '/home/me/team/start.sh -p "
     "{port}'), and {host} for the host"),
    (MATCH, "--opponent nosuch{port} --check", 2,
     "match.sh: --opponent: 'nosuch{port}' is not a command here"),
    (MATCH, "--opponent ./afile{port} --check", 2, "match.sh: --opponent: './afile{port}' is a "
     "relative path, and the command runs in the match folder: give the whole path, or 'cd DIR "
     "&& ...'"),
    (MATCH, "--opponent /dev/null{port} --check", 2,
     "match.sh: --opponent: '/dev/null{port}' is not a program that can be run"),
    (MATCH, "--server nosuchserver --opponent none --check", 2,
     "match.sh: --server: 'nosuchserver' is not a program here (give its path)"),
    (MATCH, "--server true --opponent none --cycles 40 --check", 0, ""),
    (MATCH, "--opponent vorn:nowhere --check", 2,
     "match.sh: --opponent vorn:DIR: nowhere/Vorn is missing"),
    (MATCH, f"--opponent vorn:{BIN} --players 5 --check", 2, "match.sh: --opponent vorn:DIR "
     "needs --players 11 (pitch seats the first eleven of the name on the left)"),
    (MATCH, f"--opponent vorn:{BIN} --side right --check", 0, ""),
    (MATCH, "--connect-wait 0 --check", 2,
     "match.sh: --connect-wait must be a whole number from 1 to 600, not '0'"),
    (MATCH, "--server /bin/true --check", 2, "match.sh: --opponent chasers: the chasers are "
     "pitch's own; on the real server choose none or a command"),
    (MATCH, f"--server {BIN} --opponent none --check", 2, f"match.sh: --server: '{BIN}' is not "
     "a program that can be run (pitch, or the real server's program)"),
    (MATCH, "--server /bin/true --opponent none --cycles 30 --check", 2, "match.sh: --cycles "
     "must be a multiple of 20 on the real server (it counts a half in whole seconds), not '30'"),
    (MATCH, "--server /bin/true --opponent none --cycles 40 --seed 3 --check", 2, "match.sh: "
     "--seed: the real server seeds its random source from its clock; it takes no seed"),
    (MATCH, "--server /bin/true --opponent none --cycles 40 --no-noise --check", 2,
     "match.sh: --no-noise is pitch's; the real server always has its noise"),
    (MATCH, "--server /bin/true --opponent none --cycles 40 --record r.jsonl --check", 2,
     "match.sh: --record: only pitch writes a record (the real server writes its game log, "
     "match.rcg)"),
    (MATCH, "--server /bin/true --opponent none --cycles 40 --check", 0, ""),
    (SERIES, f"--opponent vorn:{BIN} --server /bin/true --cycles 40", 2, "series.sh: --opponent "
     "vorn:DIR needs --server pitch (only pitch seats two teams of one name)"),
    (SERIES, "--server /bin/true --opponent none --cycles 40 --seed 7", 2, "series.sh: --seed: "
     "the real server seeds its random source from its clock; it takes no seed"),
    (SERIES, f"--opponent vorn:{BIN} --cycles 40", 0, ""),
    (SERIES, "--under-test them", 2, "series.sh: --under-test must be vorn or opponent, not "
     "'them'"),
    (SERIES, "--under-test opponent", 2, "series.sh: --under-test opponent needs a team of your "
     "own as --opponent (a command or vorn:DIR), not chasers"),
    (SERIES, f"--under-test opponent --opponent vorn:{BIN}", 0, ""),
    (SERIES, f"--compare {BIN}", 2, "series.sh: --compare needs two folders, DIR_A and DIR_B "
     "(see --help)"),
    (SERIES, f"--compare {BIN} --matches 2", 2, "series.sh: --compare needs two folders, DIR_A "
     "and DIR_B (see --help)"),
    (SERIES, f"--compare {BIN} nowhere", 2, "series.sh: --compare: nowhere/Vorn is missing"),
    (SERIES, f"--compare {BIN} {BIN} --bin {BIN}", 2,
     "series.sh: --compare names both builds: leave out --bin"),
    (SERIES, f"--compare {BIN} {BIN} --opponent vorn:{BIN}", 2, "series.sh: --compare plays "
     "both builds against one opponent: --opponent vorn:DIR is a third build (play it as A or "
     "B)"),
    (SERIES, f"--compare {BIN} {BIN} --cycles 40", 0, ""),
]
failures = []
with tempfile.TemporaryDirectory() as d:
    for script, args, status, line in CASES:
        check = " --check" if script == SERIES and "--check" not in args else ""
        got = run([script] + (args + check).split(), cwd=d, timeout=60)
        out = (got.stdout + got.stderr).splitlines()
        if got.returncode != status or out != ([line] if line else []) or os.listdir(d):
            failures.append(f"{script} {args}: status {got.returncode} (expected {status}), "
                            f"output {out} (expected {line!r}), left {os.listdir(d)}")
finish(failures, len(CASES), "every option as expected")
