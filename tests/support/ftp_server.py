#!/usr/bin/python3
"""Loopback FTP server for end-to-end tests, built on pyftpdlib.

Prints "PORT <n>" once it listens on 127.0.0.1, then serves until SIGTERM or
until its standard input reaches end of file, so it never outlives the test
that started it.

Modes shape how the server presents itself (SYST answer, LIST format);
faults make it misbehave in one specific way each. Every fault is a small
mixin on the control handler, the data handler or the file system; the
classes actually served are composed from the ones selected.
"""
import argparse
import functools
import logging
import os
import socket
import stat
import struct
import sys
import tempfile
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

logger = logging.getLogger("ftp_server")

LONG_LINE_BYTES = 20000


# --- listing formats --------------------------------------------------------

def windows_line(name, st, timefunc):
    stamp = time.strftime("%m-%d-%y  %I:%M%p", timefunc(st.st_mtime))
    if stat.S_ISDIR(st.st_mode):
        return "%s       <DIR>          %s" % (stamp, name)
    return "%s %20d %s" % (stamp, st.st_size, name)


def eplf_line(name, st, timefunc):
    if stat.S_ISDIR(st.st_mode):
        return "+/,m%d,\t%s" % (int(st.st_mtime), name)
    return "+i%d.%d,m%d,r,s%d,\t%s" % (st.st_dev, st.st_ino, int(st.st_mtime),
                                         st.st_size, name)


def unix_line(name, st, timefunc):
    kind = "d" if stat.S_ISDIR(st.st_mode) else "-"
    stamp = time.strftime("%b %d %H:%M", timefunc(st.st_mtime))
    return "%srw-r--r--   1 owner    group    %8d %s %s" % (kind, st.st_size, stamp, name)


class FormattedFS(AbstractedFS):
    """Lists folders with `line_format`; pyftpdlib's own UNIX lines when None."""
    line_format = None

    def timefunc(self):
        return time.gmtime if self.cmd_channel.use_gmt_times else time.localtime

    def listdir(self, path):
        return sorted(super().listdir(path))  # MLSD in the order LIST shows

    def format_list(self, basedir, listing, ignore_err=True):
        if self.line_format is None:
            yield from super().format_list(basedir, listing, ignore_err)
            return
        for name in listing:
            try:
                st = self.lstat(os.path.join(basedir, name))
            except OSError:
                if ignore_err:
                    continue
                raise
            line = self.line_format(name, st, self.timefunc()) + "\r\n"
            yield line.encode("utf8", self.cmd_channel.unicode_errors)


# --- modes ------------------------------------------------------------------

class Utf8Opts:
    """Accepts "OPTS UTF8 ON|OFF" with 200; other OPTS as pyftpdlib does."""

    def ftp_OPTS(self, line):
        words = line.split()
        if len(words) == 2 and words[0].upper() == "UTF8" and words[1].upper() in ("ON", "OFF"):
            self.respond("200 UTF8 set to %s" % words[1].lower())
        else:
            super().ftp_OPTS(line)


class WindowsSyst:
    def ftp_SYST(self, line):
        self.respond("215 Windows_NT")


class ListOnly:
    """Neither offers nor knows MLSD and MLST: listings come by LIST, in the
    format the mode or a fault gives them."""
    proto_cmds = {verb: info for verb, info in FTPHandler.proto_cmds.items() if verb not in ("MLSD", "MLST")}


MODES = {
    "plain": {"handler": [], "line_format": None},
    "windows": {"handler": [WindowsSyst, Utf8Opts, ListOnly], "line_format": windows_line},
    "eplf": {"handler": [ListOnly], "line_format": eplf_line},
}


# --- faults -----------------------------------------------------------------

class NoGreeting:
    """Accepts the connection, then never says a word."""
    timeout = 0  # no idle timeout either: the silence lasts until the client gives up

    def handle(self):
        self.on_connect()

    def pre_process_command(self, line, cmd, arg):
        pass


