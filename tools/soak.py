#!/usr/bin/python3
"""Soak test of a complete station, run from outside against build/app/skylark.

The station runs with its own folder, a text TNC on a pseudo-terminal (socat), a KISS-over-TCP
peer, an AGWPE peer (connected by --connect agwpe, as an unattended station would be), a
scripted APRS-IS server, HF audio through --audio-in udp: (frames made with skylark-modem,
silence between them, streamed in real time), 2-minute beacons and acks on. Every link is
dropped and restored in turn while the traffic goes on: the TNC device vanishes and returns,
the KISS and AGWPE peers drop their client, the APRS-IS server closes the link, refuses
connections for a while, or stays connected but stops answering (neither reads nor sends)
for a while, or stops answering for good (the station has to notice and connect again).

Recorded: RSS (and how much of it is the main heap, other anonymous memory and mapped files)
and CPU every 10 s (CSV and an SVG plot), every message sent to the station on each bearer and
whether it was logged exactly once and acknowledged, every HF frame sent and whether it was
logged once, the beacons each peer received and the longest gap between them, torn log lines,
how long each link took to come back (set against its retry time), and how late the window
thread answered (the time from a message on APRS-IS to its receive-log record on the local
receive-log port).

    tools/soak.py [--minutes 25] [--out docs/soak] [--binary build/app/skylark]
                  [--modem build/tools/skylark-modem/skylark-modem] [--drop-every 20]
                  [--time-scale 1] [--drops N] [--beacon-minutes M] [--keep]

--time-scale runs the station's own timers faster (SKYLARK_TIME_SCALE: reconnection, retries,
beacons, port watch, the APRS-IS silence limit); the peers, the traffic and the audio keep real
time, so many more drops fit in a run. --drops N spaces the drops so that each kind of drop
comes N times in the run (overrides --drop-every); the APRS-IS link has four kinds. The beacon
rate is the shortest that leaves 30 real seconds between beacons unless --beacon-minutes says
otherwise. --keep leaves the station's folder (logs, files) in place.

The 24-hour soak, time-scaled (24 h of station time in 29 minutes, 100 drops of each kind):

    tools/soak.py --minutes 29 --time-scale 0.02 --drops 100 --out docs/soak/day
"""
import argparse
import collections
import os
import re
import select
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import wave

CALL = "M0SKY"
IS_CALL = "M0SKY-10"
TICK = os.sysconf("SC_CLK_TCK")
lock = threading.Lock()
events = []  # (t, text)
start_time = time.monotonic()


def now():
    return time.monotonic() - start_time


