#!/usr/bin/env python3
"""Watch a match live in a browser: connects as a monitor to a soccer simulation server (pitch
or the real one) and serves a page that draws every step as it comes.

The monitor side asks with "(dispinit version 5)" and reads the server's show lines (the
play mode and the teams are inside each); when the server falls silent for two seconds (it
ended, or it restarts) it asks again every second from a fresh socket until a server
answers. The page side is an HTTP server on a local address: "/" is the page (page.html,
which the replay page shares, with live-page.html's parts: vornkit.pages; nothing loaded
from elsewhere), "/events" a stream of server-sent events, one per step and per change of
the connection's state, to any number of browsers at once; a browser that falls behind gets
the newest step, never a queue.
Standard library only.
"""

import argparse
import http.server
import json
import math
import os
import re
import signal
import socket
import sys
import threading
import time

HERE = os.path.dirname(os.path.realpath(__file__))  # the script, not a link to it
sys.path.insert(0, HERE)
from vornkit import helptext  # noqa: E402
from vornkit import pages  # noqa: E402
from vornkit import showline  # noqa: E402

SILENT_S = 2.0  # no datagram for this long: the server has gone, ask again
ASK_EVERY_S = 1.0  # how often to ask while nobody answers
KEEPALIVE_S = 5.0  # a comment line to idle browsers, so a closed one is noticed
STOP_S = 5.0  # a stop that takes longer than this ends the process at once
STOPS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)  # each ends it as Ctrl-C does


def parse_show(line):
    """A show line as the page draws it: cycle, mode, teams, score, ball, players on the field
    as [side, unum, x, y, body, stamina, goalie]. ValueError when it is not one, or when a
    number the page draws is not finite (nan, inf)."""
    show = showline.read(line)
    ball, players = show["ball"], show["players"]
    drawn = [ball["x"], ball["y"]] + [p.get(k, 0) for p in players
                                      for k in ("x", "y", "body", "stamina")]
    if not all(map(math.isfinite, drawn)):
        raise ValueError("a show line with a number that is not finite")
    return {"t": show["cycle"], "mode": show["mode"], "teams": show["teams"],
            "score": show["score"], "ball": [ball["x"], ball["y"]],
            "players": [[p["side"], p["unum"], p["x"], p["y"], round(p["body"]),
                         p.get("stamina"), bool(p.get("goalie"))] for p in players]}


class Watch:
    """What the browsers are shown: the connection's state and the newest step, with a
    number that goes up at every change."""

    def __init__(self, server):
        self.server = server
        self.cond = threading.Condition()
        self.seq = 0
        self.state, self.status = "asking", f"asking {server} for the match"
        self.frame = None
        self.shows = 0  # show lines since the session began
        self.sessions = 0
        self.message = ""
        self.mode, self.teams, self.score = "", ["", ""], [0, 0]
        self.stopped = False

    def begin(self):
        """A new session: a server answers (again). Nothing of the session before carries
        over to it (its message, mode, teams and score), but its last step is drawn until
        the first of the new one comes."""
        with self.cond:
            self.sessions += 1
            self.shows = 0
            self.message = ""
            self.mode, self.teams, self.score = "", ["", ""], [0, 0]
            self.changed()

    def changed(self):
        self.seq += 1
        self.cond.notify_all()

    def set_state(self, state, status):
        with self.cond:
            if (state, status) == (self.state, self.status):
                return
            self.state, self.status = state, status
            self.changed()
        say(f"live: {status}")

    def payload(self):
        return json.dumps({"seq": self.seq, "state": self.state, "status": self.status,
                           "frame": self.frame, "message": self.message},
                          separators=(",", ":"))

    def line(self, text):
        """One datagram of the monitor's stream."""
        if text.startswith("(show "):
            frame = parse_show(text)
            with self.cond:
                self.shows += 1
                if frame["mode"] is None:
                    frame["mode"] = self.mode
                if frame["teams"] is None:
                    frame["teams"], frame["score"] = self.teams, self.score
                self.mode, self.teams, self.score = frame["mode"], frame["teams"], frame["score"]
                frame["shows"], frame["session"] = self.shows, self.sessions
                self.frame = frame
                self.changed()
        elif text.startswith("(playmode "):
            self.mode = showline.playmode(text) or self.mode
        elif text.startswith("(team "):
            self.teams, self.score = showline.team(text) or (self.teams, self.score)
        elif text.startswith("(msg "):
            quoted = text.rstrip(")\0").partition('"')[2]  # (msg T BOARD "TEXT")
            with self.cond:
                self.message = quoted[:-1] if quoted.endswith('"') else quoted or text
                self.changed()


