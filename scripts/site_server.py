#!/usr/bin/env python3
"""The maker's downloads folder on loopback: site_server.py DIR

Serves DIR on 127.0.0.1 at a free port, prints "port N" as its first line once it listens, logs each
request on stderr, and ends with 0 on SIGTERM or SIGINT, so the demo can tell a clean stop from a failure.
"""
import functools
import http.server
import signal
import sys


def main(argv):
    if len(argv) != 2:
        print("usage: site_server.py DIR", file=sys.stderr)
        return 2
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)

    def stop(_signal, _frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print(f"port {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
