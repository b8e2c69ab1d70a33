#!/usr/bin/env python3
"""Download server for tests and the demo: serves a folder over HTTP/1.1 (or
HTTPS) on 127.0.0.1 and misbehaves on request, so that the installer's
transfer code can be tested against real sockets.

Faults are chosen per request, either by query parameters of the request
itself (prefixed "__", e.g. /a.msi?__status=404) or by rules registered for a
path through the control interface (GET /__control/set?path=/a.msi&status=404),
so that URLs fixed in a manifest can be made to fail too.

Fault parameters (all optional):
  status=N      answer with status N (the file's bytes, or `body`, as the body)
  body=TEXT     body text instead of the file's contents
  nobody=1      send no body at all (Content-Length: 0 unless `length` is given)
  nolength=1    send no Content-Length; the body ends when the connection closes
  length=N      declare Content-Length N whatever the body's size
  cut=N         send only the first N bytes of the body, then close the connection
  drip=BPS      send the body at BPS bytes per second
  stall=S       after the headers (and after `cut` bytes) wait S seconds before going on
  delay=MS      wait MS milliseconds before answering
  times=N       (rules only) the rule applies to the next N requests, then is removed
  cutevery=N    like cut=N, meant as a standing rule: every response sends at most N
                bytes of its body (of a 206, of its slice) and closes the connection
  retryafter=V  add the header "Retry-After: V" (V verbatim: seconds or an HTTP-date)
  redirect=LOC  answer 302 (or `status`) with "Location: LOC" (verbatim, may be
                relative) and an empty body
Faults of the validators and ranges of a file (see below):
  noaccept=1    send no Accept-Ranges
  etag=none     send no ETag;  etag=weak  send a weak one, W/"..."
  nolastmod=1   send no Last-Modified
  changeetag=1  the ETag differs on every request, and If-Range never matches
  norange=1     ignore Range (answer 200 with the whole file)
  range416=1    answer 416 to every request that carries Range
  badrange=1    answer a satisfiable range with 206 whose slice (and Content-Range)
                starts one byte after the first byte asked for

A file served as itself (no `status`, `body`, `nobody` or `redirect`) carries
"Accept-Ranges: bytes", a strong ETag (a digest of its size, modification time
and path) and Last-Modified. One range of the forms bytes=A-, bytes=A-B and
bytes=-N is honoured: 206 with Content-Range, or 416 with "Content-Range:
bytes */TOTAL" and no body when it starts at or after the end. Any other Range,
or an If-Range that equals neither the ETag (strong comparison) nor the
Last-Modified text, gives 200 with the whole file. `cut`, `cutevery`, `drip`,
`stall`, `length` and `nolength` apply to the body actually sent.

Control interface (plain GET, answered with text/plain):
  /__control/set?path=P&<fault params>   add or replace the rule for path P
  /__control/clear                       remove every rule
  /__control/log                         the request log, one line per request
  /__control/stop                        stop the server
With --cert the control interface is also served over plain HTTP on a second
port; --port-file receives "PORT CONTROL_PORT".

Every request is logged as one line "METHOD PATH STATUS BYTES_SENT UA=... ACCEPT=...
CTYPE=... RANGE=... IFRANGE=..." (the request's headers; BYTES_SENT counts the
body bytes written) to --log (appended, flushed) and kept in memory for
/__control/log.
The server stops by itself after --idle-exit seconds without a request and after
--max-seconds in all, so a test that dies cannot leave it running.
"""
import argparse
import email.utils
import hashlib
import http.server
import os
import re
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

FAULT_KEYS = ("status", "body", "nobody", "nolength", "length", "cut", "drip", "stall",
              "delay", "times", "cutevery", "retryafter", "redirect", "noaccept", "etag",
              "nolastmod", "changeetag", "norange", "range416", "badrange")

CHUNK = 65536
RANGE_RE = re.compile(r"bytes=(\d*)-(\d*)\Z")


class State:
    def __init__(self, root, log_path):
        self.root = os.path.realpath(root)
        self.rules = {}
        self.lock = threading.Lock()
        self.log_lines = []
        self.log_path = log_path
        self.last_request = time.monotonic()
        self.servers = []
        self.requests = 0

    def count_request(self):
        with self.lock:
            self.requests += 1
            return self.requests

    def take_rule(self, path):
        with self.lock:
            rule = self.rules.get(path)
            if rule is None:
                return {}
            if "times" in rule:
                left = int(rule["times"]) - 1
                if left <= 0:
                    del self.rules[path]
                else:
                    rule["times"] = str(left)
            return dict(rule)

    def log(self, line):
        with self.lock:
            self.log_lines.append(line)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as f:
                    f.write(line + "\n")


