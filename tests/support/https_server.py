#!/usr/bin/env python3
"""https_server.py <folder> <cert> <key> <port file>: serves folder over HTTPS on 127.0.0.1, port 0.

Writes the port it got into the port file and ends itself after 60 s, so a test that dies cannot leave it.
"""
import functools
import os
import http.server
import ssl
import sys
import threading


def main():
    folder, cert, key, port_file = sys.argv[1:5]
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Timer(60, server.shutdown).start()
    with open(port_file + ".part", "w") as out:
        out.write(str(server.server_address[1]))
    os.rename(port_file + ".part", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
