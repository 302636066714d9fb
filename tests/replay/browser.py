"""A headless Chromium driven over the DevTools protocol, for the replay page's tests.

The browser talks over a pipe (--remote-debugging-pipe: it reads commands on descriptor 3
and writes replies on 4, each a JSON text ended by a NUL byte), so no port is opened and
nothing but this process can drive it. It starts with a fresh profile and with everything
that would reach for the network switched off. Standard library only.
"""

import base64
import fcntl
import json
import os
import select
import shutil
import signal
import tempfile
import time

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--no-first-run",
         "--disable-default-apps", "--disable-extensions", "--mute-audio",
         "--remote-debugging-pipe"]


def find_chromium():
    for name in (os.environ.get("CHROMIUM"), "chromium", "chromium-browser"):
        path = name and shutil.which(name)
        if path:
            return path
    return None


class BrowserError(Exception):
    pass


class Failure(Exception):
    """What a page test found wrong."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def field_state(b):
    """What the page's canvas "field" says it shows: its data attributes, with "drawn" (every
    player and the ball) read from its JSON."""
    s = json.loads(b.evaluate("JSON.stringify(document.getElementById('field').dataset)"))
    s["drawn"] = json.loads(s.get("drawn", "[]"))
    return s


def wait_for(b, test, what, seconds=60):
    """Polls the page's field until test(state) holds, for as long as a busy machine may
    take; returns that state."""
    deadline = time.monotonic() + seconds
    while True:
        s = field_state(b)
        if test(s):
            return s
        if time.monotonic() >= deadline:
            shown = {k: v for k, v in s.items() if k != "drawn"}
            raise Failure(f"the page never showed {what}; last: {shown}")
        time.sleep(0.05)


class Browser:
    def __init__(self, executable, width=1200, height=960, timeout=30.0):
        self.timeout = timeout
        self.profile = tempfile.mkdtemp(prefix="vorn-chromium.")
        self.log = os.path.join(self.profile, "chromium.log")
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()
        # The browser's ends move above 4 first, so that placing them on 3 and 4 cannot
        # overwrite one with the other.
        child_in = fcntl.fcntl(to_r, fcntl.F_DUPFD_CLOEXEC, 10)
        child_out = fcntl.fcntl(from_w, fcntl.F_DUPFD_CLOEXEC, 10)
        os.close(to_r)
        os.close(from_w)
        args = [executable] + FLAGS + [f"--user-data-dir={self.profile}",
                                       f"--window-size={width},{height}", "about:blank"]
        actions = [(os.POSIX_SPAWN_DUP2, child_in, 3), (os.POSIX_SPAWN_DUP2, child_out, 4),
                   (os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
                   (os.POSIX_SPAWN_OPEN, 1, self.log, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
                   (os.POSIX_SPAWN_DUP2, 1, 2)]
        try:
            self.pid = os.posix_spawn(executable, args, os.environ, file_actions=actions,
                                      setpgroup=0, setsigdef=(signal.SIGPIPE,))
        finally:
            os.close(child_in)
            os.close(child_out)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None
        try:
            target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
            self.session = self.call("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
            self.call("Page.enable")
            self.call("Emulation.setDeviceMetricsOverride",
                      {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})
        except (BrowserError, OSError, KeyError):
            self.close()
            raise

    def _read(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise BrowserError("no answer from the browser in time")
            ready, _, _ = select.select([self.from_r], [], [], left)
            if ready:
                chunk = os.read(self.from_r, 1 << 20)
                if not chunk:
                    raise BrowserError(f"the browser closed its pipe (log: {self.log})")
                self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def call(self, method, params=None, session=True):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_w, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + self.timeout
        while True:
            m = self._read(deadline)
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise BrowserError(f"{method}: {m['error']}")
                return m.get("result", {})
            self.events.append(m)

    def wait_event(self, method):
        deadline = time.monotonic() + self.timeout
        while True:
            for i, m in enumerate(self.events):
                if m.get("method") == method:
                    return self.events.pop(i)
            self.events.append(self._read(deadline))

    def open(self, path):
        self.goto("file://" + os.path.abspath(path))

    def goto(self, url):
        self.events.clear()
        self.call("Page.navigate", {"url": url})
        self.wait_event("Page.loadEventFired")

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate",
                      {"expression": expression, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in r:
            raise BrowserError(f"page error: {r['exceptionDetails']}")
        return r["result"].get("value")

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})

    def key(self, key, code, keycode):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent",
                      {"type": kind, "key": key, "code": code, "windowsVirtualKeyCode": keycode})

    def screenshot(self, path):
        png = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(png))

    def close(self):
        try:
            self.session = None
            self.call("Browser.close")
        except (BrowserError, OSError):
            pass
        for _ in range(50):
            if os.waitpid(self.pid, os.WNOHANG)[0]:
                break
            time.sleep(0.1)
        else:
            os.killpg(self.pid, signal.SIGKILL)  # the group this browser leads, nothing else
            os.waitpid(self.pid, 0)
        # Its helper processes (renderer, zygote) follow it out; wait for the last of them.
        for _ in range(50):
            try:
                os.killpg(self.pid, 0)
            except ProcessLookupError:
                break
            time.sleep(0.1)
        else:
            os.killpg(self.pid, signal.SIGKILL)
        os.close(self.to_w)
        os.close(self.from_r)
        shutil.rmtree(self.profile, ignore_errors=True)
