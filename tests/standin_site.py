#!/usr/bin/env python3
"""A stand-in of the Quillfern site for the tests, on 127.0.0.1 only.

It answers HTTP/1.1 with keep-alive and records every request as received:
request line, headers, raw body and which connection carried it. Tests steer
it through files in its state folder, which they reach through Wine's Z: drive:

  script.json   {"routes": {path: reply}, "queue": [reply, ...]}; a request
                takes the reply of its path, else the next queued one, else 404.
                A reply: {"status": 200, "body": "latin-1 text"} or
                {"body_hex": "..."} or {"body_size": n} (n bytes of 'x'), with
                "close": true to drop the connection after the reply,
                "hang_up": true to drop it without any reply,
                "silence": s to hold the connection s seconds without a byte, then drop it,
                "headers": {name: value} for more reply header lines,
                "announce": n to give n as the Content-Length whatever the
                body's size, then drop the connection after the body (a
                reply cut short), and "chunked": true to send the body in
                chunks of at most 1000 bytes with no Content-Length.
  log.txt       one line per request, written before the reply goes out:
                connection number, method, path, raw head in hex and raw body
                in hex, separated by tabs.
  offline       while this file exists the port is closed (connections are
                refused, open ones dropped); the site writes offline.ack once it has done so.

Usage: standin_site.py start|stop|serve --port N --dir DIR
"""
import argparse
import json
import os
import select
import signal
import socket
import sys
import threading
import time


def load_script(folder):
    try:
        with open(os.path.join(folder, "script.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


class Site:
    def __init__(self, port, folder):
        self.port = port
        self.folder = folder
        self.lock = threading.Lock()
        self.next_connection = 0
        self.queue_position = {}
        self.open_connections = set()

    def reply_for(self, path):
        with self.lock:
            script = load_script(self.folder)
            routes = script.get("routes", {})
            if path in routes:
                return routes[path]
            queue = script.get("queue", [])
            # Each script written by a test is new (it carries an id), and
            # its queue starts from the first reply.
            key = json.dumps(script, sort_keys=True)
            position = self.queue_position.get(key, 0)
            if position < len(queue):
                self.queue_position = {key: position + 1}
                return queue[position]
            return {"status": 404, "body": "no scripted reply"}

    def record(self, fields):
        with self.lock:
            with open(os.path.join(self.folder, "log.txt"), "a", encoding="ascii") as f:
                f.write("\t".join(str(x) for x in fields) + "\n")

    def handle(self, conn):
        with self.lock:
            self.next_connection += 1
            connection_id = self.next_connection
            self.open_connections.add(conn)
        data = b""
        try:
            while True:
                while b"\r\n\r\n" not in data:
                    chunk = conn.recv(65536)
                    if not chunk:
                        return
                    data += chunk
                head, data = data.split(b"\r\n\r\n", 1)
                lines = head.decode("latin-1").split("\r\n")
                headers = {}
                for line in lines[1:]:
                    name, _, value = line.partition(":")
                    headers[name.strip().lower()] = value.strip()
                length = int(headers.get("content-length", "0") or 0)
                while len(data) < length:
                    chunk = conn.recv(65536)
                    if not chunk:
                        return
                    data += chunk
                body, data = data[:length], data[length:]
                method, path, _ = (lines[0].split(" ") + ["", "", ""])[:3]
                self.record([connection_id, method, path, head.hex(), body.hex()])
                reply = self.reply_for(path)
                if reply.get("hang_up"):
                    return
                if "silence" in reply:
                    # Holds the connection without a byte, as a stalled server does.
                    time.sleep(float(reply["silence"]))
                    return
                if "body_hex" in reply:
                    payload = bytes.fromhex(reply["body_hex"])
                elif "body_size" in reply:
                    payload = b"x" * int(reply["body_size"])
                else:
                    payload = reply.get("body", "").encode("latin-1")
                status = int(reply.get("status", 200))
                close = bool(reply.get("close"))
                cut_short = "announce" in reply
                chunked = bool(reply.get("chunked"))
                if chunked:
                    framing = "Transfer-Encoding: chunked\r\n"
                    pieces = [payload[i:i + 1000] for i in range(0, len(payload), 1000)]
                    payload = b"".join(b"%x\r\n%s\r\n" % (len(p), p) for p in pieces)
                    payload += b"0\r\n\r\n"
                else:
                    framing = f"Content-Length: {int(reply.get('announce', len(payload)))}\r\n"
                extra = "".join(f"{name}: {value}\r\n"
                                for name, value in reply.get("headers", {}).items())
                head_out = (f"HTTP/1.1 {status} Scripted\r\n{framing}"
                            f"Content-Type: application/octet-stream\r\n{extra}"
                            f"Connection: {'close' if close else 'keep-alive'}\r\n\r\n")
                conn.sendall(head_out.encode("latin-1") + payload)
                if close or cut_short:
                    return
        except OSError:
            pass
        finally:
            with self.lock:
                self.open_connections.discard(conn)
            conn.close()

    def listen(self):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(("127.0.0.1", self.port))
        sock.listen(64)
        return sock

    def serve(self):
        offline_flag = os.path.join(self.folder, "offline")
        ack = offline_flag + ".ack"
        sock = self.listen()
        with open(os.path.join(self.folder, "ready"), "w") as f:
            f.write(str(os.getpid()))
        while True:
            offline = os.path.exists(offline_flag)
            if offline and sock:
                sock.close()
                sock = None
                # Kept-alive connections go too: a client must find the site gone.
                with self.lock:
                    for conn in list(self.open_connections):
                        try:
                            conn.shutdown(socket.SHUT_RDWR)
                        except OSError:
                            pass
                open(ack, "w").close()
            elif not offline and not sock:
                sock = self.listen()
                if os.path.exists(ack):
                    os.remove(ack)
            if not sock:
                time.sleep(0.05)
                continue
            readable, _, _ = select.select([sock], [], [], 0.05)
            if readable:
                conn, _ = sock.accept()
                threading.Thread(target=self.handle, args=(conn,), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    pid_file = os.path.join(args.dir, "pid")

    def stop_earlier():
        try:
            with open(pid_file) as f:
                os.kill(int(f.read()), signal.SIGTERM)
            time.sleep(0.2)
        except (OSError, ValueError):
            pass

    if args.command == "serve":
        Site(args.port, args.dir).serve()
    elif args.command == "start":
        stop_earlier()  # one left by an interrupted run would hold the port
        for name in ("ready", "log.txt", "script.json", "offline", "offline.ack"):
            try:
                os.remove(os.path.join(args.dir, name))
            except OSError:
                pass
        child = os.fork()
        if child == 0:
            os.setsid()
            devnull = os.open(os.devnull, os.O_RDWR)
            for fd in (0, 1, 2):
                os.dup2(devnull, fd)
            os.execv(sys.executable, [sys.executable, __file__, "serve", "--port",
                                      str(args.port), "--dir", args.dir])
        with open(pid_file, "w") as f:
            f.write(str(child))
        for _ in range(100):
            if os.path.exists(os.path.join(args.dir, "ready")):
                print(f"stand-in site listening on 127.0.0.1:{args.port}")
                return 0
            time.sleep(0.05)
        print("stand-in site did not start", file=sys.stderr)
        return 1
    else:
        stop_earlier()
    return 0


if __name__ == "__main__":
    sys.exit(main())
