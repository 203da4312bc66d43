#!/usr/bin/python3
"""Local FTP server for the update tests (Debian's pyftpdlib, run by /usr/bin/python3).

Listens on 127.0.0.1 on a free port (or on --port) and writes that port to
--port-file once it serves. Ends when --stop-file appears, after --lifetime seconds, or when a
--die-after fault kills it. Faults apply to transfers of .exe files only:
  --rate N          send at most N bytes per second
  --freeze-after N  after N bytes stop sending, and keep the connection open
  --die-after N     after N bytes end the whole process (connections drop)
  --silent          accept connections and never answer (no FTP at all)
  --blackhole       never accept; the full accept queue makes Linux drop further
                    connection requests, as a silent address does
Users: --user NAME:PASSWORD:HOME, repeatable; HOME is served read-only.
"""
import argparse
import os
import socket
import sys
import time


def write_port(path, port):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


def stop_wanted(args, started):
    return os.path.exists(args.stop_file) or time.time() - started > args.lifetime


def serve_silent(args, started):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.2)
    write_port(args.port_file, listener.getsockname()[1])
    held = []
    while not stop_wanted(args, started):
        try:
            conn, _ = listener.accept()
            held.append(conn)
        except socket.timeout:
            pass


def serve_blackhole(args, started):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    fillers = []
    for _ in range(4):  # fill the queue; later SYNs go unanswered
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", port))
        fillers.append(s)
    time.sleep(0.3)
    write_port(args.port_file, port)
    while not stop_wanted(args, started):
        time.sleep(0.2)


def serve_ftp(args, started):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler
    from pyftpdlib.servers import FTPServer

    frozen = []

    class FaultyDTP(DTPHandler):
        def use_sendfile(self):
            return False  # every byte through send(), where the faults are

        def faulty(self):
            f = getattr(self, "file_obj", None)
            return f is not None and str(getattr(f, "name", "")).lower().endswith(".exe")

        def resume_sending(self):
            try:
                self.add_channel(events=self.ioloop.WRITE)
            except OSError:
                pass  # the client went away while the transfer paused

        def send(self, data):
            if not self.faulty():
                return super().send(data)
            if args.die_after is not None and self.tot_bytes_sent + len(data) >= args.die_after:
                allowed = max(0, args.die_after - self.tot_bytes_sent)
                if allowed:
                    self.socket.sendall(data[:allowed])
                os._exit(0)
            if args.freeze_after is not None and self.tot_bytes_sent + len(data) >= args.freeze_after:
                allowed = max(0, args.freeze_after - self.tot_bytes_sent)
                if allowed:
                    self.socket.sendall(data[:allowed])
                    self.tot_bytes_sent += allowed
                # Out of the loop, but the socket stays open: the client waits for good.
                frozen.append(self)
                self.del_channel()
                return 0
            if args.rate:
                # Smooth pacing: at most rate * elapsed bytes so far.
                if not hasattr(self, "paced_since"):
                    self.paced_since = time.time()
                allowed = int(args.rate * (time.time() - self.paced_since)) - self.tot_bytes_sent
                if allowed <= 0:
                    self.del_channel()
                    self.ioloop.call_later(0.02, self.resume_sending)
                    return 0
                data = data[:min(allowed, 4096)]
            return super().send(data)

    authorizer = DummyAuthorizer()
    for entry in args.user:
        name, password, home = entry.split(":", 2)
        authorizer.add_user(name, password, home, perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = FaultyDTP
    handler.use_sendfile = False
    handler.banner = "220 update test server ready."
    server = FTPServer(("127.0.0.1", args.port), handler)
    write_port(args.port_file, server.socket.getsockname()[1])

    def check_stop():
        if stop_wanted(args, started):
            server.close_all()

    server.ioloop.call_every(0.2, check_stop)
    server.serve_forever(timeout=0.2, handle_exit=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--stop-file", required=True)
    parser.add_argument("--lifetime", type=float, default=300)
    parser.add_argument("--user", action="append", default=[])
    parser.add_argument("--rate", type=int)
    parser.add_argument("--freeze-after", type=int)
    parser.add_argument("--die-after", type=int)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--blackhole", action="store_true")
    parser.add_argument("--verbose", action="store_true")  # log every command
    args = parser.parse_args()
    import logging
    logging.basicConfig(level=logging.INFO if args.verbose else logging.WARNING)
    started = time.time()
    if args.blackhole:
        serve_blackhole(args, started)
    elif args.silent:
        serve_silent(args, started)
    else:
        serve_ftp(args, started)
    return 0


if __name__ == "__main__":
    sys.exit(main())
