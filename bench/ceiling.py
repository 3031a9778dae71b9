#!/usr/bin/env python3
"""The ceiling of the transfer benchmarks: one file copied through one TCP
connection on 127.0.0.1 into another file, no FTP around it.

  ceiling.py SOURCE TARGET [HOST SERVER_NETNS CLIENT_NETNS]

With the last three, the receiver listens on HOST inside the network
namespace SERVER_NETNS and the sender connects from CLIENT_NETNS.

The sending process hands the whole file to sendfile(); the receiving one
reads 1 MiB at a time into one buffer and writes it out (moving the bytes
through a pipe with splice() instead measured no faster).
"""
import ctypes
import os
import socket
import sys

PIECE = 1 << 20


def enter_netns(name):
    with open(f"/run/netns/{name}") as ns:
        if ctypes.CDLL(None, use_errno=True).setns(ns.fileno(), 0x40000000) != 0:  # CLONE_NEWNET
            sys.exit(f"setns {name}: {os.strerror(ctypes.get_errno())}")


def send(host, port, source):
    with socket.create_connection((host, port)) as sock, open(source, "rb") as file:
        size = os.fstat(file.fileno()).st_size
        sent = 0
        while sent < size:
            n = os.sendfile(sock.fileno(), file.fileno(), sent, size - sent)
            if n == 0:
                break
            sent += n


def receive(conn, target):
    with open(target, "wb", buffering=0) as out:
        buffer = bytearray(PIECE)
        view = memoryview(buffer)
        while True:
            n = conn.recv_into(buffer)
            if n == 0:
                return
            out.write(view[:n])


def main():
    source, target = sys.argv[1:3]
    host, server_ns, client_ns = sys.argv[3:6] if len(sys.argv) == 6 else ("127.0.0.1", None, None)
    if server_ns:
        enter_netns(server_ns)
    listener = socket.create_server((host, 0))
    port = listener.getsockname()[1]
    child = os.fork()
    if child == 0:
        listener.close()
        if client_ns:
            enter_netns(client_ns)
        send(host, port, source)
        os._exit(0)
    conn, _ = listener.accept()
    receive(conn, target)
    _, status = os.waitpid(child, 0)
    sys.exit(0 if status == 0 else 1)


if __name__ == "__main__":
    main()
