#!/usr/bin/env python3
"""What the desktop lyric bar costs: Quillet with the bar beside Quillet without it, in one run.

  bench/desktop_lyrics_bench.py [--program build/src/quillet] [--seconds 20] [--pairs 3]
                                [--exact]

Each run starts the program on a virtual X display (Xvfb, started for the run), on a session bus
of its own, with SDL's dummy sound output, playing a silent 90-second WAVE file whose lyric shows
one line from half a second on and nothing else for a minute: a line is shown and nothing
changes. The options file says whether the bar is on. After 3 s of warm-up the process's CPU
time (user + system, /proc/<pid>/stat) is read over `--seconds`. Runs alternate, bar off and on,
`--pairs` times; the medians and their difference (the bar's cost, in per cent of one core) are
printed. `--exact` turns exact lyric timing on for both. Standard library only.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = os.sysconf("SC_CLK_TCK")
TARGET = 0.2  # per cent of one core


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime, stime


def start_xvfb():
    r, w = os.pipe()
    p = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24",
                          "-nolisten", "tcp"], pass_fds=(w,), stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    os.close(w)
    number = b""
    deadline = time.monotonic() + 20
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(r, 32)
        if not chunk:
            break
        number += chunk
    os.close(r)
    if not number.endswith(b"\n"):
        p.kill()
        sys.exit("Xvfb did not start")
    return p, ":" + number.decode().strip()


def session_bus(tmp):
    p = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, cwd=tmp)
    return p, p.stdout.readline().strip()


def silent_wave(path, seconds):
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(b"\0" * (44100 * 4 * seconds))


def run_once(program, env, cwd, song, seconds):
    p = subprocess.Popen([program, song], env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    try:
        time.sleep(3)
        if p.poll() is not None:
            sys.exit("quillet ended early:\n" + p.stderr.read().decode(errors="replace"))
        c0, t0 = cpu_seconds(p.pid), time.monotonic()
        time.sleep(seconds)
        c1, t1 = cpu_seconds(p.pid), time.monotonic()
        return 100 * (c1 - c0) / (t1 - t0)
    finally:
        p.terminate()
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
        p.stderr.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--program", default=os.path.join(ROOT, "build", "src", "quillet"))
    ap.add_argument("--seconds", type=float, default=20)
    ap.add_argument("--pairs", type=int, default=3)
    ap.add_argument("--exact", action="store_true")
    args = ap.parse_args()
    for tool in ("Xvfb", "dbus-daemon"):
        if not shutil.which(tool):
            sys.exit(f"missing: {tool} (apt-get install xvfb dbus-daemon)")
    tmp = tempfile.mkdtemp(prefix="quillet-bar-")
    helpers = []
    try:
        xvfb, display = start_xvfb()
        helpers.append(xvfb)
        bus, address = session_bus(tmp)
        helpers.append(bus)
        song = os.path.join(tmp, "song.wav")
        silent_wave(song, 90)
        with open(os.path.join(tmp, "song.lrc"), "w", encoding="utf-8") as f:
            f.write("[00:00.50]桌面歌词：这一行一直不变\n[01:20.00]完\n")
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", DISPLAY=display, HOME=tmp,
                   XDG_RUNTIME_DIR=tmp, DBUS_SESSION_BUS_ADDRESS=address,
                   SDL_AUDIODRIVER="dummy")
        for name in ("QUILLET_TEST", "QUILLET_SCREENSHOT", "WAYLAND_DISPLAY", "PULSE_SERVER"):
            env.pop(name, None)
        configs = {}
        for shown in (False, True):
            home = os.path.join(tmp, "bar-on" if shown else "bar-off")
            os.makedirs(os.path.join(home, "quillet"))
            with open(os.path.join(home, "quillet", "options.ini"), "w") as f:
                f.write(f"[lyrics]\nexact={'true' if args.exact else 'false'}\n"
                        f"[desktopLyrics]\nshown={'true' if shown else 'false'}\n")
            configs[shown] = dict(env, XDG_CONFIG_HOME=home)
        program = os.path.abspath(args.program)
        results = {False: [], True: []}
        for i in range(args.pairs):
            order = [False, True] if i % 2 == 0 else [True, False]
            for shown in order:
                pct = run_once(program, configs[shown], tmp, song, args.seconds)
                results[shown].append(pct)
                print(f"  run {i + 1}, bar {'on ' if shown else 'off'}: {pct:.3f} % of a core",
                      flush=True)
        off = statistics.median(results[False])
        on = statistics.median(results[True])
        cost = round(on - off, 3) + 0.0  # no "-0.000"
        print(f"Playing with one lyric line shown and nothing changing, {args.seconds:.0f} s per "
              f"run, median of {args.pairs} ({'exact' if args.exact else 'classic'} timing, Xvfb):")
        print(f"{'without the bar':18} {off:7.3f} % of a core")
        print(f"{'with the bar':18} {on:7.3f} % of a core")
        print(f"{'the bar costs':18} {cost:7.3f} % of a core   (target under {TARGET} %: "
              f"{'met' if cost < TARGET else 'NOT met'})")
    finally:
        for h in reversed(helpers):
            h.terminate()
            h.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
