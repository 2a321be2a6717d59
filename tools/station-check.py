#!/usr/bin/python3
"""The station check: recordings of several HF frames played into the running program.

For each noise seed, build/hf/hf_station_check_recording writes a recording of frames in the
modes the default channel plan receives (made by the independent generator of tests/data/hf;
GMSK by this program's modulator), on and off the HF audio frequency, each 1 dB above its
mode's target. The program (default settings: 2100 Hz, "GMSK-250") plays it with
`--audio-in wav:` at ten times real time; the frames in its heard log are compared with what
was sent and with what `skylark-modem decode --plan 2100` finds on the same file.

    tools/station-check.py [--build build] [--seeds 1-16] [--rate 11025]

--rate makes the recordings at another sample rate (48000: the program's default sound card
rate).

A frame body sent twice (the same reference recording at two offsets) is counted by how often
it appears: in the heard log, and on the plan channel that decoded it most often. Exits 1 when
the station missed a frame the plan decoded.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import wave


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def seeds(text):
    first, _, last = text.partition("-")
    return range(int(first), int(last or first) + 1)


def plan_counts(build, wav, bodies):
    out = subprocess.run([f"{build}/tools/skylark-modem/skylark-modem", "decode", "--plan", "2100", wav],
                         capture_output=True, check=True).stdout
    channels = {}
    for line in out.split(b"\n"):
        ch, _, text = line.partition(b": ")
        channels[ch] = channels.get(ch, b"") + text + b"\n"
    return {b: max(t.count(b"...~" + b) for t in channels.values()) for b in set(bodies)}


def heard_counts(build, wav, bodies, audio_seconds):
    station = tempfile.mkdtemp(prefix="skylark-check-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SKYLARK_TIME_SCALE="0.1")
    ports = (f"packets={free_port()},ptt=0,receive-log=0,kiss={free_port()},"
             f"agwpe={free_port()},aprs-is={free_port()}")
    log = os.path.join(station, "skylark_mheard.log")
    sent = {b: bodies.count(b) for b in set(bodies)}

    def heard():
        try:
            with open(log, "rb") as f:
                text = f.read()
        except OSError:
            text = b""
        return {b: text.count(b) for b in sent}

    proc = subprocess.Popen([f"{build}/app/skylark", "--station-dir", station, "--audio-in", f"wav:{wav}",
                             "--audio-out", "null", "--ports", ports],
                            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The audio plays at ten times real time once the window is up; a busy machine may
        # take longer to decode it, and nothing is lost while it catches up.
        deadline = time.monotonic() + 10 + audio_seconds * 0.3
        while time.monotonic() < deadline and heard() != sent:
            time.sleep(0.5)
        time.sleep(2)
        return heard()
    finally:
        proc.terminate()
        proc.wait(30)
        shutil.rmtree(station, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build")
    ap.add_argument("--seeds", type=seeds, default=seeds("1-16"))
    ap.add_argument("--rate", type=int, default=11025)
    args = ap.parse_args()
    env = dict(os.environ)
    env.setdefault("SKYLARK_TEST_DATA", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data"))
    work = tempfile.mkdtemp(prefix="skylark-recordings-")
    totals = {"sent": 0, "plan": 0, "heard": 0}
    missed_planned = 0
    try:
        for seed in args.seeds:
            wav = os.path.join(work, f"check-{seed}.wav")
            bodies = subprocess.run([f"{args.build}/hf/hf_station_check_recording", "--seed", str(seed),
                                     "--rate", str(args.rate), "--out", wav], capture_output=True,
                                    check=True, env=env).stdout.rstrip(b"\n").split(b"\n")
            with wave.open(wav, "rb") as w:
                audio_seconds = w.getnframes() / w.getframerate()
            plan = plan_counts(args.build, wav, bodies)
            heard = heard_counts(args.build, wav, bodies, audio_seconds)
            line = []
            for body in dict.fromkeys(bodies):
                sent = bodies.count(body)
                totals["sent"] += sent
                totals["plan"] += min(plan[body], sent)
                totals["heard"] += min(heard[body], sent)
                if heard[body] < min(plan[body], sent):
                    missed_planned += min(plan[body], sent) - heard[body]
                if heard[body] < sent or plan[body] < sent:
                    line.append(f"{body.decode('latin-1')[:40]!r}: sent {sent}, plan {plan[body]}, "
                                f"heard {heard[body]}")
            print(f"seed {seed}: " + ("every frame heard" if not line else "; ".join(line)), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"frames sent {totals['sent']}, decoded by the plan {totals['plan']}, "
          f"heard by the station {totals['heard']}; planned but not heard: {missed_planned}")
    return 1 if missed_planned else 0


if __name__ == "__main__":
    sys.exit(main())
