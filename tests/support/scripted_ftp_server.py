#!/usr/bin/python3
"""A raw FTP server on 127.0.0.1 that plays a scripted conversation.

For testing how the client copes with servers that misbehave on the wire:
replies cut into pieces, sent late, twice, too long, never finished, data
connections from or to the wrong host. Prints "PORT <n>" once it listens,
logs every command ("<- ...") and event to stderr, and serves until its
standard input closes.

The script (JSON, --script FILE) has a list "connections": the n-th control
connection plays the n-th entry (the last one again for any later). An entry
has "greeting" (a list of actions) and "commands", a map from a whole command
line or its verb to a list of actions; commands it does not name get the
defaults below. "folders" maps the argument of the last CWD to commands
that take precedence while it holds. "files" maps names to the content RETR
sends.

Actions: {"send": text} writes text as it is; {"sleep": s}; {"await": true}
waits until the client sends anything more on the control connection;
{"repeat": n, "every": s, "send": text} writes text n times, s seconds apart;
{"close": true} ends the control connection; {"pasv": address} opens a data
listener on 127.0.0.1 and answers 227 naming `address` with its port;
{"data": text} sends text on the data connection and closes it, and with
"foreign": text, an active-mode connection from 127.0.0.2 comes first;
{"receive": true} reads the data connection to its end; {"stream": text}
sends text on the data connection again and again until the client closes it.
"""
import argparse
import json
import socket
import sys
import threading
import time


def log(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


DEFAULTS = {
    "USER": [{"send": "331 Password please.\r\n"}],
    "PASS": [{"send": "230 Logged in.\r\n"}],
    "SYST": [{"send": "215 UNIX Type: L8\r\n"}],
    "TYPE": [{"send": "200 Type set.\r\n"}],
    "OPTS": [{"send": "501 No options.\r\n"}],
    "PWD": [{"send": '257 "/" is the current directory.\r\n'}],
    "CWD": [{"send": "250 Done.\r\n"}],
    "NOOP": [{"send": "200 Fine.\r\n"}],
    "PASV": [{"pasv": "127.0.0.1"}],
    "PORT": [{"send": "200 PORT accepted.\r\n"}],
    "RETR": [{"send": "150 Opening data connection.\r\n"}, {"data": None}, {"send": "226 Transfer complete.\r\n"}],
    "STOR": [{"send": "150 Ready.\r\n"}, {"receive": True}, {"send": "226 Stored.\r\n"}],
    "QUIT": [{"send": "221 Bye.\r\n"}, {"close": True}],
}


class Session:
    def __init__(self, conn, script, files):
        self.conn = conn
        self.script = script
        self.files = files
        self.listener = None
        self.active_address = None
        self.argument = ""
        self.folder = None  # the argument of the last CWD

    def send(self, text):
        self.conn.sendall(text.encode("latin-1"))

    def data_connection(self, foreign):
        if self.listener is not None:
            self.listener.settimeout(10)
            data, _ = self.listener.accept()
            self.listener.close()
            self.listener = None
            return data
        if foreign is not None:
            intruder = socket.socket()
            intruder.bind(("127.0.0.2", 0))
            intruder.connect(self.active_address)
            intruder.settimeout(10)
            try:
                intruder.sendall(foreign.encode("latin-1"))
                closed = intruder.recv(1) == b""
            except OSError:
                closed = True
            log("foreign connection closed by the client" if closed else "foreign connection kept")
            intruder.close()
        return socket.create_connection(self.active_address, timeout=10)

    def perform(self, action):
        if "repeat" in action:
            for _ in range(action["repeat"]):
                self.send(action["send"])
                time.sleep(action["every"])
        elif "send" in action:
            self.send(action["send"])
        elif "sleep" in action:
            time.sleep(action["sleep"])
        elif "await" in action:
            if not self.conn.recv(65536):
                return False
        elif "close" in action:
            return False
        elif "pasv" in action:
            self.listener = socket.socket()
            self.listener.bind(("127.0.0.1", 0))
            self.listener.listen(1)
            port = self.listener.getsockname()[1]
            named = action["pasv"].replace(".", ",")
            self.send("227 Entering Passive Mode (%s,%d,%d).\r\n" % (named, port // 256, port % 256))
        elif "data" in action:
            content = action["data"]
            if content is None:
                content = self.files.get(self.argument, "")
            data = self.data_connection(action.get("foreign"))
            data.sendall(content.encode("latin-1"))
            data.close()
        elif "stream" in action:
            data = self.data_connection(None)
            block = (action["stream"] * 1000).encode("latin-1")
            sent = 0
            try:
                while True:
                    data.sendall(block)
                    sent += len(block)
            except OSError:
                log("stream ended by the client after %d bytes or more" % sent)
            data.close()
        elif "receive" in action:
            data = self.data_connection(None)
            total = 0
            while True:
                chunk = data.recv(65536)
                if not chunk:
                    break
                total += len(chunk)
            data.close()
            log("received %d bytes" % total)
        return True

    def run(self):
        for action in self.script.get("greeting", [{"send": "220 Scripted server ready.\r\n"}]):
            if not self.perform(action):
                return
        pending = b""
        while True:
            while b"\n" not in pending:
                chunk = self.conn.recv(4096)
                if not chunk:
                    return
                pending += chunk
            raw, _, pending = pending.partition(b"\n")
            line = raw.decode("latin-1").rstrip("\r")
            log("<- " + line)
            verb, _, self.argument = line.partition(" ")
            verb = verb.upper()
            if verb == "PORT":
                parts = [int(p) for p in self.argument.split(",")]
                self.active_address = (".".join(map(str, parts[:4])), parts[4] * 256 + parts[5])
            commands = dict(self.script.get("commands", {}))
            commands.update(self.script.get("folders", {}).get(self.folder, {}))
            actions = commands.get(line, commands.get(verb, DEFAULTS.get(verb)))
            if verb == "CWD":
                self.folder = self.argument
            if actions is None:
                actions = [{"send": "502 Not scripted.\r\n"}]
            for action in actions:
                if not self.perform(action):
                    return


def serve(conn, script, files):
    try:
        Session(conn, script, files).run()
    except OSError as error:
        log("connection ended: %s" % error)
    finally:
        conn.close()
        log("control connection closed")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    args = parser.parse_args()
    with open(args.script) as f:
        script = json.load(f)
    connections = script["connections"]
    files = script.get("files", {})

    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(8)

    def exit_when_stdin_closes():
        while sys.stdin.buffer.read(4096):
            pass
        import os
        os._exit(0)

    threading.Thread(target=exit_when_stdin_closes, daemon=True).start()
    sys.stdout.write("PORT %d\n" % server.getsockname()[1])
    sys.stdout.flush()
    count = 0
    while True:
        conn, _ = server.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)  # replies sent back to back go at once
        entry = connections[min(count, len(connections) - 1)]
        count += 1
        threading.Thread(target=serve, args=(conn, entry, files), daemon=True).start()


if __name__ == "__main__":
    main()
