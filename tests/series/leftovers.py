"""What a series test looks for once its scripts have ended: processes left running."""

import os


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