class Body:
    """A response body: text held in memory, or `size` bytes of an open file from
    `start`, read piecewise so that a 1 GB file is never held in memory."""

    def __init__(self, data=b"", file=None, start=0, size=0):
        self.data = memoryview(data)
        self.file = file
        self.pos = 0
        self.size = len(data) if file is None else size
        if file is not None:
            file.seek(start)

    def read(self, n):
        if self.file is not None:
            return self.file.read(n)
        piece = self.data[self.pos:self.pos + n]
        self.pos += len(piece)
        return piece


def validators(local, st, fault, state):
    """(ETag, Last-Modified) of a file, either None when a fault drops it."""
    key = "%d:%d:%s" % (st.st_size, st.st_mtime_ns, local)
    digest = hashlib.sha1(key.encode("utf-8")).hexdigest()[:20]
    if fault.get("changeetag") == "1":
        digest += "-%d" % state.count_request()
    etag = {"none": None, "weak": 'W/"%s"' % digest}.get(fault.get("etag"), '"%s"' % digest)
    lastmod = None
    if fault.get("nolastmod") != "1":
        lastmod = email.utils.formatdate(st.st_mtime, usegmt=True)
    return etag, lastmod


def if_range_matches(value, etag, lastmod, fault):
    # A weak ETag never matches (strong comparison); a date must be the Last-Modified text.
    if fault.get("changeetag") == "1":
        return False
    if etag is not None and not etag.startswith("W/") and value == etag:
        return True
    return lastmod is not None and value == lastmod


