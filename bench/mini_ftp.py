#!/usr/bin/env python3
"""The smallest FTP clients that move one file, as yardsticks for the benchmarks.

  mini_ftp.py get HOST PORT USER PASSWORD REMOTE LOCAL   reads the data 1 MiB at a time
  mini_ftp.py put HOST PORT USER PASSWORD LOCAL REMOTE   sends the file with sendfile()

Image type, passive mode, one control connection; exits 1 on any reply it does
not expect.
"""
import os
import re
import socket
import sys


class Control:
    def __init__(self, host, port):
        self.sock = socket.create_connection((host, port))
        self.reader = self.sock.makefile("rb")
        self.expect("2")

    def reply(self):
        line = self.reader.readline().decode("latin-1")
        code = line[:3]
        if line[3:4] == "-":
            while not (line.startswith(code) and line[3:4] == " "):
                line = self.reader.readline().decode("latin-1")
        return line

    def expect(self, first, line=None):
        line = line or self.reply()
        if not line.startswith(first):
            sys.exit(f"unexpected reply: {line.strip()}")
        return line

    def send(self, command, first):
        self.sock.sendall(command.encode("latin-1") + b"\r\n")
        return self.expect(first)

    def passive(self):
        line = self.send("PASV", "227")
        numbers = [int(n) for n in re.search(r"(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)", line).groups()]
        return socket.create_connection((".".join(map(str, numbers[:4])), numbers[4] * 256 + numbers[5]))


def main():
    op, host, port, user, password, source, target = sys.argv[1:8]
    ctl = Control(host, int(port))
    if ctl.send(f"USER {user}", "3")[:3] == "331":
        ctl.send(f"PASS {password}", "2")
    ctl.send("TYPE I", "2")
    data = ctl.passive()
    if op == "get":
        ctl.send(f"RETR {source}", "1")
        buffer = bytearray(1 << 20)
        view = memoryview(buffer)
        with open(target, "wb", buffering=0) as out:
            while True:
                n = data.recv_into(buffer)
                if n == 0:
                    break
                out.write(view[:n])
    else:
        ctl.send(f"STOR {target}", "1")
        with open(source, "rb") as file:
            size = os.fstat(file.fileno()).st_size
            sent = 0
            while sent < size:
                n = os.sendfile(data.fileno(), file.fileno(), sent, size - sent)
                if n == 0:
                    break
                sent += n
    data.close()
    ctl.expect("2")
    ctl.sock.sendall(b"QUIT\r\n")


if __name__ == "__main__":
    main()
