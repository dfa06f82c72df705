#!/usr/bin/env python3
"""Track joints and transport clicks, Quillet beside mpv through a private PulseAudio null sink.

  bench/gapless_bench.py [--bin build/bench/sound_server_bench]

1. Joints. One continuous 440 Hz tone at 0.5 is cut at a sample boundary into two files, as
   WAVE and as LAME MP3 (192 kb/s CBR, with the LAME header's delay and padding). mpv plays
   the pair with --gapless-audio=yes; Quillet's engine plays the first with the second queued
   behind it (`sound_server_bench queue`), and Quillet's player plays them in list loop, with a
   silent third track after them, ticked as the window's refresh timer does
   (`sound_server_bench listloop`). The sink's monitor is recorded.
   "Broken" is measured against the ideal tone: a sine of 440 Hz is fitted (least squares,
   amplitude and phase) to the first 0.3 s of the sound and another to its last 0.3 s; the
   broken stretch runs from the first sample that leaves the first fit by more than 0.1 (a
   fifth of the amplitude) to the last sample that leaves the second fit by as much. A joint
   without gap, repeat or jump leaves neither fit and measures 0 ms; a gap measures its length
   at least. The largest sample-to-sample step over the whole sound is given too (the tone's
   own is 0.031).
2. Transport. A 440 Hz tone is played; each player pauses at 1.0 s, resumes at 1.5 s, seeks
   to 5.0 s at 2.5 s and stops at 3.5 s (mpv over its IPC socket, Quillet's engine through
   `sound_server_bench transport`). The largest step between neighbouring samples within 20 ms
   of where the pause's silence begins and ends, across the seek (all the sound from the resume
   to the stop) and at the stop shows a click as a step far above the tone's own 0.031. Each
   player runs --runs times; the worst of each column is shown.

Needs pulseaudio, pulseaudio-utils (pacat, parec), mpv and lame. Standard library only.
"""
import argparse
import json
import math
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sound_server_bench import RATE, ROOT, Pulse, Recording, need, write_wave  # noqa: E402

import array  # noqa: E402

FREQ = 440.0
AMP = 0.5
THRESHOLD = 0.1


def tone(first, count):
    out = array.array("h", bytes(4 * count))
    for i in range(count):
        v = int(round(AMP * math.sin(2 * math.pi * FREQ * (first + i) / RATE) * 32767))
        out[2 * i] = out[2 * i + 1] = v
    return out


def make_pairs(tmp):
    cut, total = RATE * 7 // 10 + 13, RATE * 3 // 2
    pairs = {}
    a, b = os.path.join(tmp, "a.wav"), os.path.join(tmp, "b.wav")
    write_wave(a, tone(0, cut))
    write_wave(b, tone(cut, total - cut))
    pairs["WAVE"] = (a, b)
    mp3 = []
    for w in (a, b):
        m = w[:-4] + ".mp3"
        subprocess.run(["lame", "--quiet", "--noreplaygain", "--cbr", "-b", "192", w, m],
                       check=True)
        mp3.append(m)
    pairs["LAME MP3"] = tuple(mp3)
    quiet = os.path.join(tmp, "quiet.wav")
    write_wave(quiet, array.array("h", bytes(4 * RATE)))
    pairs["quiet"] = quiet
    long_tone = os.path.join(tmp, "tone.wav")
    write_wave(long_tone, tone(0, 8 * RATE))
    return pairs, long_tone


def sound_runs(x, bridge=64, level=0.02):
    runs = []
    for i, v in enumerate(x):
        if abs(v) < level:
            continue
        if runs and i - runs[-1][1] <= bridge:
            runs[-1][1] = i + 1
        else:
            runs.append([i, i + 1])
    return runs


def fit(x, a, b):
    """Least-squares a*sin + b*cos at FREQ over x[a:b]; returns the fitted function."""
    ss = sc = cc = xs = xc = 0.0
    for i in range(a, b):
        s, c = math.sin(2 * math.pi * FREQ * i / RATE), math.cos(2 * math.pi * FREQ * i / RATE)
        ss, sc, cc, xs, xc = ss + s * s, sc + s * c, cc + c * c, xs + x[i] * s, xc + x[i] * c
    det = ss * cc - sc * sc
    p, q = (xs * cc - xc * sc) / det, (xc * ss - xs * sc) / det
    return lambda i: p * math.sin(2 * math.pi * FREQ * i / RATE) + q * math.cos(
        2 * math.pi * FREQ * i / RATE)


def largest_step(x, a, b):
    return max((abs(x[i] - x[i - 1]) for i in range(max(a, 1), min(b, len(x)))), default=0.0)


