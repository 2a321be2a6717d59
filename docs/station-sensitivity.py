#!/usr/bin/python3
# Draws docs/station-sensitivity.png from docs/station-sensitivity.dat (written by
# hf_station_sensitivity): frames with a good check against SNR relative to each mode's target,
# averaged over the offsets. Run from anywhere: python3 docs/station-sensitivity.py
import os
import re

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt

here = os.path.dirname(os.path.abspath(__file__))
series = []
with open(os.path.join(here, "station-sensitivity.dat")) as f:
    for line in f:
        head = re.match(r'above "(.*)"', line)
        if head:
            series.append((head.group(1), [], []))
        elif line.strip() and series:
            x, y = line.split()
            series[-1][1].append(float(x))
            series[-1][2].append(float(y))

fig, ax = plt.subplots(figsize=(9, 6))
for name, xs, ys in series:
    ax.plot(xs, ys, marker="o", label=name)
ax.axhline(95, linestyle="--", color="grey")
ax.axvline(1, linestyle=":", color="grey")
ax.set_title("Skylark station: frames of 60..120 characters with a good check\n"
             "(offsets 0, +-20, +-40 Hz together)")
ax.set_xlabel("SNR above the mode's target (dB, 2500 Hz)")
ax.set_ylabel("frames with a good check (%)")
ax.set_ylim(0, 102)
ax.grid(True)
ax.legend(loc="lower right", fontsize="small")
fig.tight_layout()
fig.savefig(os.path.join(here, "station-sensitivity.png"))
