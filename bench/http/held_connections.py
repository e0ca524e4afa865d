#!/usr/bin/env python3
"""Holds COUNT connections open in the middle of a request header until stdin closes.

Usage: held_connections.py PORT COUNT
Prints "held N" once every connection has sent its partial header, then waits.
"""
import socket
import sys

PARTIAL_HEADER = b"GET /files/small.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n"


def main():
    port = int(sys.argv[1])
    count = int(sys.argv[2])
    held = []
    for _ in range(count):
        connection = socket.create_connection(("127.0.0.1", port), timeout=5)
        connection.sendall(PARTIAL_HEADER)
        held.append(connection)
    print("held %d" % len(held), flush=True)
    sys.stdin.read()
    for connection in held:
        connection.close()


if __name__ == "__main__":
    main()
