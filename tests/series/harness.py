"""What the series tests share: where the repository and the programs are, running a script
as a case runs it, running cases at once, processes left running, and the last lines."""

import os
import subprocess
import sys
import threading

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(REPO, "build", "bin")


def run(args, cwd=None, timeout=240, **env):
    """A script of the repository (its path under it) in a session of its own, with this
    build's programs and the variables in env; its status and output."""
    return subprocess.run([os.path.join(REPO, args[0])] + args[1:], cwd=cwd,
                          env=dict(os.environ, VORN_BIN=BIN, **env), capture_output=True,
                          text=True, timeout=timeout, start_new_session=True)


def at_once(calls):
    """Every (function, arguments) of calls, each in a thread of its own, all at once."""
    threads = [threading.Thread(target=f, args=args) for f, args in calls]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def survivors(folder):
    """Processes that run in the folder or name it on their command line (every player runs
    in its folder, pitch and the scripts name theirs), as "PID: COMMAND LINE"."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cwd = os.readlink(f"/proc/{pid}/cwd")
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                line = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if cwd.startswith(folder) or folder in line:
            found.append(f"{pid}: {line}")
    return found


def finish(failures, cases=1, passed="every case as expected"):
    """Prints the failures (or the line for none) and the count of cases, and ends with
    status 1 when there is a failure."""
    failed = min(len(failures), cases)
    print("\n".join(failures) if failures else passed)
    print(f"{cases - failed} passed, {failed} failed")
    sys.exit(1 if failures else 0)