class SilentCommands:
    """Never answers the verbs in `silent_verbs` (filled from the command line)."""
    timeout = 0
    silent_verbs = frozenset()

    def pre_process_command(self, line, cmd, arg):
        if cmd not in self.silent_verbs:
            super().pre_process_command(line, cmd, arg)
        else:
            logger.info("left unanswered: %s", line)


class RefuseMlsd:
    """Offers MLSD and MLST in its FEAT reply but refuses MLSD."""

    def ftp_MLSD(self, path):
        self.respond("500 MLSD not understood.")


class NoMfmt:
    """Neither offers nor knows MFMT: file times cannot be set."""
    proto_cmds = {verb: info for verb, info in FTPHandler.proto_cmds.items() if verb != "MFMT"}


class RefuseListing:
    """Refuses MLSD and LIST of the folders named in `refused_listings`."""
    refused_listings = frozenset()

    def _listing_refused(self, path):
        return os.path.basename(path.rstrip("/")) in self.refused_listings

    def ftp_MLSD(self, path):
        if self._listing_refused(path):
            return self.respond("550 Listing refused.")
        return super().ftp_MLSD(path)

    def ftp_LIST(self, path):
        if self._listing_refused(path):
            return self.respond("550 Listing refused.")
        return super().ftp_LIST(path)


class DelayedCommands:
    """Handles the verbs in `delayed_verbs` a fifth of a second late; other sessions go on meanwhile."""
    delayed_verbs = frozenset()

    def pre_process_command(self, line, cmd, arg):
        if cmd in self.delayed_verbs:
            self.call_later(0.2, super().pre_process_command, line, cmd, arg)
        else:
            super().pre_process_command(line, cmd, arg)


class MeetingSize:
    """SIZE gets its reply only once two sessions have asked SIZE, or after
    10 s, logged as "SIZE answered alone": sessions that may ask only one at
    a time wait the full time."""
    _meeting = {"askers": set(), "waiting": []}  # shared by all sessions

    def ftp_SIZE(self, path):
        meeting = self._meeting
        meeting["askers"].add(id(self))
        if len(meeting["askers"]) >= 2:
            for timer, answer in meeting["waiting"]:
                timer.cancel()
                answer()
            meeting["waiting"].clear()
            return super().ftp_SIZE(path)
        answer = functools.partial(super().ftp_SIZE, path)

        def alone():
            logger.info("SIZE answered alone")
            meeting["waiting"].clear()
            answer()
        meeting["waiting"].append((self.ioloop.call_later(10, alone, _errback=self.handle_error), answer))


class PwdReply:
    """Answers PWD without quotes ("257 /sub is the current directory.") or, with "vague", naming no folder."""
    pwd_form = "unquoted"

    def ftp_PWD(self, line):
        if self.pwd_form == "vague":
            self.respond("257 Current directory is not for you.")
        else:
            self.respond("257 %s is the current directory." % self.fs.cwd)


class RefuseRenameOver:
    """Refuses RNTO onto a name that exists, as servers that never replace a file on rename do."""

    def ftp_RNTO(self, path):
        if os.path.exists(path):
            self._rnfr = None
            return self.respond("553 File exists.")
        return super().ftp_RNTO(path)


class RefuseDele:
    """Refuses DELE; with refuse-dele=NAME only for files of that name."""
    refused_names = frozenset()

    def ftp_DELE(self, path):
        if self.refused_names and os.path.basename(path) not in self.refused_names:
            return super().ftp_DELE(path)
        self.respond("550 Access is denied.")


class FailAfterTransferDTP:
    """File transfers move all their data but end with 451 instead of 226."""

    def close(self):
        if self.file_obj is not None and self._resp and self._resp[0].startswith("226"):
            self._resp = ("451 Local error", logger.info)
        super().close()


