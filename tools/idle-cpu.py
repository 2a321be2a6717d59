#!/usr/bin/python3
"""Idle cost of the station program, measured from outside by its process CPU time.

Starts build/app/skylark with a station folder holding its files (a first run writes them),
an audio end (`--audio-in null`: the modem runs on silence; `--audio-in udp:PORT` with nothing
sent: no audio arrives), its service ports on free ports and its peers on ports nobody
listens on. Once the main window is up (its packet port listens) and has settled, it reads
utime + stime of the process (/proc/PID/stat) at the start and the end of the window and
reports the share of one core, per thread as well. Process CPU time is fair on a busy
machine: the load average is printed beside the figures.

    tools/idle-cpu.py [--binary build/app/skylark] [--seconds 120] [--audio-in null]
                      [--limit 2.0]

Exits 1 when the whole process used more than --limit percent of a core.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

TICK = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cpu_ticks(stat_path):
    with open(stat_path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def thread_ticks(pid):
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
            out[tid] = (name, cpu_ticks(f"/proc/{pid}/task/{tid}/stat"))
        except OSError:
            pass
    return out


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def listening(port):
    out = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], capture_output=True, text=True).stdout
    return bool(out.strip())


def start(binary, station, audio_in, packets):
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    env.pop("SKYLARK_TIME_SCALE", None)
    ports = (f"packets={packets},ptt=0,receive-log=0,kiss={free_port()},"
             f"agwpe={free_port()},aprs-is={free_port()}")
    return subprocess.Popen([binary, "--station-dir", station, "--audio-in", audio_in,
                             "--audio-out", "null", "--ports", ports],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_for_window(proc, packets, limit_s):
    deadline = time.monotonic() + limit_s
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            sys.exit(f"skylark ended early (exit {proc.returncode})")
        if listening(packets):
            return
        time.sleep(0.5)
    proc.terminate()
    sys.exit("the main window did not come up")


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--binary", default="build/app/skylark")
    ap.add_argument("--seconds", type=float, default=120)
    ap.add_argument("--settle", type=float, default=10, help="seconds after the window is up")
    ap.add_argument("--audio-in", default="null", help="null, or udp: for a free port nobody sends to")
    ap.add_argument("--limit", type=float, default=None, help="percent of a core allowed")
    args = ap.parse_args()
    audio_in = f"udp:{free_port()}" if args.audio_in == "udp:" else args.audio_in

    station = tempfile.mkdtemp(prefix="skylark-idle-")
    try:
        # A first run writes the station's files; the measured run starts with them.
        packets = free_port()
        proc = start(args.binary, station, audio_in, packets)
        wait_for_window(proc, packets, 120)
        proc.terminate()
        proc.wait(30)

        packets = free_port()
        proc = start(args.binary, station, audio_in, packets)
        wait_for_window(proc, packets, 120)
        time.sleep(args.settle)
        before, threads_before, t0 = cpu_ticks(f"/proc/{proc.pid}/stat"), thread_ticks(proc.pid), time.monotonic()
        time.sleep(args.seconds)
        after, threads_after, t1 = cpu_ticks(f"/proc/{proc.pid}/stat"), thread_ticks(proc.pid), time.monotonic()
        rss = rss_kb(proc.pid)
        load = os.getloadavg()
        proc.terminate()
        proc.wait(30)
    finally:
        shutil.rmtree(station, ignore_errors=True)

    wall = t1 - t0
    share = 100.0 * (after - before) / TICK / wall
    print(f"audio in {audio_in}: {share:.2f} % of one core over {wall:.0f} s "
          f"({after - before} ticks of 1/{TICK} s); RSS {rss / 1024:.1f} MB; "
          f"load average {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} on {os.cpu_count()} cores")
    for tid, (name, ticks) in sorted(threads_after.items(), key=lambda kv: -kv[1][1]):
        used = ticks - threads_before.get(tid, (name, 0))[1]
        if used:
            print(f"  thread {name:16s} {100.0 * used / TICK / wall:6.2f} %")
    if args.limit is not None and share > args.limit:
        print(f"above the limit of {args.limit} %")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