def choose_range(range_header, if_range, total, fault, etag, lastmod):
    """(status, first, last) for a file of `total` bytes: 200 for the whole file,
    206 for the bytes first..last, 416 for an unsatisfiable range."""
    whole = (200, 0, total - 1)
    if range_header is None:
        return whole
    if fault.get("range416") == "1":
        return (416, 0, -1)
    if fault.get("norange") == "1":
        return whole
    if if_range is not None and not if_range_matches(if_range, etag, lastmod, fault):
        return whole
    m = RANGE_RE.match(range_header.strip())
    if not m or m.group(1) == m.group(2) == "":
        return whole
    if m.group(1) == "":
        suffix = int(m.group(2))
        if suffix == 0 or total == 0:
            return (416, 0, -1)
        first, last = max(0, total - suffix), total - 1
    else:
        first = int(m.group(1))
        if m.group(2) and int(m.group(2)) < first:
            return whole
        if first >= total:
            return (416, 0, -1)
        last = min(int(m.group(2) or total - 1), total - 1)
    if fault.get("badrange") == "1":
        first += 1
    return (206, first, last)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "PelTestServer/1.0"

    def log_message(self, fmt, *args):  # keep stderr quiet; the request log is ours
        pass

    def do_HEAD(self):
        self.handle_request(head=True)

    def do_GET(self):
        self.handle_request(head=False)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        self.handle_request(head=False)

    def handle_request(self, head):
        state = self.server.state
        state.last_request = time.monotonic()
        url = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(url.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if path.startswith("/__control/"):
            return self.control(path, query)

        fault = state.take_rule(path)
        for key, values in query.items():
            if key.startswith("__") and key[2:] in FAULT_KEYS:
                fault[key[2:]] = values[-1]

        if "delay" in fault:
            time.sleep(int(fault["delay"]) / 1000.0)

        file = None
        try:
            local = os.path.realpath(os.path.join(state.root, path.lstrip("/")))
            if not (local == state.root or local.startswith(state.root + os.sep)):
                status, body, headers = 403, Body(b"forbidden\n"), []
            elif os.path.isfile(local):
                file = open(local, "rb")
                status, body, headers = self.file_response(local, file, fault)
            else:
                status, body = 404, Body(b"<html><body>404 Not Found</body></html>\n")
                headers = []
            status, sent = self.respond(status, body, headers, fault, head)
        finally:
            if file is not None:
                file.close()
        state.log("%s %s %d %d UA=%s ACCEPT=%s CTYPE=%s RANGE=%s IFRANGE=%s" % (
            self.command, self.path, status, sent, self.headers.get("User-Agent", ""),
            self.headers.get("Accept", ""), self.headers.get("Content-Type", ""),
            self.headers.get("Range", ""), self.headers.get("If-Range", "")))

    def file_response(self, local, file, fault):
        """Status, body and extra headers for a file; its validators and ranges only
        when no fault replaces the file as the response."""
        st = os.fstat(file.fileno())
        if any(k in fault for k in ("status", "body", "nobody", "redirect")):
            return 200, Body(file=file, size=st.st_size), []
        etag, lastmod = validators(local, st, fault, self.server.state)
        headers = []
        if fault.get("noaccept") != "1":
            headers.append(("Accept-Ranges", "bytes"))
        if etag is not None:
            headers.append(("ETag", etag))
        if lastmod is not None:
            headers.append(("Last-Modified", lastmod))
        total = st.st_size
        status, first, last = choose_range(self.headers.get("Range"), self.headers.get("If-Range"),
                                           total, fault, etag, lastmod)
        if status == 416:
            headers.append(("Content-Range", "bytes */%d" % total))
            return status, Body(b""), headers
        if status == 206:
            headers.append(("Content-Range", "bytes %d-%d/%d" % (first, last, total)))
        return status, Body(file=file, start=first, size=max(0, last - first + 1)), headers

    def respond(self, status, body, headers, fault, head):
        """Applies the response faults and sends the response: (status, body bytes written)."""
        if "status" in fault:
            status = int(fault["status"])
        if "body" in fault:
            body = Body(fault["body"].encode("utf-8"))
        if fault.get("nobody") == "1":
            body = Body(b"")
        if "redirect" in fault:
            status = int(fault.get("status", 302))
            body = Body(b"")
            headers = headers + [("Location", fault["redirect"])]
        if "retryafter" in fault:
            headers = headers + [("Retry-After", fault["retryafter"])]

        self.send_response_only(status)
        self.send_header("Content-Type", "application/octet-stream")
        for name, value in headers:
            self.send_header(name, value)
        if fault.get("nolength") != "1":
            declared = int(fault["length"]) if "length" in fault else body.size
            self.send_header("Content-Length", str(declared))
        close = (fault.get("nolength") == "1" or "length" in fault or "cut" in fault
                 or "cutevery" in fault)
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

        sent = 0
        try:
            if not head:
                sent = self.send_body(body, fault)
        except (BrokenPipeError, ConnectionResetError):
            pass
        return status, sent

    def send_body(self, body, fault):
        limit = body.size
        cuts = [int(fault[k]) for k in ("cut", "cutevery") if k in fault]
        if cuts:
            limit = min([limit] + cuts)
        drip = int(fault["drip"]) if "drip" in fault else 0
        stall = float(fault["stall"]) if "stall" in fault else 0.0
        sent = 0
        if stall and not cuts:
            self.wfile.flush()
            time.sleep(stall)
        while sent < limit:
            if drip:
                piece = body.read(max(1, min(limit - sent, drip // 10 or 1)))
            else:
                piece = body.read(min(limit - sent, CHUNK))
            if not piece:  # the file shrank while being sent
                break
            self.wfile.write(piece)
            sent += len(piece)
            if drip:
                self.wfile.flush()
                time.sleep(len(piece) / drip)
        self.wfile.flush()
        if cuts:
            if stall:
                time.sleep(stall)
            self.close_connection = True
        return sent

    def control(self, path, query):
        state = self.server.state
        text = "ok\n"
        if path == "/__control/set":
            target = query.get("path", [""])[-1]
            rule = {k: v[-1] for k, v in query.items() if k in FAULT_KEYS}
            with state.lock:
                state.rules[target] = rule
        elif path == "/__control/clear":
            with state.lock:
                state.rules.clear()
        elif path == "/__control/log":
            with state.lock:
                text = "".join(line + "\n" for line in state.log_lines)
        elif path == "/__control/stop":
            for srv in state.servers:
                threading.Thread(target=srv.shutdown, daemon=True).start()
        else:
            text = "unknown control\n"
        data = text.encode("utf-8")
        self.send_response_only(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def watchdog(server, idle, limit):
    start = time.monotonic()
    while True:
        time.sleep(0.5)
        now = time.monotonic()
        if (idle and now - server.state.last_request > idle) or (limit and now - start > limit):
            for srv in server.state.servers:
                srv.shutdown()
            return


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--root", required=True, help="folder to serve")
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0, help="0 picks a free port")
    ap.add_argument("--port-file", help="write the chosen port here once listening")
    ap.add_argument("--cert", help="PEM certificate chain: serve HTTPS")
    ap.add_argument("--key", help="PEM private key for --cert")
    ap.add_argument("--log", help="append one line per request to this file")
    ap.add_argument("--idle-exit", type=float, default=300.0)
    ap.add_argument("--max-seconds", type=float, default=3600.0)
    args = ap.parse_args()

    if args.host not in ("127.0.0.1", "localhost", "::1"):
        sys.exit("the test server listens on loopback only")
    server = Server((args.host, args.port), Handler)
    server.state = State(args.root, args.log)
    server.state.servers.append(server)
    if args.cert:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args.cert, args.key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    port = server.server_address[1]
    # The control interface is also reachable over plain HTTP on its own port, so
    # that tests can drive an HTTPS server whose certificate they do not trust.
    control_port = port
    if args.cert:
        control = Server((args.host, 0), Handler)
        control.state = server.state
        server.state.servers.append(control)
        control_port = control.server_address[1]
        threading.Thread(target=control.serve_forever, kwargs={"poll_interval": 0.2},
                         daemon=True).start()
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d %d" % (port, control_port))
        os.replace(tmp, args.port_file)
    print("serving %s on %s:%d" % (args.root, args.host, port), flush=True)
    threading.Thread(target=watchdog, args=(server, args.idle_exit, args.max_seconds),
                     daemon=True).start()
    server.serve_forever(poll_interval=0.2)


if __name__ == "__main__":
    main()
