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

Control interface (plain GET, answered with text/plain):
  /__control/set?path=P&<fault params>   add or replace the rule for path P
  /__control/clear                       remove every rule
  /__control/log                         the request log, one line per request
  /__control/stop                        stop the server
With --cert the control interface is also served over plain HTTP on a second
port; --port-file receives "PORT CONTROL_PORT".

Every request is logged as one line "METHOD PATH STATUS BYTES_SENT UA=... ACCEPT=...
CTYPE=..." to --log (appended, flushed) and kept in memory for /__control/log.
The server stops by itself after --idle-exit seconds without a request and after
--max-seconds in all, so a test that dies cannot leave it running.
"""
import argparse
import http.server
import os
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

FAULT_KEYS = ("status", "body", "nobody", "nolength", "length", "cut", "drip", "stall",
              "delay", "times")


class State:
    def __init__(self, root, log_path):
        self.root = os.path.realpath(root)
        self.rules = {}
        self.lock = threading.Lock()
        self.log_lines = []
        self.log_path = log_path
        self.last_request = time.monotonic()
        self.servers = []

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

        body = None
        status = 200
        local = os.path.realpath(os.path.join(state.root, path.lstrip("/")))
        if not (local == state.root or local.startswith(state.root + os.sep)):
            status, body = 403, b"forbidden\n"
        elif os.path.isfile(local):
            with open(local, "rb") as f:
                body = f.read()
        else:
            status, body = 404, b"<html><body>404 Not Found</body></html>\n"
        if "status" in fault:
            status = int(fault["status"])
        if "body" in fault:
            body = fault["body"].encode("utf-8")
        if fault.get("nobody") == "1":
            body = b""

        self.send_response_only(status)
        self.send_header("Content-Type", "application/octet-stream")
        if fault.get("nolength") != "1":
            declared = int(fault["length"]) if "length" in fault else len(body)
            self.send_header("Content-Length", str(declared))
        close = fault.get("nolength") == "1" or "cut" in fault or "length" in fault
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
        state.log("%s %s %d %d UA=%s ACCEPT=%s CTYPE=%s" % (
            self.command, self.path, status, sent, self.headers.get("User-Agent", ""),
            self.headers.get("Accept", ""), self.headers.get("Content-Type", "")))

    def send_body(self, body, fault):
        limit = len(body)
        if "cut" in fault:
            limit = min(limit, int(fault["cut"]))
        drip = int(fault["drip"]) if "drip" in fault else 0
        stall = float(fault["stall"]) if "stall" in fault else 0.0
        sent = 0
        if stall and "cut" not in fault:
            self.wfile.flush()
            time.sleep(stall)
        chunk = 65536
        while sent < limit:
            if drip:
                n = max(1, min(limit - sent, drip // 10 or 1))
                self.wfile.write(body[sent:sent + n])
                self.wfile.flush()
                sent += n
                time.sleep(n / drip)
            else:
                n = min(limit - sent, chunk)
                self.wfile.write(body[sent:sent + n])
                sent += n
        self.wfile.flush()
        if "cut" in fault:
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