class DropMidTransfer:
    use_sendfile = False  # every byte must pass through the DTP's send()


class DropMidTransferDTP:
    """RETR sends about half the file, then both connections just close."""
    _drop_at = None

    def send(self, data):
        if self.file_obj is None or self.receive:
            return super().send(data)
        if self._drop_at is None:
            self._drop_at = os.fstat(self.file_obj.fileno()).st_size // 2
        room = self._drop_at - self.tot_bytes_sent
        sent = super().send(data[:room]) if room > 0 else 0
        if self.tot_bytes_sent >= self._drop_at:
            control = self.cmd_channel
            self._resp = ()  # no reply at all
            self.close()
            control.close()
        return sent


class StallDataDTP:
    """RETR opens the data connection and then never sends a byte."""
    timeout = 0
    _stalled = False

    def push_with_producer(self, producer):
        if self.file_obj is None or self.receive:
            return super().push_with_producer(producer)
        self._stalled = True
        self._initialized = True
        # Only watch for the client hanging up.
        self.modify_ioloop_events(self.ioloop.READ)

    def close_when_done(self):
        if not self._stalled:
            super().close_when_done()

    def readable(self):
        return True if self._stalled else super().readable()

    def handle_close(self):
        if self._stalled:
            self._resp = ("426 Connection closed; transfer aborted.", logger.info)
            self.close()
        else:
            super().handle_close()


class AnnounceSize:
    """The 1xx reply to RETR names the file's size, as "(N bytes)"."""
    _announced = None

    def ftp_RETR(self, file):
        try:
            self._announced = self.fs.getsize(file)
        except OSError:
            self._announced = None
        try:
            return super().ftp_RETR(file)
        finally:
            self._announced = None

    def respond(self, resp, logfun=logger.debug):
        if self._announced is not None and resp[:4] in ("125 ", "150 "):
            resp = "%s (%d bytes)." % (resp.rstrip("."), self._announced)
        super().respond(resp, logfun)


class EvenThrottleDTP:
    """Spreads the throttled rate over tenths of a second: pyftpdlib's own
    throttle sends a whole second's worth at once and then sleeps."""
    _slice_end = 0.0

    def _throttle_bandwidth(self, len_chunk, max_speed):
        self._datacount += len_chunk
        if self._datacount < max_speed / 10:
            return
        self._datacount = 0
        now = time.monotonic()
        sleepfor = self._slice_end - now
        self._slice_end = max(now, self._slice_end) + 0.1
        if sleepfor <= 0:
            return

        def unsleep():
            self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

        self.del_channel()
        self._cancel_throttler()
        self._throttler = self.ioloop.call_later(sleepfor, unsleep, _errback=self.handle_error)


class LongListingLineFS:
    """LIST output gets one 20,000-byte line after the first ordinary one."""

    def format_list(self, basedir, listing, ignore_err=True):
        lines = super().format_list(basedir, listing, ignore_err)
        first = next(lines, None)
        if first is not None:
            yield first
        yield self.long_line()
        yield from lines

    def long_line(self):
        fmt = self.line_format or unix_line
        st = os.stat_result((stat.S_IFREG | 0o644, 1, 1, 1, 0, 0, 1234,
                             1000000000, 1000000000, 1000000000))
        stub = fmt("", st, self.timefunc())
        name = ("long-" + "n" * LONG_LINE_BYTES)[:LONG_LINE_BYTES - len(stub) - 4] + ".txt"
        return (fmt(name, st, self.timefunc()) + "\r\n").encode("utf8")


class RefuseMarkedTransfers:
    """RETR and STOR of a file whose name holds "refused" end with 550."""

    def ftp_RETR(self, file):
        if "refused" in os.path.basename(file):
            return self.respond("550 Transfer refused.")
        return super().ftp_RETR(file)

    def ftp_STOR(self, file, mode="w"):
        if "refused" in os.path.basename(file):
            return self.respond("550 Transfer refused.")
        return super().ftp_STOR(file, mode)


