#!/usr/bin/env python3
"""A small FTP server with explicit TLS on 127.0.0.1, for what a well-behaved
server never does: it cuts every download's TLS stream short (half the file,
then the connection closes without the TLS close) and still replies 226.
Serves the files of --root for RETR (passive mode only), any user and
password. Prints "PORT <n>" when it listens; ends when its standard input
closes or on SIGTERM. Writes every command it gets to standard error."""
import argparse
import os
import socket
import ssl
import sys
import threading


def serve(control, context, root):
    def reply(text):
        control.sendall((text + "\r\n").encode())

    reply("220 cut-short server")
    data_listener = None
    reader = control.makefile("rb")
    for raw in reader:
        line = raw.decode(errors="replace").rstrip("\r\n")
        verb, _, arg = line.partition(" ")
        verb = verb.upper()
        print(line if verb != "PASS" else "PASS ****", file=sys.stderr, flush=True)
        if verb == "AUTH":
            reply("234 AUTH TLS successful")
            control = context.wrap_socket(control, server_side=True)
            reader = control.makefile("rb")
            break
        reply("530 Please login with USER and PASS.")
    for raw in reader:
        line = raw.decode(errors="replace").rstrip("\r\n")
        verb, _, arg = line.partition(" ")
        verb = verb.upper()
        print(line if verb != "PASS" else "PASS ****", file=sys.stderr, flush=True)
        if verb == "USER":
            reply("331 Password required.")
        elif verb == "PASS":
            reply("230 Logged in.")
        elif verb == "SYST":
            reply("215 UNIX Type: L8")
        elif verb in ("PBSZ", "PROT", "TYPE", "OPTS"):
            reply("200 OK.")
        elif verb == "PWD":
            reply('257 "/" is the current directory.')
        elif verb == "CWD":
            reply("250 OK.")
        elif verb == "PASV":
            data_listener = socket.create_server(("127.0.0.1", 0))
            port = data_listener.getsockname()[1]
            reply("227 Entering Passive Mode (127,0,0,1,%d,%d)." % (port >> 8, port & 255))
        elif verb == "RETR" and data_listener:
            path = os.path.join(root, os.path.basename(arg))
            if not os.path.isfile(path):
                reply("550 No such file.")
                continue
            content = open(path, "rb").read()
            reply("150 Opening BINARY mode data connection.")  # no size: only the TLS close tells
            data, _ = data_listener.accept()
            data_listener.close()
            data_listener = None
            tls = context.wrap_socket(data, server_side=True)
            tls.sendall(content[: len(content) // 2])
            # Closes the socket underneath: the TLS close is never sent.
            os.close(tls.detach())
            reply("226 Transfer complete.")
        elif verb == "QUIT":
            reply("221 Goodbye.")
            break
        else:
            reply("502 Command not implemented.")
    control.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    listener = socket.create_server(("127.0.0.1", 0))
    print("PORT %d" % listener.getsockname()[1], flush=True)

    def accept():
        while True:
            control, _ = listener.accept()
            threading.Thread(target=serve, args=(control, context, args.root), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    sys.stdin.read()


if __name__ == "__main__":
    main()
