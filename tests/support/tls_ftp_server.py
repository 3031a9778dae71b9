#!/usr/bin/env python3
"""A small FTP server with explicit TLS on 127.0.0.1, for what a well-behaved
server never does, and for what strict servers demand:

- every download's TLS stream is cut short (half the file, then the
  connection closes without the TLS close) and the reply is still 226;
- a data connection must resume a TLS session the server issued, and each
  session serves once only; upload connections issue none (as some servers
  do): anything else gets 425;
- "LIST untrusted" runs its data connection under another, untrusted
  certificate; after the upload of "slow-close.txt" the server answers the
  client's TLS close with one byte every half second for 20 seconds.

Serves --root (passive mode only) to any user and password. Prints
"PORT <n>" when it listens; ends when its standard input closes or on
SIGTERM. Writes every command it gets to standard error."""
import argparse
import os
import socket
import ssl
import subprocess
import sys
import threading
import time

hello = threading.local()  # the session the last ClientHello of this thread offered


def offered_session(message):
    """The first pre_shared_key identity of a ClientHello (with its 4-byte header), or None."""
    at = 4 + 2 + 32
    at += 1 + message[at]
    at += 2 + int.from_bytes(message[at:at + 2], "big")
    at += 1 + message[at]
    end = at + 2 + int.from_bytes(message[at:at + 2], "big")
    at += 2
    while at < end:
        kind, size = int.from_bytes(message[at:at + 2], "big"), int.from_bytes(message[at + 2:at + 4], "big")
        if kind == 41:
            length = int.from_bytes(message[at + 6:at + 8], "big")
            return bytes(message[at + 8:at + 8 + length])
        at += 4 + size
    return None


def watch_hellos(conn, direction, version, content_type, msg_type, data):
    if direction == "read" and msg_type == ssl._TLSMessageType.CLIENT_HELLO:
        hello.session = offered_session(data)


def serve(control, contexts, root):
    context, other = contexts
    used = set()

    def reply(text):
        control.sendall((text + "\r\n").encode())

    def open_data(listener, tickets=2, chosen=None):
        """The data connection under TLS, or None after a 425 when it resumed no fresh session."""
        data, _ = listener.accept()
        listener.close()
        chosen = chosen or context
        chosen.num_tickets = tickets  # taken when the connection is wrapped
        hello.session = None
        try:
            tls = chosen.wrap_socket(data, server_side=True)
        except (ssl.SSLError, OSError) as error:
            print("data handshake failed: %s" % error, file=sys.stderr, flush=True)
            data.close()
            reply("425 Unable to build data connection: TLS handshake failed")
            return None
        finally:
            chosen.num_tickets = 2
        if chosen is context and (not tls.session_reused or hello.session in used):
            print("data connection did not resume a fresh session", file=sys.stderr, flush=True)
            tls.close()
            reply("425 Unable to build data connection: TLS session not resumed")
            return None
        used.add(hello.session)
        return tls

    reply("220 tricky TLS server")
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
            tls = open_data(data_listener)
            data_listener = None
            if tls:
                tls.sendall(content[: len(content) // 2])
                # Closes the socket underneath: the TLS close is never sent.
                os.close(tls.detach())
                reply("226 Transfer complete.")
        elif verb in ("LIST", "NLST") and data_listener:
            reply("150 Here comes the listing.")
            tls = open_data(data_listener, chosen=other if arg == "untrusted" else None)
            data_listener = None
            if tls:
                for name in sorted(os.listdir(root)):
                    size = os.path.getsize(os.path.join(root, name))
                    tls.sendall(((name if verb == "NLST" else
                                  "-rw-r--r-- 1 ftp ftp %d Jan 01 2024 %s" % (size, name)) + "\r\n").encode())
                tls.unwrap().close()
                reply("226 Listing sent.")
        elif verb == "STOR" and data_listener:
            reply("150 Ready for the upload.")
            tls = open_data(data_listener, tickets=0)
            data_listener = None
            if tls:
                with open(os.path.join(root, os.path.basename(arg)), "wb") as stored:
                    while chunk := tls.recv(65536):
                        stored.write(chunk)
                if arg == "slow-close.txt":
                    for _ in range(40):
                        tls.sendall(b".")
                        time.sleep(0.5)
                try:
                    tls.unwrap().close()
                except (ssl.SSLError, OSError):
                    tls.close()
                reply("226 Stored.")
        elif verb == "QUIT":
            reply("221 Goodbye.")
            break
        else:
            reply("502 Command not implemented.")
    control.close()


def server_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    context._msg_callback = watch_hellos
    return context


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()
    context = server_context(args.cert, args.key)
    # The untrusted certificate, beside the served folder, names the same address.
    other = [os.path.join(os.path.dirname(os.path.abspath(args.root)), name) for name in ("other.pem", "other.key")]
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", other[1], "-out", other[0]],
                   check=True, capture_output=True)
    other = server_context(*other)
    listener = socket.create_server(("127.0.0.1", 0))
    print("PORT %d" % listener.getsockname()[1], flush=True)

    def accept():
        while True:
            control, _ = listener.accept()
            threading.Thread(target=serve, args=(control, (context, other), args.root), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    sys.stdin.read()


if __name__ == "__main__":
    main()
