#!/usr/bin/python3
"""Memory of the running station while a local program on the receive-log port never reads.

Starts build/app/skylark with a station folder of its own and a scripted APRS-IS server on a
free port. A client connects to the station's receive-log port (8064 at a station; a free port
here) with a small receive buffer and never reads. The server then sends acknowledgements
addressed to the station, each of which the station writes to its receive log and offers to
the client as a record, until the receive log holds --records records. The server keeps at
most a few hundred lines ahead of the station, so that none is dropped from its receive queue.
Before that the server sends --burst messages for the station in one write (the station keeps
the newest 1000 waiting and drops older ones), as a flooding server would.

Recorded: the station's resident memory (VmRSS every second, VmHWM at the end), how long the
records took, and whether the station let the never-reading client go. Exits 1 when the peak
is at or above --limit-mb, fewer records were made, or the client was kept.

    tools/unread-client-memory.py [--records 100000] [--burst 6000] [--limit-mb 120]
                                  [--binary build/app/skylark]
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from soak import free_port, record_file, write_calls, write_file  # noqa: E402

CALL = "M0SKY"
IS_CALL = "M0SKY-1"
AHEAD = 400  # lines the server may be ahead of the receive log
BATCH = 100


def write_station(folder):
    write_calls(folder, CALL, IS_CALL)
    # Start-up page: no TNC, 2100 Hz, no PTT port, 60-minute beacons, 48000 Hz.
    write_file(folder, "skylark_config1.txt", record_file({1: "1", 12: "1", 42: "1", 68: "1", 73: "1", 80: "2"}, 84))
    # Main window: acks normal, APRS-IS connected at start, "APRS-IS" transmit.
    write_file(folder, "skylark_config2.txt", record_file({1: "1", 2: "0", 3: "1", 6: "1", 21: "0"}, 24))


def memory(pid):
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) / 1024
    return values


class LogCounter:
    """Counts the records of the receive log as it grows, reading only what is new."""

    def __init__(self, path):
        self.path, self.offset, self.count = path, 0, 0

    def update(self):
        if os.path.exists(self.path):
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
            cut = data.rfind(b"\r\n") + 2 if b"\r\n" in data else 0
            self.count += data[:cut].count(b"\r\n")
            self.offset += cut
        return self.count


def client_was_dropped(sock):
    """Drains what the kernel holds for the client; True when the station has closed it."""
    sock.setblocking(False)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            if not sock.recv(1 << 20):
                return True
        except BlockingIOError:
            time.sleep(0.05)
        except OSError:
            return True
    return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--records", type=int, default=100000)
    ap.add_argument("--burst", type=int, default=6000)
    ap.add_argument("--limit-mb", type=float, default=120)
    ap.add_argument("--binary", default="build/app/skylark")
    ap.add_argument("--time-scale", default="0.02")
    args = ap.parse_args()

    folder = tempfile.mkdtemp(prefix="skylark-unread-")
    write_station(folder)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    ports = {"packets": free_port(), "ptt": free_port(), "receive-log": free_port(), "kiss": free_port(),
             "agwpe": free_port(), "aprs-is": listener.getsockname()[1]}
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SKYLARK_TIME_SCALE=args.time_scale)
    proc = subprocess.Popen([args.binary, "--station-dir", folder, "--audio-in", "null", "--audio-out", "null",
                             "--ports", ",".join(f"{k}={v}" for k, v in ports.items())],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ok = False
    try:
        listener.settimeout(60)
        server, _ = listener.accept()
        server.recv(4096)  # the log-on line
        server.sendall(f"# logresp {IS_CALL} unverified, server UNREAD\r\n".encode())
        time.sleep(2)  # the main window is up

        unread = socket.socket()
        unread.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        unread.connect(("127.0.0.1", ports["receive-log"]))
        before = memory(proc.pid)["VmRSS"]
        log = LogCounter(os.path.join(folder, "skylark_receive.log"))
        if args.burst:
            server.sendall(b"".join(f"G4IS>APRS,TCPIP*,qAC,T2::{IS_CALL:9}:burst {i}\r\n".encode()
                                    for i in range(args.burst)))
            # Until the station has worked through what it kept: records, then 3 s without more.
            quiet_since = time.monotonic()
            last = 0
            while time.monotonic() - quiet_since < (3 if last else 60):
                time.sleep(0.5)
                if log.update() != last:
                    last, quiet_since = log.count, time.monotonic()
            print(f"a burst of {args.burst} messages in one write: {log.count} records, "
                  f"RSS {memory(proc.pid)['VmRSS']:.1f} MB")
        base = log.count
        start = time.monotonic()
        sent = 0
        peak = before
        next_sample = start
        while log.update() - base < args.records:
            if proc.poll() is not None:
                print(f"the station ended early, exit {proc.returncode}")
                break
            if sent < args.records and sent - (log.count - base) < AHEAD:
                n = min(BATCH, args.records - sent)
                server.sendall(b"".join(f"G4IS>APRS,TCPIP*,qAC,T2::{IS_CALL:9}:ack{(sent + i) % 100000}\r\n"
                                        .encode() for i in range(n)))
                sent += n
            else:
                time.sleep(0.005)
            if time.monotonic() >= next_sample:
                peak = max(peak, memory(proc.pid)["VmRSS"])
                next_sample += 1
            if time.monotonic() - start > 600:
                print("no progress for 10 minutes")
                break
        seconds = time.monotonic() - start
        end = memory(proc.pid)
        peak = max(peak, end["VmRSS"])
        dropped = client_was_dropped(unread)
        made = log.count - base
        print(f"{made} records in {seconds:.1f} s ({made / max(seconds, 0.001):.0f} a second)")
        print(f"RSS before {before:.1f} MB, highest sample {peak:.1f} MB, at the end {end['VmRSS']:.1f} MB; "
              f"peak resident (VmHWM) {end['VmHWM']:.1f} MB; limit {args.limit_mb:.0f} MB")
        print("the never-reading client was " + ("dropped" if dropped else "KEPT"))
        ok = made >= args.records and end["VmHWM"] < args.limit_mb and dropped
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(30)
        except subprocess.TimeoutExpired:
            proc.kill()
        shutil.rmtree(folder, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
