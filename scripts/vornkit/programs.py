"""A program's identity, as the record of a series keeps it (vornkit/series_record.py): the
sha256 of the copy played, its ELF build-id (which strip keeps, where the sha256 changes),
the "git describe --always --dirty" of the checkout that holds it, and the program an
opponent's command starts.
"""

import hashlib
import os
import re
import shlex
import shutil
import struct
import subprocess


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


# ELF: the program headers' note segments (PT_NOTE), and the note GNU's linker writes with
# the build's id (NT_GNU_BUILD_ID), which strip keeps.
PT_NOTE, NT_GNU_BUILD_ID = 4, 3


def buildid(path):
    """The ELF build-id note of the program at path in hex, or None (not ELF, no such note,
    unreadable). strip leaves the note, so a stripped copy (the Debian package's) has the id
    of the build it came from, where its sha256 differs."""
    try:
        with open(path, "rb") as f:
            head = f.read(64)
            if len(head) < 52 or head[:4] != b"\x7fELF" or head[4] not in (1, 2) or \
                    head[5] not in (1, 2):
                return None
            wide, order = head[4] == 2, "<" if head[5] == 1 else ">"
            if wide:
                phoff, = struct.unpack_from(order + "Q", head, 32)
                phentsize, phnum = struct.unpack_from(order + "HH", head, 54)
            else:
                phoff, = struct.unpack_from(order + "I", head, 28)
                phentsize, phnum = struct.unpack_from(order + "HH", head, 42)
            if phentsize < (56 if wide else 32) or phnum > 4096:
                return None
            f.seek(phoff)
            table = f.read(phentsize * phnum)
            for i in range(len(table) // phentsize):
                entry = table[i * phentsize:(i + 1) * phentsize]
                kind, = struct.unpack_from(order + "I", entry, 0)
                if kind != PT_NOTE:
                    continue
                offset, size = struct.unpack_from(order + ("QxxxxxxxxxxxxxxxxQ" if wide else
                                                           "IxxxxxxxxI"), entry, 8 if wide else 4)
                f.seek(offset)
                found = notebuildid(f.read(min(size, 1 << 16)), order)
                if found:
                    return found
    except (OSError, struct.error):
        return None
    return None


def notebuildid(notes, order):
    """The build id among the notes of one note segment (name size, descriptor size, type,
    then the name and the descriptor, each padded to 4 bytes), or None."""
    at = 0
    while at + 12 <= len(notes):
        namesz, descsz, kind = struct.unpack_from(order + "III", notes, at)
        name = at + 12
        desc = name + (namesz + 3) // 4 * 4
        end = desc + (descsz + 3) // 4 * 4
        if desc + descsz > len(notes):
            return None
        if kind == NT_GNU_BUILD_ID and notes[name:name + namesz].rstrip(b"\0") == b"GNU":
            return notes[desc:desc + descsz].hex() or None
        at = end
    return None


def gitdescribe(path):
    """"git describe --always --dirty" of the checkout that holds path, or None."""
    try:
        run = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(path)), "describe",
                              "--always", "--dirty"], capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        return None
    return (run.stdout.strip() or None) if run.returncode == 0 else None


# Interpreters whose first argument that is a file is the program a command starts.
INTERPRETERS = re.compile(r"^(python[0-9.]*|sh|bash|dash|perl|ruby|node)$")


# Words a shell command may begin with before its program.
ASSIGNMENT = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*=")


def commandprogram(command):
    """The program an opponent's command starts, as an absolute path, or None when it cannot
    be told: its first word past "cd DIR &&" (relative to DIR), "exec", "env" and variables
    set before it, found on PATH when it names no folder; for an interpreter (python3, sh,
    ...) the script it is given."""
    try:
        words = shlex.split(command.replace("{host}", "h").replace("{port}", "1"))
    except ValueError:
        return None
    folder = os.getcwd()
    while words:
        if words[0] == "cd" and len(words) >= 3 and words[2] in ("&&", ";"):
            folder = os.path.join(folder, os.path.expanduser(words[1]))
            words = words[3:]
        elif words[0] in ("exec", "env", "nice", "setsid") or ASSIGNMENT.match(words[0]):
            words = words[1:]
        else:
            break
    if not words:
        return None
    first = os.path.expanduser(words[0])
    path = os.path.join(folder, first) if "/" in first else shutil.which(first)
    if not path or not os.path.isfile(path):
        return None
    if INTERPRETERS.match(os.path.basename(path)):
        for word in words[1:]:
            if word.startswith("-"):
                continue
            script = os.path.join(folder, os.path.expanduser(word))
            return os.path.abspath(script) if os.path.isfile(script) else os.path.abspath(path)
    return os.path.abspath(path)


def onrecord(role, path, copy):
    """A program as series.json keeps it: role, name, path, the sha256 of the copy played, its
    ELF build-id (which strip keeps, where the sha256 changes) and the git describe of the
    checkout that holds path."""
    return {"role": role, "name": os.path.basename(path), "path": os.path.abspath(path),
            "sha256": sha256(copy), "build_id": buildid(copy), "git": gitdescribe(path)}