def monitor(watch, address):
    """The monitor's loop, in a thread of its own, until watch.stopped; address is the
    server's (IPv4 address, port)."""
    sock, answered, last, asked = None, False, 0.0, 0.0
    while not watch.stopped:
        now = time.monotonic()
        if not answered or now - last > SILENT_S:
            if answered:
                t = watch.frame["t"] if watch.frame else 0
                watch.set_state("silent", f"{watch.server} is silent since cycle {t}; "
                                "asking again every second")
                answered = False
            if now - asked >= ASK_EVERY_S:
                if sock:
                    sock.close()  # a fresh port: a session left on the server ends
                sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
                sock.settimeout(0.2)
                try:
                    sock.sendto(b"(dispinit version 5)\0", address)
                except OSError as e:
                    watch.set_state("silent", f"cannot reach {watch.server}: {e}")
                asked = now
        try:
            data, source = sock.recvfrom(1 << 16)
        except socket.timeout:
            continue
        except OSError:  # nobody on that port yet: the system says so at the next read
            time.sleep(0.2)
            continue
        if source[0] != address[0]:
            continue
        text = data.decode("latin-1").rstrip("\0")
        if text.startswith("(error"):
            watch.set_state("refused", f"{watch.server} refused the monitor: {text}")
            continue
        if not answered:
            watch.begin()
            again = " again" if watch.sessions > 1 else ""
            watch.set_state("watching", f"watching {watch.server}{again} (it answers from "
                            f"port {source[1]})")
            answered = True
            session = source
        last = time.monotonic()
        try:
            watch.line(text)
        except (ValueError, IndexError):
            pass  # a line this page cannot read is skipped; the next step replaces it
    if sock and answered:
        try:
            sock.sendto(b"(dispbye)\0", session)
        except OSError:
            pass
    if sock:
        sock.close()


def handler_for(watch, page):
    class Handler(http.server.BaseHTTPRequestHandler):
        server_version = "vorn-live"

        def log_message(self, *args):
            pass  # the page asks for events all the time: nothing to say about it

        def send_text(self, status, kind, body):
            data = body.encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(data)

        def do_GET(self):
            path = self.path.split("?")[0]
            if path in ("/", "/index.html"):
                self.send_text(200, "text/html; charset=utf-8", page)
            elif path == "/state":
                with watch.cond:
                    self.send_text(200, "application/json", watch.payload())
            elif path == "/events":
                self.events()
            else:
                self.send_text(404, "text/plain; charset=utf-8", "not here: try /\n")

        def events(self):
            self.send_response(200)
            self.send_header("Content-Type", "text/event-stream")
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            seen = -1
            try:
                while not watch.stopped:
                    with watch.cond:
                        if watch.seq == seen:
                            watch.cond.wait(KEEPALIVE_S)
                        if watch.seq == seen:
                            body = ": still here\n\n"
                        else:
                            seen = watch.seq
                            body = f"data: {watch.payload()}\n\n"
                    self.wfile.write(body.encode("utf-8"))
                    self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError):
                pass  # the browser has gone

    return Handler


def port_number(word, lowest, text, shape):
    """The port a word of an option gives (text the whole value, shape what it must look
    like), lowest to 65535; argparse's error otherwise."""
    try:
        port = int(word)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not {shape}: {text}")
    if not lowest <= port <= 65535:
        raise argparse.ArgumentTypeError(f"a port {lowest}..65535, not {port}")
    return port


def listen_address(text):
    host, _, port = text.rpartition(":")
    return host or "127.0.0.1", port_number(port, 0, text, "[ADDRESS:]PORT")


def server_port(text):
    return port_number(text, 1, text, "a port")


