"""Files the series' summaries read and write: a file written whole or not at all (renamed
into its place once complete), JSON read, and an OSError in words with the file it is about.
Used by scripts/series_summary.py and the series' modules.
"""

import json
import os


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
