#!/usr/bin/env python3
"""A local stand-in for the telemetry ingestion services, for tests.

Serves HTTPS (or plain HTTP with --plain) on 127.0.0.1. Every request other
than the control ones is appended to the --record file as one JSON line:
{"method", "path", "headers": [[name, value], ...], "body_b64"}.

Responses follow a script, set by POST /__control/script with a JSON body
{"responses": [...], "default": {...}}: each request takes the next scripted
response, and the default once the list is used up. A response is an object
with "status" (default 200), "headers" (object), "body" (text), "delay"
(seconds to wait before answering) and "drop" (true: close the connection
without answering).

Once listening, the server writes its port to the --port-file.
"""

import argparse
import base64
import json
import os
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CONTROL_PREFIX = "/__control/"
DEFAULT_RESPONSE = {"status": 200, "headers": {"Content-Type": "application/json"}, "body": "{}"}


class State:
    def __init__(self, record_path):
        self.lock = threading.Lock()
        self.record_path = record_path
        self.responses = []
        self.default = dict(DEFAULT_RESPONSE)

    def next_response(self):
        with self.lock:
            if self.responses:
                return self.responses.pop(0)
            return self.default

    def record(self, entry):
        line = json.dumps(entry) + "\n"
        with self.lock:
            with open(self.record_path, "a", encoding="utf-8") as out:
                out.write(line)
                out.flush()


class QuietServer(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Refused handshakes and dropped connections are part of the tests.
        pass


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go out in separate writes; without this, delayed
    # acknowledgements add ~40 ms to every exchange.
    disable_nagle_algorithm = True
    server_version = "IngestionTestServer/1.0"

    def log_message(self, format, *args):
        pass

    def _read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _answer(self, status, headers, body):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        for name, value in headers.items():
            self.send_header(name, str(value))
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        self.wfile.flush()

    def _control(self, body):
        if self.path != CONTROL_PREFIX + "script":
            self._answer(404, {}, "unknown control command")
            return
        state = self.server.state
        script = json.loads(body or b"{}")
        with state.lock:
            state.responses = list(script.get("responses") or [])
            state.default = script.get("default") or dict(DEFAULT_RESPONSE)
        self._answer(200, {"Content-Type": "text/plain"}, "ok")

    def _handle(self):
        body = self._read_body()
        if self.path.startswith(CONTROL_PREFIX):
            self._control(body)
            return
        self.server.state.record({
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body_b64": base64.b64encode(body).decode("ascii"),
        })
        response = self.server.state.next_response()
        delay = float(response.get("delay", 0))
        if delay > 0:
            time.sleep(delay)
        if response.get("drop"):
            self.close_connection = True
            try:
                self.connection.shutdown(2)
            except OSError:
                pass
            return
        self._answer(int(response.get("status", 200)), response.get("headers", {}), response.get("body", ""))

    do_POST = _handle
    do_GET = _handle


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--plain", action="store_true")
    args = parser.parse_args()

    server = QuietServer(("127.0.0.1", args.port), Handler)
    server.state = State(args.record)
    if not args.plain:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        # The handshake runs on the first read in the handler's thread, so a
        # client that refuses the certificate cannot stall the listener.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)

    port_tmp = args.port_file + ".tmp"
    with open(port_tmp, "w", encoding="ascii") as out:
        out.write(str(server.server_address[1]))
    os.replace(port_tmp, args.port_file)
    try:
        server.serve_forever(poll_interval=0.05)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
