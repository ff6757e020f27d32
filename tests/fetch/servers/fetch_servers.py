#!/usr/bin/env python3
"""Loopback servers for the KuvoFetch tests and demo.

  fetch_servers.py start --dir DIR [--lifetime SECONDS]   start in the background, wait until
                                                           every server listens, write DIR/servers.txt
  fetch_servers.py stop --dir DIR                          stop them
  fetch_servers.py serve --dir DIR [--lifetime SECONDS]    run in the foreground

servers.txt holds "name=value" lines: http, https, silent, reset, proxy (ports) and proxy_log.
Servers bind 127.0.0.1 only and stop by themselves after --lifetime seconds.

HTTP(S) paths (KEY keeps tests apart; answers are scripted per attempt):
  /s/KEY/A1,A2,...   attempt n answers An (the last one repeats): a status code; 200 carries
                     the body "body KEY n"
  /redir/KEY/N       N > 0: 302 to /redir/KEY/N-1; N = 0: 200 "landed"
  /echo/KEY          200; the body describes the request (method, target, raw header lines,
                     body length), a blank line, then the request body as received
  /gate/KEY          holds the answer until /open/KEY (at most 30 s), then 200 "gated"
  /open/KEY          opens the gate KEY
  /arrived/KEY       answers once a request for KEY has arrived (at most 30 s): "yes" or "no"
  /big/N             200 with N bytes, byte i being i % 251
  /log/KEY           one line per request for KEY: "<ms since start> <method> <target>"
  /fast              200 "ok"
  /short/KEY         200 announcing a 100-byte body, of which 10 bytes come before the close
  /stall/KEY         200 announcing a 10-byte body, then nothing until the client goes (30 s)
  /redirto/KEY?to=U  302 to U (percent-encoded), whatever its scheme

Any path with a query holding delay=MS (at most 2000) answers only after that many milliseconds.

servers.txt also names "backlog": a listener whose queue is full and that never accepts, so a
connection attempt to it neither succeeds nor is refused.
"""
import argparse
import os
import select
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

START = time.monotonic()
LOCK = threading.Lock()
COND = threading.Condition(LOCK)
ATTEMPTS = {}   # key -> requests seen
LOGS = {}       # key -> lines
GATES = {}      # key -> threading.Event


def gate(key):
    with LOCK:
        return GATES.setdefault(key, threading.Event())


class RecordingReader:
    """Keeps the raw request line and header lines as the handler reads them."""

    def __init__(self, raw):
        self.raw = raw
        self.lines = []

    def readline(self, *args):
        line = self.raw.readline(*args)
        if len(self.lines) < 200:
            self.lines.append(line)
        return line

    def read(self, *args):
        return self.raw.read(*args)

    def __getattr__(self, name):
        return getattr(self.raw, name)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KuvoTestServer"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        self.rfile = RecordingReader(self.rfile)

    def answer(self, status, body=b"", extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        if status not in (204, 304):
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if body and status not in (204, 304):
            self.wfile.write(body)
        self.close_connection = True

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def record(self, key):
        with COND:
            n = ATTEMPTS.get(key, 0) + 1
            ATTEMPTS[key] = n
            ms = (time.monotonic() - START) * 1000.0
            LOGS.setdefault(key, []).append("%.1f %s %s" % (ms, self.command, self.path))
            COND.notify_all()
            return n

    def do_GET(self):
        self.dispatch()

    def do_POST(self):
        self.dispatch()

    def dispatch(self):
        body = self.read_body()
        query = urllib.parse.parse_qs(self.path.split("?", 1)[1] if "?" in self.path else "")
        try:
            delay = min(int(query.get("delay", ["0"])[0]), 2000)
        except ValueError:
            delay = 0
        if delay > 0:
            time.sleep(delay / 1000.0)
        parts = self.path.split("?", 1)[0].split("/")
        kind = parts[1] if len(parts) > 1 else ""
        key = parts[2] if len(parts) > 2 else ""
        if kind == "s" and len(parts) > 3:
            n = self.record(key)
            script = parts[3].split(",")
            status = int(script[min(n, len(script)) - 1])
            text = ("body %s %d" % (key, n)).encode() if status == 200 else b"error"
            self.answer(status, text)
        elif kind == "redir" and len(parts) > 3:
            self.record(key)
            left = int(parts[3])
            if left > 0:
                self.answer(302, b"", [("Location", "/redir/%s/%d" % (key, left - 1))])
            else:
                self.answer(200, b"landed")
        elif kind == "echo":
            self.record(key)
            raw = self.rfile.lines
            header_lines = []
            for line in raw[1:]:
                if line in (b"\r\n", b"\n", b""):
                    break
                header_lines.append(line.rstrip(b"\r\n"))
            text = [b"method " + self.command.encode(), b"target " + self.path.encode()]
            text += [b"header " + h for h in header_lines]
            text.append(b"body-length " + str(len(body)).encode())
            self.answer(200, b"\n".join(text) + b"\n\n" + body)
        elif kind == "gate":
            self.record(key)
            opened = gate(key).wait(30)
            self.answer(200 if opened else 503, b"gated")
        elif kind == "open":
            gate(key).set()
            self.answer(200, b"open")
        elif kind == "arrived":
            with COND:
                seen = COND.wait_for(lambda: ATTEMPTS.get(key, 0) > 0, timeout=30)
            self.answer(200, b"yes" if seen else b"no")
        elif kind == "big":
            n = int(key)
            self.answer(200, bytes(i % 251 for i in range(n)))
        elif kind == "log":
            with LOCK:
                lines = list(LOGS.get(key, []))
            self.answer(200, ("\n".join(lines) + ("\n" if lines else "")).encode())
        elif kind == "fast":
            self.answer(200, b"ok")
        elif kind == "short":
            self.record(key)
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"0123456789")
            self.wfile.flush()
            self.close_connection = True
        elif kind == "stall":
            self.record(key)
            self.send_response(200)
            self.send_header("Content-Length", "10")
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.flush()
            self.connection.settimeout(30)
            try:
                while self.connection.recv(65536):
                    pass
            except OSError:
                pass
            self.close_connection = True
        elif kind == "redirto":
            self.record(key)
            query = urllib.parse.parse_qs(self.path.split("?", 1)[1] if "?" in self.path else "")
            self.answer(302, b"", [("Location", query.get("to", ["/fast"])[0])])
        else:
            self.answer(400, b"unknown path")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128


