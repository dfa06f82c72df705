#!/usr/bin/env python3
"""Synthesises the demo tune (about 30 s) and encodes it as quillet-demo.mp3 with lame.

Eight phrases of eight plucked notes over a soft bass, 3.6 s each, in C major pentatonic;
quillet-demo.lrc stamps one line at the start of each phrase. Only the standard library and
lame are needed: python3 examples/make_demo.py
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 44100
NOTE = 0.45  # seconds per melody note
LEAD_IN = 1.0  # silence-free intro: a bass note alone before the first phrase

NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def freq(name):
    pitch, octave = name[:-1], int(name[-1])
    semis = NAMES[pitch[0]] + (1 if pitch.endswith("#") else 0) + 12 * (octave - 4) - 9
    return 440.0 * 2 ** (semis / 12)


PHRASES = [
    "C5 E5 G5 A5 G5 E5 D5 C5",
    "D5 E5 G5 E5 D5 C5 A4 G4",
    "C5 D5 E5 G5 A5 C6 A5 G5",
    "E5 G5 E5 D5 C5 D5 E5 C5",
    "A4 C5 D5 E5 G5 E5 D5 C5",
    "G5 A5 C6 A5 G5 E5 G5 A5",
    "C6 A5 G5 E5 D5 E5 G5 E5",
    "D5 C5 A4 G4 A4 C5 D5 C5",
]
BASS = ["C3", "G2", "A2", "E3", "F3", "C3", "A2", "C3"]


def render():
    phrase_len = NOTE * 8
    total = LEAD_IN + phrase_len * len(PHRASES) + 1.2
    n = int(total * RATE)
    left = [0.0] * n
    right = [0.0] * n

    def add(start, dur, f, amp, decay, pan, harmonics):
        s0 = int(start * RATE)
        count = min(int(dur * RATE), n - s0)
        w = 2 * math.pi * f / RATE
        gl, gr = amp * (1 - pan), amp * pan
        for i in range(count):
            env = math.exp(-decay * i / RATE) * min(1.0, i / 200.0)
            v = sum(h_amp * math.sin(w * h * i) for h, h_amp in harmonics) * env
            left[s0 + i] += v * gl
            right[s0 + i] += v * gr

    add(0.0, LEAD_IN + 0.2, freq("C3"), 0.22, 1.5, 0.5, [(1, 1.0), (2, 0.3)])
    for p, (phrase, bass) in enumerate(zip(PHRASES, BASS)):
        t0 = LEAD_IN + p * phrase_len
        add(t0, phrase_len + 0.3, freq(bass), 0.22, 0.9, 0.45, [(1, 1.0), (2, 0.3), (3, 0.1)])
        for k, name in enumerate(phrase.split()):
            pan = 0.35 + 0.3 * (k % 2)
            add(t0 + k * NOTE, NOTE * 2.2, freq(name), 0.18, 4.5, pan,
                [(1, 1.0), (2, 0.45), (3, 0.2), (4, 0.08)])
    peak = max(max(abs(x) for x in left), max(abs(x) for x in right))
    scale = 0.85 * 32767 / peak
    frames = bytearray()
    for a, b in zip(left, right):
        frames += struct.pack("<hh", int(a * scale), int(b * scale))
    return bytes(frames)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "quillet-demo.mp3")
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "demo.wav")
        with wave.open(wav, "wb") as f:
            f.setnchannels(2)
            f.setsampwidth(2)
            f.setframerate(RATE)
            f.writeframes(render())
        subprocess.run(["lame", "--quiet", "-b", "96", "--id3v1-only", "--tt", "Quillet Demo",
                        "--ta", "Quillet", "--tl", "Examples", wav, out], check=True)
    print(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
