"""How the Python commands put out what they make: a file is written whole or not at all,
and a reader of standard output that goes away (head) ends the command quietly.

  from vornkit import outputs
  outputs.write(path, text)        # OSError when it fails; no partial file is left
  outputs.same_file(a, b)         # whether two paths name one file (the output would
                                   # overwrite the input)
  sys.exit(outputs.run(main))      # main(argv) -> status; 141 when standard output's
                                   # reader has gone, as for a command that SIGPIPE ends
  outputs.writefile(path, text)    # the same, but written beside and renamed into place:
                                   # for the series' files, which others read as they change
  outputs.readjson(path), outputs.oserror(e)   # JSON read; an OSError in words
"""

import json
import os
import signal
import sys

BROKEN_PIPE_STATUS = 128 + signal.SIGPIPE


def write(path, text):
    """Writes text (UTF-8) to path. When the writing fails (a full disk, a file grown past
    the limit) the part written is removed and OSError raised, so no half file is left; a
    file that cannot be opened is left as it was. Devices and pipes are never removed."""
    f = open(path, "w", encoding="utf-8")
    try:
        with f:
            f.write(text)
    except OSError:
        try:
            if os.path.isfile(path):
                os.remove(path)
        except OSError:
            pass
        raise


def same_file(a, b):
    """Whether paths a and b name the same file; False when either does not exist (yet)."""
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def run(main, argv=None):
    """main(argv)'s status; when standard output's reader has gone, 141 and no word more
    (what main still had to say is left unsaid, the files it wrote stay)."""
    try:
        status = main(sys.argv[1:] if argv is None else argv)
        sys.stdout.flush()
        return status
    except BrokenPipeError:
        # Python flushes standard output once more on its way out: into nothing now.
        devnull = os.open(os.devnull, os.O_WRONLY)
        os.dup2(devnull, sys.stdout.fileno())
        return BROKEN_PIPE_STATUS


def writefile(path, text):
    """The file written whole or not at all: a file beside it, renamed into its place once
    it is complete. OSError names the file."""
    part = os.path.join(os.path.dirname(path) or ".", f".{os.path.basename(path)}.{os.getpid()}")
    try:
        with open(part, "w", encoding="utf-8") as f:
            f.write(text)
        os.replace(part, path)
    except OSError as e:
        try:
            os.remove(part)
        except OSError:
            pass
        raise OSError(e.errno, f"cannot write {path}: {e.strerror}") from None


def readjson(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def oserror(e):
    """An OSError in words, with the file it is about."""
    if e.filename and e.strerror:
        return f"{e.filename}: {e.strerror}"
    return e.strerror or str(e)


if __name__ == "__main__":
    print(__doc__.strip())
    sys.exit(0 if sys.argv[1:] in ([], ["--help"], ["-h"]) else 2)