def https_server(directory):
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                    "-keyout", key, "-out", cert], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server = Server(("127.0.0.1", 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True,
                                        do_handshake_on_connect=False)
    return server


def listener():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    return s


def full_backlog_listener():
    """A listener that never accepts, its accept queue filled by connections of our own: the
    kernel drops further connection requests, so a client's connect neither completes nor is
    refused."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind(("127.0.0.1", 0))
    s.listen(0)
    fillers = []
    for _ in range(4):
        c = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        c.setblocking(False)
        c.connect_ex(s.getsockname())
        fillers.append(c)
    # Wait until the handshakes that fit into the queue have completed.
    select.select([], fillers, [], 5)
    return s, fillers


def silent_loop(s):
    """Accepts and never answers; each connection is closed when the peer goes or after 30 s."""
    def hold(conn):
        conn.settimeout(30)
        try:
            while conn.recv(65536):
                pass
        except OSError:
            pass
        conn.close()
    while True:
        conn, _ = s.accept()
        threading.Thread(target=hold, args=(conn,), daemon=True).start()


def reset_loop(s):
    """Accepts, reads the request, then resets the connection."""
    def reset(conn):
        conn.settimeout(5)
        try:
            conn.recv(65536)
        except OSError:
            pass
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
        conn.close()
    while True:
        conn, _ = s.accept()
        threading.Thread(target=reset, args=(conn,), daemon=True).start()


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def start_proxy(directory):
    port = free_port()
    log = os.path.join(directory, "tinyproxy.log")
    conf = os.path.join(directory, "tinyproxy.conf")
    with open(conf, "w") as f:
        f.write('Port %d\nListen 127.0.0.1\nTimeout 30\nLogFile "%s"\nLogLevel Connect\n'
                'MaxClients 200\nAllow 127.0.0.1\nDisableViaHeader Yes\n' % (port, log))
    proc = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return proc, port, log


def wait_listening(port, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def serve(directory, lifetime):
    os.makedirs(directory, exist_ok=True)
    http = Server(("127.0.0.1", 0), Handler)
    https = https_server(directory)
    silent = listener()
    reset = listener()
    backlog, backlog_fillers = full_backlog_listener()
    for target, arg in ((http.serve_forever, None), (https.serve_forever, None),
                        (silent_loop, silent), (reset_loop, reset)):
        args = () if arg is None else (arg,)
        threading.Thread(target=target, args=args, daemon=True).start()
    proxy, proxy_port, proxy_log = start_proxy(directory)

    def finish(*_):
        proxy.terminate()
        try:
            proxy.wait(5)
        except subprocess.TimeoutExpired:
            proxy.kill()
        os._exit(0)

    signal.signal(signal.SIGTERM, finish)
    signal.signal(signal.SIGINT, finish)
    if not wait_listening(proxy_port):
        print("tinyproxy did not start", file=sys.stderr)
        finish()
    ports = {
        "http": http.server_address[1], "https": https.server_address[1],
        "silent": silent.getsockname()[1], "reset": reset.getsockname()[1],
        "proxy": proxy_port, "backlog": backlog.getsockname()[1], "proxy_log": proxy_log,
    }
    tmp = os.path.join(directory, "servers.txt.tmp")
    with open(tmp, "w") as f:
        for name, value in ports.items():
            f.write("%s=%s\n" % (name, value))
    os.replace(tmp, os.path.join(directory, "servers.txt"))
    with open(os.path.join(directory, "servers.pid"), "w") as f:
        f.write(str(os.getpid()))
    time.sleep(lifetime)
    finish()


def start(directory, lifetime):
    os.makedirs(directory, exist_ok=True)
    ready = os.path.join(directory, "servers.txt")
    if os.path.exists(ready):
        os.remove(ready)
    out = open(os.path.join(directory, "servers.out"), "w")
    proc = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", directory,
                             "--lifetime", str(lifetime)], stdin=subprocess.DEVNULL, stdout=out,
                            stderr=out, start_new_session=True)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if os.path.exists(ready):
            print(open(ready).read(), end="")
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    print("servers did not start; see %s" % os.path.join(directory, "servers.out"),
          file=sys.stderr)
    return 1


def stop(directory):
    try:
        pid = int(open(os.path.join(directory, "servers.pid")).read())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
        # Wait (bounded) until it is gone, so that the caller may remove the folder.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            os.kill(pid, 0)
            time.sleep(0.05)
    except (ProcessLookupError, PermissionError):
        pass
    for name in ("servers.pid", "servers.txt"):
        try:
            os.remove(os.path.join(directory, name))
        except OSError:
            pass
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=int, default=1800)
    args = parser.parse_args()
    if args.command == "serve":
        serve(args.dir, args.lifetime)
        return 0
    if args.command == "start":
        return start(args.dir, args.lifetime)
    return stop(args.dir)


if __name__ == "__main__":
    sys.exit(main())