def joint(x):
    runs = sound_runs(x)
    if not runs:
        return {"broken_ms": float("nan"), "step": float("nan"), "runs": 0, "seconds": 0}
    a, b = runs[0][0], runs[-1][1]
    edge = RATE // 20  # leave the very start and end alone
    window = RATE * 3 // 10
    f1, f2 = fit(x, a + edge, a + edge + window), fit(x, b - edge - window, b - edge)
    first = next((i for i in range(a + edge, b - edge) if abs(x[i] - f1(i)) > THRESHOLD), None)
    last = next((i for i in range(b - edge, a + edge, -1) if abs(x[i] - f2(i)) > THRESHOLD),
                None)
    broken = 0.0 if first is None or last is None else max(0, last - first + 1) / RATE * 1000
    return {"broken_ms": broken, "step": largest_step(x, a + edge, b - edge), "runs": len(runs),
            "seconds": (b - a) / RATE}


def transport_steps(x):
    """Steps at the pause (the longest silence begins), the resume (it ends), across the seek
    (the sound after the resume) and at the stop (the end of the sound)."""
    runs = sound_runs(x, bridge=RATE // 50)
    near = RATE // 50
    if len(runs) < 2:
        return {"pause": float("nan"), "resume": float("nan"), "seek": float("nan"),
                "stop": float("nan"), "runs": len(runs)}
    _, i = max((runs[k + 1][0] - runs[k][1], k) for k in range(len(runs) - 1))
    pause_end, resume_start, end = runs[i][1], runs[i + 1][0], runs[-1][1]
    padded = list(x) + [0.0] * near
    return {"pause": largest_step(padded, pause_end - near, pause_end + near),
            "resume": largest_step(padded, resume_start - near, resume_start + near),
            "seek": largest_step(padded, resume_start + near, end - near),
            "stop": largest_step(padded, end - near, end + near),
            "runs": len(runs)}


def mpv_ipc(pulse, path, schedule):
    sock = os.path.join(pulse.tmp, "mpv-t.sock")
    if os.path.exists(sock):
        os.unlink(sock)
    p = subprocess.Popen(["mpv", "--no-config", "--ao=pulse", "--no-video", "--no-terminal",
                          f"--input-ipc-server={sock}", path], env=pulse.env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not os.path.exists(sock):
        time.sleep(0.005)
    s = socket.socket(socket.AF_UNIX)
    for _ in range(500):
        try:
            s.connect(sock)
            break
        except OSError:
            time.sleep(0.01)
    t0 = time.monotonic()
    for at, command in schedule:
        time.sleep(max(0.0, t0 + at - time.monotonic()))
        s.sendall((json.dumps({"command": command}) + "\n").encode())
    time.sleep(0.2)
    p.terminate()
    p.wait()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "bench", "sound_server_bench"))
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    need("pulseaudio", "pacat", "parec", "mpv", "lame")
    bench = os.path.abspath(args.bin)
    tmp = tempfile.mkdtemp(prefix="quillet-gapless-")
    pulse = Pulse(tmp)
    try:
        pairs, long_tone = make_pairs(tmp)
        print(f"\nJoints of two files cut from one {FREQ:.0f} Hz tone (1.5 s in all); broken: "
              f"off the fitted tone by more than {THRESHOLD}")
        print(f"{'':10} {'player':28} {'broken':>9} {'largest step':>13} {'sound runs':>11} "
              f"{'heard':>7}")
        quiet = pairs.pop("quiet")
        for kind, (a, b) in pairs.items():
            for name, cmd in (("mpv --gapless-audio=yes",
                               ["mpv", "--no-config", "--ao=pulse", "--no-video", "--no-terminal",
                                "--gapless-audio=yes", a, b]),
                              ("Quillet engine (queue)", [bench, "queue", a, b]),
                              ("Quillet player (list loop)", [bench, "listloop", a, b, quiet])):
                rec = Recording(pulse, os.path.join(tmp, "joint.raw"))
                subprocess.run(cmd, env=pulse.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, check=True)
                r = joint(rec.stop())
                print(f"{kind:10} {name:28} {r['broken_ms']:6.1f} ms {r['step']:13.3f} "
                      f"{r['runs']:11d} {r['seconds']:6.3f}s")

        print(f"\nTransport on a {FREQ:.0f} Hz tone at {AMP}: largest sample step (tone's own: "
              f"{AMP * 2 * math.pi * FREQ / RATE:.3f})")
        print(f"{'':28} {'pause':>7} {'resume':>7} {'seek':>7} {'stop':>7}")
        schedule = [(1.0, ["set_property", "pause", True]),
                    (1.5, ["set_property", "pause", False]),
                    (2.5, ["seek", 5.0, "absolute"]), (3.5, ["stop"])]
        for name in ("mpv", "Quillet"):
            worst = {}
            for _ in range(args.runs):
                rec = Recording(pulse, os.path.join(tmp, "transport.raw"))
                if name == "mpv":
                    mpv_ipc(pulse, long_tone, schedule)
                else:
                    subprocess.run([bench, "transport", long_tone], env=pulse.env,
                                   stdout=subprocess.DEVNULL, check=True)
                for k, v in transport_steps(rec.stop()).items():
                    worst[k] = max(worst.get(k, 0), v)
            r = worst
            print(f"{name:28} {r['pause']:7.3f} {r['resume']:7.3f} {r['seek']:7.3f} "
                  f"{r['stop']:7.3f}")
    finally:
        pulse.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
