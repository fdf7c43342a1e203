#!/usr/bin/env python3
"""A scripted detector stand-in for trying zelmont-term without a detector.

Listens on 127.0.0.1 (port from the command line, 0 picks one and prints it), takes one
connection, expects the login and password lines, answers the login, then replies to
"gs" with a state line, "gp" with a 5000-byte picture body sent in three pieces, "gc" with a
small configuration body, "bye" by closing, and anything else with "?? <command>".
"""
import socket
import sys
import time


def read_line(conn, buffered):
    while b"\r\n" not in buffered:
        chunk = conn.recv(4096)
        if not chunk:
            return None, buffered
        buffered += chunk
    line, _, rest = buffered.partition(b"\r\n")
    return line, rest


def main():
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(1)
    print(listener.getsockname()[1], flush=True)
    listener.settimeout(30)
    conn, _ = listener.accept()
    conn.settimeout(30)
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    buffered = b""
    login, buffered = read_line(conn, buffered)
    password, buffered = read_line(conn, buffered)
    print(f"peer: login={login!r} password={password!r}", file=sys.stderr, flush=True)
    conn.sendall(b"Welcome to the demo detector\r\n")
    while True:
        line, buffered = read_line(conn, buffered)
        if line is None:
            break
        print(f"peer: got {line!r}", file=sys.stderr, flush=True)
        if line == b"gs":
            conn.sendall(b"gs 1,0,1,0\r\n")
        elif line == b"gp":
            body = bytes(range(256)) * 19 + bytes(136)
            conn.sendall(b"gp=5000\r\n" + body[:1000])
            time.sleep(0.05)
            conn.sendall(body[1000:3000])
            time.sleep(0.05)
            conn.sendall(body[3000:] + b"gv=5.01\r\n")
        elif line == b"gc":
            config = b"<config>\r\n</config>"
            conn.sendall(b"gc s=%d\r\n" % len(config) + config)
        elif line == b"bye":
            break
        else:
            conn.sendall(b"?? " + line + b"\r\n")
    conn.close()


if __name__ == "__main__":
    main()