def resolve(parser, host):
    """The IPv4 address of the server's host; a host that has none is refused before
    anything starts, and a port written after it (H:P) is named as such."""
    try:
        if host:  # "" would be 0.0.0.0, this machine's every address
            return socket.gethostbyname(host)
    except (OSError, UnicodeError):  # UnicodeError: a name with an empty or long label
        pass
    m = re.fullmatch(r"(.*[^:]):([0-9]+)", host)
    if m:
        parser.error(f"--host: '{host}' holds a port; give the port with --port: "
                     f"--host {m[1]} --port {m[2]}")
    parser.error(f"--host: the host '{host}' is unknown (no IPv4 address for it)")


class Stop(Exception):
    pass


def say(text):
    """A line on standard output; one whose reader has gone is given up, quietly (a stop
    must not turn into a traceback)."""
    try:
        print(text, flush=True)
    except (OSError, ValueError):
        try:
            sys.stdout = open(os.devnull, "w")
        except OSError:
            pass


def parent_watch(parent, watch):
    """Until watch.stopped: once the process that started this one has ended (this one is
    then another's child), a SIGTERM to itself stops it as any stop does."""
    while not watch.stopped:
        if os.getppid() != parent:
            os.kill(os.getpid(), signal.SIGTERM)
            return
        time.sleep(0.5)


class Parser(helptext.ArgumentParser):
    def error(self, message):
        """A bad option in one line, status 2."""
        self.exit(2, f"live.py: {message} (see --help)\n")


def main(argv):
    p = Parser(
        description="Watch a match live in a browser: connects as a monitor to a soccer "
        "simulation server (pitch, or the real server) and serves a page that draws it as it "
        "is played: players with their numbers and facing, the ball, score, play mode, cycle "
        "and stamina. Any number of browsers may watch at once; when the server ends or "
        "restarts the page says so and the script asks again until a server answers. "
        "Ctrl-C, SIGTERM or SIGHUP ends it within a few seconds, with status 0 and the "
        "line \"live: stopped\".")
    p.add_argument("--host", default="127.0.0.1", help="the server (default 127.0.0.1)")
    p.add_argument("--port", type=server_port, default=6000,
                   help="the server's port for players and monitors (default 6000)")
    p.add_argument("--listen", type=listen_address, default=("127.0.0.1", 8000),
                   metavar="[ADDRESS:]PORT",
                   help="where the page is served (default 127.0.0.1:8000, this machine only; "
                   "port 0 picks a free one)")
    p.add_argument("--with-parent", action="store_true",
                   help="end when the process that started this one ends, however it ends "
                   "(match.sh --live: the page ends with the match, also when the match's "
                   "runner is killed)")
    a = p.parse_args(argv)
    parent = os.getppid()
    address = (resolve(p, a.host), a.port)
    try:
        page = pages.page("live-page.html", "vorn live")
    except (OSError, ValueError) as e:
        print(f"live.py: {e}", file=sys.stderr)
        return 1
    watch = Watch(f"{a.host}:{a.port}")
    try:
        httpd = http.server.ThreadingHTTPServer(a.listen, handler_for(watch, page))
    except OSError as e:
        print(f"live.py: cannot serve the page on {a.listen[0]}:{a.listen[1]}: {e.strerror or e}",
              file=sys.stderr)
        return 1
    httpd.daemon_threads = True
    host, port = httpd.server_address[:2]
    say(f"live: the page is at http://{host}:{port}/ (watching {a.host}:{a.port}; "
        "Ctrl-C ends)")

    def stop(signum, frame):
        # The first signal stops; the ones after it (a whole group stopped, then its runner's
        # own SIGTERM) change nothing, and the stop cannot take longer than STOP_S.
        for s in STOPS:
            signal.signal(s, signal.SIG_IGN)
        threading.Thread(target=lambda: (time.sleep(STOP_S), os._exit(1)), daemon=True).start()
        raise Stop()

    for s in STOPS:  # also Ctrl-C when started in the background, which ignores it
        signal.signal(s, stop)
    thread = threading.Thread(target=monitor, args=(watch, address), daemon=True)
    thread.start()
    if a.with_parent:
        threading.Thread(target=parent_watch, args=(parent, watch), daemon=True).start()
    try:
        httpd.serve_forever(poll_interval=0.2)
    except (KeyboardInterrupt, Stop):
        pass
    with watch.cond:
        watch.stopped = True
        watch.changed()
    thread.join(timeout=2)
    httpd.server_close()
    say("live: stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