class ShortRetrFS:
    """RETR of a file whose name holds "short" sends its first half, then 226."""

    def open(self, filename, mode):
        fd = super().open(filename, mode)
        if "r" not in mode or "short" not in os.path.basename(filename):
            return fd
        with fd:
            data = fd.read()
        half = tempfile.TemporaryFile()
        half.write(data[:len(data) // 2])
        half.seek(0)
        return half


class HostileListingFS:
    """Every LIST also names entries that lead outside the listed folder."""
    hostile = (("..", True), (".", True), ("..\\outside.txt", False), ("/outside.txt", False),
               ("x\\..\\..\\outdir", True))

    def format_list(self, basedir, listing, ignore_err=True):
        yield from super().format_list(basedir, listing, ignore_err)
        for name, is_dir in self.hostile:
            mode = (stat.S_IFDIR | 0o755) if is_dir else (stat.S_IFREG | 0o644)
            st = os.stat_result((mode, 1, 1, 1, 0, 0, 10, 1000000000, 1000000000, 1000000000))
            yield (unix_line(name, st, self.timefunc()) + "\r\n").encode("utf8")


class EndlessTreeFS:
    """A folder named "loop" shows the folder holding it, as a link to "." would, at any depth."""

    def ftp2fs(self, ftppath):
        parts = [part for part in self.ftpnorm(ftppath).split("/") if part != "loop"]
        return super().ftp2fs("/".join(parts) or "/")


class FirstTryFaults:
    """The first RETR or STOR of a file fails in a way that may pass, once per
    file over all sessions: refused with a code (refuse-first=CODE:TEXT, for
    names holding TEXT; 421 also closes the session) or cut (cut-first=TEXT:
    a download at half the file, an upload after cut_upload_bytes, then the
    data connection reset and 426). grow-when-cut makes a cut file longer.
    close-after=K closes the control connection once, after the K-th
    completed transfer of the server."""
    use_sendfile = False  # a cut download's bytes must pass through the DTP's send()
    refusals = ()
    cut_marks = ()
    close_after = 0
    grow_when_cut = False
    cut_upload_bytes = 100000
    _cut_pending = False
    _state = {"tried": set(), "transfers": 0}  # shared by all sessions of the server

    def ftp_RETR(self, file):
        if not self._first_try_fault("RETR", file):
            return super().ftp_RETR(file)

    def ftp_STOR(self, file, mode="w"):
        if not self._first_try_fault("STOR", file):
            return super().ftp_STOR(file, mode)

    def _first_try(self, key):
        if key in self._state["tried"]:
            return False
        self._state["tried"].add(key)
        return True

    def _first_try_fault(self, verb, file):
        name = os.path.basename(file)
        for code, mark in self.refusals:
            if mark in name and self._first_try((verb, file, code)):
                self.respond("%d Refused for a test, try again." % code)
                if code == 421:
                    self.close_when_done()
                return True
        self._cut_pending = any(mark in name for mark in self.cut_marks) and self._first_try((verb, file, "cut"))
        return False

    def _transfer_done(self):
        self._state["transfers"] += 1
        if self._state["transfers"] == self.close_after:
            logger.info("closing the control connection after %d transfers", self.close_after)
            self.close_when_done()

    def on_file_sent(self, file):
        super().on_file_sent(file)
        self._transfer_done()

    def on_file_received(self, file):
        super().on_file_received(file)
        self._transfer_done()


class FirstTryFaultsDTP:
    _cut_at = None

    def _cut_limit(self):
        if self._cut_at is None:
            self._cut_at = -1
            if self.cmd_channel._cut_pending:
                self.cmd_channel._cut_pending = False
                self._cut_at = (self.cmd_channel.cut_upload_bytes if self.receive
                                else os.fstat(self.file_obj.fileno()).st_size // 2)
        return self._cut_at

    def _cut(self):
        logger.info("cutting the transfer of %s", self.file_obj.name)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self._resp = ("426 Connection reset; transfer aborted.", logger.info)
        name = self.file_obj.name
        self.close()
        if self.cmd_channel.grow_when_cut and not self.receive:
            with open(name, "ab") as grown:
                grown.write(b"grown after the cut\n" * 100)

    def send(self, data):
        if self.file_obj is None or self.receive or self._cut_limit() < 0:
            return super().send(data)
        room = self._cut_at - self.tot_bytes_sent
        sent = super().send(data[:room]) if room > 0 else 0
        if self.tot_bytes_sent >= self._cut_at:
            self._cut()
        return sent

    def handle_read(self):
        super().handle_read()
        if (self.receive and self.file_obj is not None and not self._closed and self._cut_limit() >= 0
                and self.tot_bytes_received >= self._cut_at):
            self._cut()

    handle_read_event = handle_read


FAULTS = {
    "no-greeting": {"handler": [NoGreeting]},
    "silent-command": {"handler": [SilentCommands]},
    "fail-after-transfer": {"dtp": [FailAfterTransferDTP]},
    "drop-mid-transfer": {"handler": [DropMidTransfer], "dtp": [DropMidTransferDTP]},
    "stall-data": {"dtp": [StallDataDTP]},
    "long-listing-line": {"handler": [ListOnly], "fs": [LongListingLineFS]},
    "refuse-dele": {"handler": [RefuseDele]},
    # delay-command=VERB: its replies come 0.2 s late.
    "delay-command": {"handler": [DelayedCommands]},
    "meet-size": {"handler": [MeetingSize]},
    # pwd-reply=unquoted|vague
    "pwd-reply": {"handler": [PwdReply]},
    "refuse-marked-transfers": {"handler": [RefuseMarkedTransfers]},
    "refuse-rename-over": {"handler": [RefuseRenameOver]},
    "short-retr": {"fs": [ShortRetrFS]},
    "hostile-listing": {"handler": [ListOnly], "fs": [HostileListingFS]},
    "endless-tree": {"fs": [EndlessTreeFS]},
    "list-only": {"handler": [ListOnly]},
    "refuse-mlsd": {"handler": [RefuseMlsd]},
    "no-mfmt": {"handler": [NoMfmt]},
    # refuse-list=FOLDER: MLSD and LIST of folders of that name end with 550.
    "refuse-list": {"handler": [RefuseListing]},
    "announce-size": {"handler": [AnnounceSize]},
    # throttle=BYTES: each data connection moves at most BYTES a second, both ways.
    "throttle": {"dtp": [EvenThrottleDTP]},
    # max-sessions=N: control connections from one address beyond N get 421.
    "max-sessions": {},
    # refuse-first=CODE:TEXT, cut-first=TEXT, grow-when-cut, close-after=K (see FirstTryFaults)
    "refuse-first": {"handler": [FirstTryFaults], "dtp": [FirstTryFaultsDTP]},
    "cut-first": {"handler": [FirstTryFaults], "dtp": [FirstTryFaultsDTP]},
    "grow-when-cut": {"handler": [FirstTryFaults], "dtp": [FirstTryFaultsDTP]},
    "close-after": {"handler": [FirstTryFaults], "dtp": [FirstTryFaultsDTP]},
}


# --- assembly ---------------------------------------------------------------

def compose(name, mixins, base, attrs=None):
    unique = list(dict.fromkeys(mixins))  # keeps order, drops repeats
    return type(name, tuple(unique) + (base,), dict(attrs or {}))


def build_handler(args):
    mode = MODES[args.mode]
    parts = {"handler": list(mode["handler"]), "dtp": [], "fs": []}
    silent_verbs = set()
    delayed_verbs = set()
    refused_names = set()
    refused_listings = set()
    pwd_form = "unquoted"
    first_try = {"refusals": [], "cut_marks": [], "close_after": 0, "grow_when_cut": False}
    dtp_base, dtp_attrs = DTPHandler, {}
    for fault in args.fault:
        name, _, value = fault.partition("=")
        if name not in FAULTS:
            raise SystemExit("unknown fault: %s" % fault)
        if name == "silent-command":
            if not value:
                raise SystemExit("silent-command needs =VERB")
            silent_verbs.add(value.upper())
        if name == "delay-command":
            if not value:
                raise SystemExit("delay-command needs =VERB")
            delayed_verbs.add(value.upper())
        if name == "pwd-reply":
            if value not in ("unquoted", "vague"):
                raise SystemExit("pwd-reply needs =unquoted or =vague")
            pwd_form = value
        if name == "refuse-first":
            code, _, mark = value.partition(":")
            if not code.isdigit() or not mark:
                raise SystemExit("refuse-first needs =CODE:TEXT")
            first_try["refusals"].append((int(code), mark))
        if name == "cut-first":
            if not value:
                raise SystemExit("cut-first needs =TEXT")
            first_try["cut_marks"].append(value)
        if name == "close-after":
            if not value.isdigit() or int(value) == 0:
                raise SystemExit("close-after needs =K (transfers)")
            first_try["close_after"] = int(value)
        if name == "grow-when-cut":
            first_try["grow_when_cut"] = True
        if name == "refuse-dele" and value:
            refused_names.add(value)
        if name == "refuse-list":
            if not value:
                raise SystemExit("refuse-list needs =FOLDER")
            refused_listings.add(value)
        if name == "throttle":
            if not value.isdigit() or int(value) == 0:
                raise SystemExit("throttle needs =BYTES (a second)")
            dtp_base = ThrottledDTPHandler
            dtp_attrs = {"read_limit": int(value), "write_limit": int(value)}
        for kind, mixins in FAULTS[name].items():
            parts[kind] += mixins

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    line_format = mode["line_format"] and staticmethod(mode["line_format"])
    fs = compose("ServedFS", parts["fs"], FormattedFS, {"line_format": line_format})
    dtp = compose("ServedDTP", parts["dtp"], dtp_base, dtp_attrs)
    return compose("ServedHandler", parts["handler"], FTPHandler, {
        "authorizer": authorizer,
        "abstracted_fs": fs,
        "dtp_handler": dtp,
        "silent_verbs": frozenset(silent_verbs),
        "delayed_verbs": frozenset(delayed_verbs),
        "pwd_form": pwd_form,
        "refused_names": frozenset(refused_names),
        "refused_listings": frozenset(refused_listings),
        "refusals": tuple(first_try["refusals"]),
        "cut_marks": tuple(first_try["cut_marks"]),
        "close_after": first_try["close_after"],
        "grow_when_cut": first_try["grow_when_cut"],
        "banner": "Test server ready.",
    })


def exit_when_stdin_closes():
    while sys.stdin.buffer.read(4096):
        pass
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="tester")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--mode", choices=sorted(MODES), default="plain")
    parser.add_argument("--fault", action="append", default=[],
                        help="NAME, silent-command=VERB, delay-command=VERB, pwd-reply=unquoted|vague, refuse-dele=FILE, "
                             "throttle=BYTES, max-sessions=N, refuse-first=CODE:TEXT, cut-first=TEXT, "
                             "grow-when-cut or close-after=K; "
                             "repeatable")
    args = parser.parse_args()

    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG,
                        format="%(asctime)s %(message)s")
    server = FTPServer(("127.0.0.1", 0), build_handler(args))
    for fault in args.fault:
        name, _, value = fault.partition("=")
        if name == "max-sessions":
            server.max_cons_per_ip = int(value)
    threading.Thread(target=exit_when_stdin_closes, daemon=True).start()
    sys.stdout.write("PORT %d\n" % server.address[1])
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