def note(text):
    with lock:
        events.append((now(), text))
    print(f"{now():8.1f} {text}", flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# --- Station folder --------------------------------------------------------------------

def record_file(records, count):
    out = bytearray(100 * count)
    for n, text in records.items():
        data = text.encode("latin-1")
        out[(n - 1) * 100:(n - 1) * 100 + 2 + len(data)] = struct.pack("<H", len(data)) + data
    return bytes(out)


# Beacon rate records of the start-up page, by minutes.
BEACON_RECORDS = {2: 63, 5: 64, 10: 65, 20: 66, 30: 67, 60: 68}


def write_file(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def write_calls(folder, call, is_call):
    """The station's calls and its APRS-IS server (loopback, passcode -1), as quoted text files."""
    for name, value in (("skylark_mycall.txt", call), ("skylark_mycall_aprsis.txt", is_call),
                        ("skylark_mycall_hf.txt", call), ("skylark_group_call.txt", "NOCALL"),
                        ("skylark_aprs_server.txt", "127.0.0.1"), ("skylark_passcode.txt", "-1")):
        write_file(folder, name, b'"' + value.encode("latin-1") + b'"\r\n')


def write_station(folder, tnc_link, beacon_minutes):
    write_calls(folder, CALL, IS_CALL)
    write_file(folder, "skylark_btext.txt", b'">Skylark soak"\r\n')
    write_file(folder, "skylark_tnc_comm_port.txt", b"2\r\n")
    with open(os.path.join(folder, "skylark_comm_ports.txt"), "w") as f:
        f.write(f"2,{tnc_link}\n")
    # Start-up page: 9.6 kb text TNC, 2100 Hz, the beacon rate, 48000 Hz, no PTT port.
    c1 = {1: "0", 3: "0", 4: "1", 5: "0", 25: "0", 12: "1", 42: "1", BEACON_RECORDS[beacon_minutes]: "1",
          80: "2", 73: "1"}
    write_file(folder, "skylark_config1.txt", record_file(c1, 84))
    # Main window: acks normal, APRS-IS connected at start, GMSK-250, KISS over TCP on.
    c2 = {1: "1", 2: "0", 3: "1", 9: "1", 4: "0", 5: "0", 6: "0", 7: "0", 8: "0", 11: "0", 12: "0",
          19: "0", 20: "0", 21: "1"}
    write_file(folder, "skylark_config2.txt", record_file(c2, 21))


# --- AX.25 / KISS and HF frames ---------------------------------------------------------

def ax25_address(call, last):
    base, _, ssid = call.partition("-")
    data = bytes((ord(c) << 1) for c in base.ljust(6)[:6])
    return data + bytes([0x60 | (int(ssid or 0) << 1) | (1 if last else 0)])


def kiss_frame(source, dest, info):
    frame = ax25_address(dest, False) + ax25_address(source, True) + b"\x03\xf0" + info.encode("latin-1")
    frame = frame.replace(b"\xdb", b"\xdb\xdd").replace(b"\xc0", b"\xdb\xdc")
    return b"\xc0\x00" + frame + b"\xc0"


def crc16_modbus(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def hf_frame(body):
    return ".........." + "~" + body + "%04X" % crc16_modbus(body.encode("latin-1")) + "\t~   \r\n"


def hf_audio(modem, folder, body, rate):
    path = os.path.join(folder, "hf.wav")
    subprocess.run([modem, "encode", "--mode", "gmsk250", "--sample-rate", str(rate), "--carrier", "2100",
                    "--output", path, hf_frame(body)], check=True)
    with wave.open(path) as w:
        return w.readframes(w.getnframes())


# --- Peers ------------------------------------------------------------------------------

class Counts:
    def __init__(self):
        self.sent = collections.OrderedDict()  # id -> (bearer, t)
        self.acked = set()
        self.back = collections.defaultdict(list)  # link -> seconds until back
        self.drops = collections.defaultdict(list)  # link -> times it was dropped
        self.kinds = collections.Counter()  # kind of drop -> how many
        self.silent_kept = []  # per silent spell: the same connection carried on afterwards
        self.record_latency = []
        self.beacons = collections.defaultdict(list)  # bearer -> times a beacon reached its peer
        self.hf_sent = collections.OrderedDict()  # frame number -> time its audio ended


counts = Counts()


class TextTnc(threading.Thread):
    """socat pty pair; the peer end reads what the station writes and feeds monitor lines."""

    def __init__(self, folder):
        super().__init__(daemon=True)
        self.station_end = os.path.join(folder, "tnc-station")
        self.peer_end = os.path.join(folder, "tnc-peer")
        self.proc = None
        self.fd = None
        self.seen = Seen("tnc")
        self.up = threading.Event()

    def start_device(self):
        self.proc = subprocess.Popen(["socat", f"pty,raw,echo=0,link={self.station_end}",
                                      f"pty,raw,echo=0,link={self.peer_end}"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(self.peer_end) and os.path.exists(self.station_end):
                break
            time.sleep(0.05)
        self.fd = os.open(self.peer_end, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.up.set()

    def stop_device(self):
        self.up.clear()
        fd, self.fd = self.fd, None
        if fd is not None:
            os.close(fd)
        self.proc.terminate()
        self.proc.wait()

    def send(self, line):
        fd = self.fd
        if fd is not None:
            try:
                os.write(fd, line.encode("latin-1"))
                return True
            except OSError:
                pass
        return False

    def run(self):
        while True:
            fd = self.fd
            if fd is None:
                time.sleep(0.1)
                continue
            try:
                r, _, _ = select.select([fd], [], [], 0.2)
                if r:
                    self.seen.take(os.read(fd, 4096))
            except OSError:
                time.sleep(0.1)


ACK = re.compile(rb":ack([A-Za-z0-9]{1,5})")
BEACON = b">Skylark soak"


class Seen:
    """What a peer receives from the station, taken piece by piece (lines, KISS frames, AGWPE
    frames): acks for the messages sent to the station, and beacons."""

    def __init__(self, bearer):
        self.bearer = bearer
        self.rest = b""

    def take(self, data):
        pieces = re.split(rb"[\r\n\xc0\x00]", self.rest + data)
        self.rest = pieces.pop()[-2000:]
        with lock:
            for piece in pieces:
                for m in ACK.finditer(piece):
                    counts.acked.add(m.group(1).decode())
                if BEACON in piece:
                    counts.beacons[self.bearer].append(now())


class Server(threading.Thread):
    """One-client TCP server on 127.0.0.1 that can drop its client, refuse for a while, or stop
    answering on its connection (neither read nor send)."""

    def __init__(self, port, name):
        super().__init__(daemon=True)
        self.port, self.name = port, name
        self.client = None
        self.refusing = False
        self.muted = None  # the connection that gets no answer
        self.connected_at = None
        self.seen = Seen(name)
        self.lsock = None
        self.listen()

    def listen(self):
        self.lsock = socket.socket()
        self.lsock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.lsock.bind(("127.0.0.1", self.port))
        self.lsock.listen(4)

    def drop(self, refuse_seconds=0):
        c, self.client = self.client, None
        if c:
            c.close()
        if refuse_seconds:
            self.refusing = True
            self.lsock.close()
            time.sleep(refuse_seconds)
            self.listen()
            self.refusing = False

    def stop_answering(self, seconds=None):
        """The connection stays up, but nothing is read or sent on it for a while (for good
        without `seconds`: until the station makes a new one). Returns the connection."""
        c = self.muted = self.client
        if seconds is not None:
            time.sleep(seconds)
            self.muted = None
        return c

    def send(self, data):
        c = self.client
        if c and c is not self.muted:
            try:
                c.sendall(data)
                return True
            except OSError:
                self.client = None
        return False

    def greeted(self, client):
        pass

    def received(self, data):
        pass

    def run(self):
        while True:
            socks = [self.lsock] + ([self.client] if self.client and self.client is not self.muted else [])
            try:
                r, _, _ = select.select(socks, [], [], 0.2)
            except (OSError, ValueError):
                time.sleep(0.1)
                continue
            for s in r:
                if s is self.lsock and not self.refusing:
                    try:
                        c, _ = self.lsock.accept()
                    except OSError:
                        continue
                    if self.client:
                        self.client.close()
                    self.client, self.muted = c, None
                    self.connected_at = now()
                    self.greeted(c)
                elif s is self.client:
                    try:
                        data = s.recv(65536)
                    except OSError:
                        data = b""
                    if not data:
                        self.client = None
                        continue
                    self.received(data)
                    self.seen.take(data)


def agwpe_frame(kind, source="", dest="", data=b""):
    """An AGWPE frame: the 36-byte header (port, kind, PID, calls, data length) and its data."""
    header = bytearray(36)
    header[4] = ord(kind)
    header[6] = 0xF0
    header[8:8 + len(source)] = source.encode("latin-1")
    header[18:18 + len(dest)] = dest.encode("latin-1")
    header[28:32] = struct.pack("<I", len(data))
    return bytes(header) + data


def agwpe_monitor(source, dest, path, info):
    """A monitored UI packet as a TNC program reports it."""
    text = (f" 1:Fm {source} To {dest} Via {path} <UI pid=F0 Len={len(info)} >[12:00:00]\r"
            f"{info}\r\r").encode("latin-1") + b"\0"
    return agwpe_frame("U", source, dest, text)


class AgwpeServer(Server):
    """An AGWPE TNC program: counts the monitor requests of each connection ('m' toggles
    monitoring, so exactly one is right) and sends monitored packets."""

    def __init__(self, port, name):
        self.requests = []  # 'm' requests per connection
        self.pending = b""
        super().__init__(port, name)

    def greeted(self, client):
        self.requests.append(0)
        self.pending = b""

    def received(self, data):
        self.pending += data
        while len(self.pending) >= 36:
            length = struct.unpack_from("<I", self.pending, 28)[0]
            if len(self.pending) < 36 + length:
                break
            if self.pending[4:5] == b"m" and self.requests:
                self.requests[-1] += 1
            self.pending = self.pending[36 + length:]


class AprsIsServer(Server):
    def received(self, data):
        if data.startswith(b"user "):
            call = data.split()[1].decode("latin-1")
            self.send(f"# logresp {call} verified, server SOAK\r\n".encode())


def receive_log_reader(port, sent_at):
    """The local receive-log port: each record's delay after its APRS-IS message went out."""
    buffer = b""
    while True:
        try:
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
        except OSError:
            time.sleep(1)
            continue
        s.settimeout(None)
        while True:
            try:
                data = s.recv(4096)
            except OSError:
                break
            if not data:
                break
            buffer += data
            for key, t in list(sent_at.items()):
                if key.encode() in buffer:
                    counts.record_latency.append(now() - t)
                    del sent_at[key]
            buffer = buffer[-4000:]
        time.sleep(1)


def audio_stream(port, rate, frames, stop):
    """Real-time 16-bit mono: silence with an HF frame every 20 s."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    chunk = rate // 50  # 20 ms
    silence = b"\x00\x00" * chunk
    t0 = time.monotonic()
    sent = 0
    pending = b""
    next_frame = 5.0
    n = 0
    while not stop.is_set():
        elapsed = time.monotonic() - t0
        if not pending and elapsed >= next_frame:
            body = f"G4HF>APSK26:>soak hf {n}"
            pending = frames(body)
            n += 1
            next_frame += 20.0
        due = int(elapsed * rate)
        while sent + chunk <= due:
            if pending:
                piece, pending = pending[:2 * chunk], pending[2 * chunk:]
                piece = piece.ljust(2 * chunk, b"\x00")
                if not pending:
                    with lock:
                        counts.hf_sent[str(n - 1)] = now()
            else:
                piece = silence
            sock.sendto(piece, ("127.0.0.1", port))
            sent += chunk
        time.sleep(0.01)
    return n


# --- Measurements -----------------------------------------------------------------------

def proc_sample(pid):
    """CPU ticks, and resident kB: in all, the main heap, other anonymous memory (thread
    arenas, large blocks, stacks), mapped files."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    parts = {"heap": 0, "anon": 0, "file": 0}
    kind = "anon"
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            if line.startswith("Rss:"):
                parts[kind] += int(line.split()[1])
            elif not line[0].isupper():  # a mapping's first line: range, mode, offset, device, inode, name
                name = line.split(maxsplit=5)[5].strip() if len(line.split()) > 5 else ""
                kind = "heap" if name == "[heap]" else "anon" if not name or name.startswith("[") else "file"
    return ticks, sum(parts.values()), parts["heap"], parts["anon"], parts["file"]


def svg_plot(samples, path, title, scale):
    """Two panels over the run: resident memory (in all and its parts) and CPU in % of a core
    (per minute). The time axis is in station hours for a time-scaled run."""
    w, m, top_h, cpu_h, gap = 760, 55, 300, 150, 55
    h = 45 + top_h + gap + cpu_h + 45
    t_max = max(s[0] for s in samples) or 1
    hours = scale != 1
    unit = 3600 * scale if hours else 60
    def x(t): return m + (w - 2 * m) * t / t_max
    out = [f'<rect width="{w}" height="{h}" fill="white"/>',
           f'<text x="{w / 2}" y="18" font-size="13" text-anchor="middle">{title}</text>']

    def panel(y0, height, lo, hi, step, label, series):
        def y(v): return y0 + height - height * (v - lo) / (hi - lo)
        v = lo
        while v <= hi + 1e-9:
            out.append(f'<line x1="{m}" y1="{y(v):.1f}" x2="{w - m}" y2="{y(v):.1f}" stroke="#ddd"/>'
                       f'<text x="{m - 6}" y="{y(v) + 4:.1f}" font-size="11" text-anchor="end">{v:g}</text>')
            v += step
        out.append(f'<text x="{m}" y="{y0 - 8}" font-size="11">{label}</text>')
        labels = []
        for name, colour, points in series:
            pts = " ".join(f"{x(t):.1f},{y(v):.1f}" for t, v in points)
            out.append(f'<polyline points="{pts}" fill="none" stroke="{colour}" stroke-width="1.3"/>')
            if name:
                labels.append([y(points[-1][1]) + 4, name, colour])
        labels.sort()
        for a, b in zip(labels, labels[1:]):  # names of lines that end close together stay apart
            b[0] = max(b[0], a[0] + 11)
        for at, name, colour in labels:
            out.append(f'<text x="{w - m + 4}" y="{at:.1f}" font-size="10" fill="{colour}">{name}</text>')

    mb = [(s[0], [v / 1024 for v in s[2:6]]) for s in samples[1:]]  # the first is before the load
    hi = max(v[0] for _, v in mb)
    top = (int(hi) // 10 + 1) * 10
    panel(45, top_h, 0, top, 10, "resident memory (MB)",
          [("all", "#c00", [(t, v[0]) for t, v in mb]), ("heap", "#06c", [(t, v[1]) for t, v in mb]),
           ("anon", "#080", [(t, v[2]) for t, v in mb]), ("files", "#888", [(t, v[3]) for t, v in mb])])
    cpu = []
    for a, b in zip(samples[1::6], samples[7::6]):
        cpu.append(((a[0] + b[0]) / 2, (b[1] - a[1]) / TICK / max(1e-3, b[0] - a[0]) * 100))
    if cpu:
        peak = max(c for _, c in cpu)
        top_cpu = max(2, int(peak) // 2 * 2 + 2)
        panel(45 + top_h + gap, cpu_h, 0, top_cpu, max(1, top_cpu // 4), "CPU (% of a core, per minute)",
              [("", "#a50", cpu)])
    ticks = 8
    step = max(1, round(t_max / unit / ticks))
    k = 0
    while k * unit <= t_max:
        out.append(f'<text x="{x(k * unit):.1f}" y="{h - 28}" font-size="11" text-anchor="middle">{k}</text>')
        k += step
    out.append(f'<text x="{w / 2}" y="{h - 10}" font-size="11" text-anchor="middle">'
               f'{"hours of station time" if hours else "minutes"}</text>')
    with open(path, "w") as f:
        f.write(f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}">{"".join(out)}</svg>\n')


def log_bytes(folder, name):
    """A log with the files it rolled over into (name.1 the newest of them), oldest first."""
    data = b""
    for n in range(9, -1, -1):
        path = os.path.join(folder, name + (f".{n}" if n else ""))
        if os.path.exists(path):
            with open(path, "rb") as f:
                data += f.read()
    return data


def torn_lines(data):
    """Log lines that are not whole records: quoted fields, CR LF."""
    bad = 0
    total = 0
    for line in data.split(b"\r\n")[:-1]:
        if not line:
            continue
        total += 1
        if not (line.startswith(b'"') and line.endswith(b'"')):
            bad += 1
    return total, bad


# --- The run ----------------------------------------------------------------------------

# Retry time of each link in station seconds: a TNC device that has gone is tried every 2 s;
# KISS/AGWPE reconnect 10 s; APRS-IS reconnect 10 s + a 1 s pause; a server that stops
# answering is left after 120 s without a byte, and then connected again as after a drop.
RETRY = {"tnc": 2, "kiss": 10, "agwpe": 10, "aprs-is": 11, "aprs-is-hung": 131}
SLACK = 2.0  # real seconds on top: event loop, the scripted peers' 0.2 s polls, a loaded machine
DROP_KINDS = ["tnc", "aprs-is", "kiss", "aprs-is-refuse", "agwpe", "aprs-is-silent", "aprs-is-hung"]


def back_limit(link, scale):
    """Real seconds a link may take to come back after a drop."""
    return RETRY[link] * scale + SLACK


def holds_open(pid, device):
    """Whether the station has `device` open."""
    target = os.path.realpath(device)
    try:
        for fd in os.listdir(f"/proc/{pid}/fd"):
            try:
                if os.readlink(f"/proc/{pid}/fd/{fd}") == target:
                    return True
            except OSError:
                pass
    except OSError:
        pass
    return False


class Dropper(threading.Thread):
    """Drops the links in turn, one at a time, while the traffic goes on, and times how long
    each takes to come back."""

    def __init__(self, pid, tnc, kiss, agwpe, aprs, first, every, outage, quiet, scale, stop):
        super().__init__(daemon=True)
        self.pid, self.tnc, self.kiss, self.agwpe, self.aprs = pid, tnc, kiss, agwpe, aprs
        self.first, self.every, self.outage, self.quiet = first, every, outage, quiet
        self.scale, self.stop = scale, stop

    def back(self, link, since, is_back, limit):
        """Waits (up to a generous bound) for the link to come back and records the delay."""
        deadline = time.monotonic() + max(30.0, 3 * limit)
        while time.monotonic() < deadline:
            if is_back():
                with lock:
                    counts.back[link].append(now() - since)
                return
            time.sleep(0.05)
        note(f"{link} not back {max(30.0, 3 * limit):.0f} s after its drop")
        with lock:
            counts.back[link].append(float("inf"))

    def run(self):
        if self.stop.wait(self.first - now()):
            return
        turn = 0
        while not self.stop.is_set():
            link = DROP_KINDS[turn % len(DROP_KINDS)]
            turn += 1
            bearer = "aprs-is" if link.startswith("aprs-is") else link
            note(f"drop {link}")
            with lock:
                counts.drops[bearer].append(now())
                counts.kinds[link] += 1
            limit = back_limit(bearer, self.scale)
            if link == "tnc":
                self.tnc.stop_device()
                time.sleep(5 * self.outage)
                self.tnc.start_device()
                self.back("tnc", now(), lambda: holds_open(self.pid, self.tnc.station_end), limit)
            elif link in ("kiss", "agwpe"):
                server = self.kiss if link == "kiss" else self.agwpe
                server.drop()
                since = now()
                self.back(link, since, lambda: server.client is not None and server.connected_at > since, limit)
            elif link in ("aprs-is", "aprs-is-refuse"):
                self.aprs.drop(refuse_seconds=15 * self.outage if link == "aprs-is-refuse" else 0)
                since = now()
                self.back("aprs-is", since,
                          lambda: self.aprs.client is not None and self.aprs.connected_at > since, limit)
            elif link == "aprs-is-silent":
                client = self.aprs.stop_answering(self.quiet)
                with lock:
                    counts.silent_kept.append(client is not None and self.aprs.client is client)
            else:
                since = now()
                self.aprs.stop_answering()
                self.back(link, since, lambda: self.aprs.client is not None and self.aprs.connected_at > since,
                          back_limit(link, self.scale))
            # Drops keep to their schedule whatever time the outages and the waits took.
            self.stop.wait(max(0.0, self.first + turn * self.every - now()))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--minutes", type=float, default=25)
    ap.add_argument("--out", default="docs/soak")
    ap.add_argument("--binary", default="build/app/skylark")
    ap.add_argument("--modem", default="build/tools/skylark-modem/skylark-modem")
    ap.add_argument("--drop-every", type=float, default=20, help="seconds between link drops")
    ap.add_argument("--drops", type=int, default=0, help="drops per link in the run (sets the spacing)")
    ap.add_argument("--time-scale", type=float, default=1.0, help="the station's SKYLARK_TIME_SCALE")
    ap.add_argument("--beacon-minutes", type=int, choices=sorted(BEACON_RECORDS),
                    help="beacon rate (default: the shortest that leaves 30 real seconds between beacons)")
    ap.add_argument("--keep", action="store_true", help="keep the station's folder")
    args = ap.parse_args()
    # The HF channel is half duplex and its audio runs in real time: beacons every few real
    # seconds would keep the station transmitting and deaf to the frames it should hear.
    beacon_minutes = args.beacon_minutes or min(m for m in BEACON_RECORDS if m * 60 * args.time_scale >= 30
                                                or m == max(BEACON_RECORDS))
    rate = 48000
    folder = tempfile.mkdtemp(prefix="skylark-soak-")
    os.makedirs(args.out, exist_ok=True)

    tnc = TextTnc(folder)
    tnc.start_device()
    tnc.start()
    write_station(folder, tnc.station_end, beacon_minutes)
    ports = {"packets": free_port(), "ptt": free_port(), "receive-log": free_port(),
             "kiss": free_port(), "agwpe": free_port(), "aprs-is": free_port()}
    kiss = Server(ports["kiss"], "kiss")
    agwpe = AgwpeServer(ports["agwpe"], "agwpe")
    aprs = AprsIsServer(ports["aprs-is"], "aprs-is")
    for server in (kiss, agwpe, aprs):
        server.start()
    audio_port = free_port()

    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env.pop("SKYLARK_TIME_SCALE", None)
    if args.time_scale != 1.0:
        env["SKYLARK_TIME_SCALE"] = str(args.time_scale)
    proc = subprocess.Popen([args.binary, "--station-dir", folder, "--audio-in", f"udp:{audio_port}",
                             "--audio-out", "null", "--ports", ",".join(f"{k}={v}" for k, v in ports.items()),
                             "--connect", "agwpe"],
                            env=env, stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "stderr.txt"), "w"))
    note(f"station pid {proc.pid} in {folder}; beacons every {beacon_minutes} min")
    stop = threading.Event()
    audio = threading.Thread(target=audio_stream,
                             args=(audio_port, rate, lambda body: hf_audio(args.modem, folder, body, rate), stop),
                             daemon=True)
    audio.start()
    record_sent = {}
    threading.Thread(target=receive_log_reader, args=(ports["receive-log"], record_sent), daemon=True).start()

    duration = args.minutes * 60
    # Outages shrink with the station's time scale; the first drop comes once the start-up
    # page has counted down (60 s station time) and the links are up. A short silence of the
    # APRS-IS server is 30 s of station time, well inside the 120 s the station waits for a byte.
    outage = max(args.time_scale, 0.15)
    quiet = max(0.3, 30 * args.time_scale)
    first = 60 * args.time_scale + 15
    every = args.drop_every
    if args.drops:
        # Each kind of drop comes args.drops times.
        every = (duration - first - 10) / (args.drops * len(DROP_KINDS))
    note(f"a drop every {every:.1f} s; outage unit {outage:.2f} s")
    dropper = Dropper(proc.pid, tnc, kiss, agwpe, aprs, first, every, outage, quiet, args.time_scale, stop)
    dropper.start()

    samples = []
    next_tnc = next_kiss = next_agwpe = next_is = next_other = 0.0
    next_sample = 5.0  # once the program has loaded
    n = 0
    try:
        while now() < duration:
            t = now()
            if proc.poll() is not None:
                note(f"station ended early, exit {proc.returncode}")
                break
            if t >= next_sample:
                samples.append((t,) + proc_sample(proc.pid))
                next_sample += 10
            if t >= next_tnc and tnc.up.is_set():
                n += 1
                if tnc.send(f"G4TNC>APRS,WIDE1-1::{CALL:9}:tnc {n}{{{n}\r\n"):
                    counts.sent[str(n)] = ("tnc", t)
                tnc.send(f"G4OTH>APRS,WIDE2-1:>other tnc traffic {n}\r\n")
                next_tnc = t + 6
            if t >= next_kiss and kiss.client:
                n += 1
                if kiss.send(kiss_frame("G4KIS", "APRS", f":{CALL:9}:kiss {n}{{{n}")):
                    counts.sent[str(n)] = ("kiss", t)
                next_kiss = t + 8
            if t >= next_agwpe and agwpe.client:
                n += 1
                if agwpe.send(agwpe_monitor("G4AGW", "APRS", "WIDE1-1", f":{CALL:9}:agwpe {n}{{{n}")):
                    counts.sent[str(n)] = ("agwpe", t)
                agwpe.send(agwpe_monitor("G4OTA", "APRS", "WIDE2-1", f">other agwpe traffic {n}"))
                next_agwpe = t + 7
            if t >= next_is and aprs.client:
                n += 1
                if aprs.send(f"G4IS>APRS,TCPIP*,qAC,SOAK::{IS_CALL:9}:is {n}{{{n}\r\n".encode()):
                    counts.sent[str(n)] = ("aprs-is", t)
                    record_sent[f"is {n}{{{n}"] = t
                next_is = t + 10
            if t >= next_other and aprs.client:
                aprs.send(f"G4X{n % 10}>APRS,TCPIP*,qAC,SOAK:>other traffic {n}\r\n".encode())
                next_other = t + 1
            time.sleep(0.2)
        stop.set()
        dropper.join(60)
        time.sleep(30)  # late acks and log records
        samples.append((now(),) + proc_sample(proc.pid))
    finally:
        stop.set()
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(30)
        except subprocess.TimeoutExpired:
            proc.kill()
        if tnc.up.is_set():
            tnc.stop_device()

    report(args, folder, samples, agwpe.requests, 15 * outage, beacon_minutes)
    if not args.keep:
        shutil.rmtree(folder, ignore_errors=True)


def report(args, folder, samples, agwpe_requests, drop_window, beacon_minutes):
    scale = args.time_scale
    with open(os.path.join(args.out, "rss.csv"), "w") as f:
        f.write("seconds,cpu_ticks,rss_kb,heap_kb,other_anon_kb,file_kb\n")
        for t, *values in samples:
            f.write(f"{t:.0f}," + ",".join(str(v) for v in values) + "\n")
    svg_plot(samples, os.path.join(args.out, "rss.svg"), "Skylark soak: resident memory and CPU", scale)
    receive_log = log_bytes(folder, "skylark_receive.log")
    logged = collections.Counter()
    for key in counts.sent:
        needle = f"{{{key}\"".encode()
        logged[key] = receive_log.count(needle)
    # sent, logged once, logged twice+, acked, not acked but its link dropped soon after
    by_bearer = collections.defaultdict(lambda: [0, 0, 0, 0, 0])
    for key, (bearer, t) in counts.sent.items():
        b = by_bearer[bearer]
        b[0] += 1
        b[1] += logged[key] == 1
        b[2] += logged[key] > 1
        b[3] += key in counts.acked
        b[4] += key not in counts.acked and any(0 <= d - t <= drop_window for d in counts.drops[bearer])
    cpu = (samples[-1][1] - samples[0][1]) / TICK / max(1, samples[-1][0] - samples[0][0]) * 100
    station_hours = samples[-1][0] / scale / 3600
    lines = [f"ran {samples[-1][0] / 60:.1f} min at time scale {scale:g} ({station_hours:.1f} h of station time); "
             f"CPU {cpu:.2f} % of a core on average; load average {os.getloadavg()[0]:.2f} at the end",
             f"RSS first {samples[0][2] / 1024:.1f} MB, max {max(s[2] for s in samples) / 1024:.1f} MB, "
             f"last {samples[-1][2] / 1024:.1f} MB",
             "RSS parts first/last (MB): " + ", ".join(
                 f"{name} {samples[1][k] / 1024:.1f}/{samples[-1][k] / 1024:.1f}"
                 for name, k in (("main heap", 3), ("other anonymous", 4), ("mapped files", 5)))]
    for label, settled in (("the first station hour", 3600 * scale), ("the first 10 real minutes", 600)):
        after = [s[2] for s in samples if s[0] >= settled]
        if len(after) > 1:
            lines.append(f"RSS spread after {label}: {(max(after) - min(after)) / 1024:.1f} MB "
                         f"({min(after) / 1024:.1f} to {max(after) / 1024:.1f} MB)")
    for bearer, (sent, once, twice, acked, dropped) in sorted(by_bearer.items()):
        lines.append(f"{bearer}: {sent} messages sent to the station, {once} logged once, "
                     f"{twice} logged more than once, {acked} acknowledged; of the {sent - acked} "
                     f"not acknowledged, {dropped} had their link dropped within {drop_window:.0f} s after")
    # HF frames whose audio was all sent well before the end.
    hf = [key for key, t in counts.hf_sent.items() if t < samples[-1][0] - 20]
    heard = log_bytes(folder, "skylark_mheard.log")
    hf_heard = collections.Counter(m.group(1).decode() for m in re.finditer(rb">soak hf (\d+)\b", heard))
    lines.append(f"hf: {len(hf)} frames sent through the audio input, {sum(hf_heard[k] == 1 for k in hf)} "
                 f"in the heard log once, {sum(hf_heard[k] > 1 for k in hf)} more than once")
    for bearer, times in sorted(counts.beacons.items()):
        gaps = [b - a for a, b in zip(times, times[1:])]
        lines.append(f"beacons received by the {bearer} peer: {len(times)} (one per {beacon_minutes * 60 * scale:.1f} s due), "
                     f"longest gap {max(gaps, default=0):.1f} s ({max(gaps, default=0) / scale:.0f} s station time)")
    lines.append("drops: " + ", ".join(f"{link} {len(times)}" for link, times in sorted(counts.drops.items()))
                 + " (" + ", ".join(f"{k} {n}" for k, n in sorted(counts.kinds.items())) + ")")
    if counts.silent_kept:
        lines.append(f"aprs-is stopped answering for 30 s of station time {len(counts.silent_kept)} times; "
                     f"the same connection carried on afterwards {sum(counts.silent_kept)} times")
    if agwpe_requests:
        lines.append(f"agwpe: {len(agwpe_requests)} connections, monitor requests per connection: "
                     + ", ".join(f"{k} x{v}" for k, v in sorted(collections.Counter(agwpe_requests).items())))
    for name in ("skylark_receive.log", "skylark_transmit.log", "skylark_mheard.log"):
        total, bad = torn_lines(log_bytes(folder, name))
        lines.append(f"{name}: {total} lines, {bad} not whole records")
    for link, delays in sorted(counts.back.items()):
        limit = back_limit(link, scale)
        finite = [d for d in delays if d != float("inf")]
        lines.append(f"{link} back after drops: {len(finite)} of {len(delays)}, "
                     f"{sum(d <= limit for d in delays)} within its retry time + {SLACK:.0f} s ({limit:.1f} s), "
                     f"longest {max(finite, default=0):.1f} s")
    if counts.record_latency:
        lat = sorted(counts.record_latency)
        lines.append(f"window thread: receive-log record after its APRS-IS message, median "
                     f"{lat[len(lat) // 2] * 1000:.0f} ms, longest {lat[-1] * 1000:.0f} ms ({len(lat)} records)")
    # Each message not acknowledged, with the drops (of any link: acks for VHF bearers go out
    # on the text TNC) in the seconds around it.
    unacked = []
    for key, (bearer, t) in counts.sent.items():
        if key not in counts.acked:
            near = [f"{link} {d - t:+.1f} s" for link, times in sorted(counts.drops.items())
                    for d in times if -drop_window <= d - t <= drop_window]
            unacked.append(f"{t:8.1f} {bearer} {key}: logged {logged[key]}x; drops near: {', '.join(near) or 'none'}")
    with open(os.path.join(args.out, "summary.txt"), "w") as f:
        f.write(" ".join(["tools/soak.py"] + sys.argv[1:]) + "\n")
        f.write("\n".join(lines) + "\n")
        f.write("\nnot acknowledged:\n" + "\n".join(unacked) + "\n")
        f.write("\nevents:\n" + "\n".join(f"{t:8.1f} {e}" for t, e in events) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
