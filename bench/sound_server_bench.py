#!/usr/bin/env python3
"""Quillet beside mpv through a private PulseAudio with a null sink, in one run.

  bench/sound_server_bench.py [--bin build/bench/sound_server_bench]
                              [--program build/src/quillet] [--seconds 20] [--rows 1000]
                              [--display offscreen|xvfb|both] [--program-only]

1. Cost: each player plays the same 4-minute VBR MP3; over `--seconds` (after 2 s of warm-up)
   the CPU time of the player and of the sound server is read from /proc/<pid>/stat, and the
   player's peak RSS from /proc/<pid>/status. Quillet is measured twice: the engine alone, and
   the program itself (offscreen, on a session bus of its own) started with the MP3 and
   `--rows` - 1 short MP3 files on its command line, so that its list holds `--rows` rows,
   offscreen and on a real X display (Xvfb, started for the run) as `--display` says.
   `--program-only` measures just the program (no mpv, no engine alone, no sync or gap measurements).
2. Sync, pause, seek: a file with clicks at every half second over a quiet tone is played by
   mpv and then by Quillet while the sink's monitor is recorded. mpv's reported position
   (time-pos over its IPC socket) ties the recording to the clock; Quillet's reported position
   at each click heard gives the sync error. Quillet pauses, resumes and seeks on a schedule:
   pause latency is the time from the call to the silence, seek latency the time from the call
   to the new place being heard.
3. Gaps under load: with both cores busy (two `sha256sum /dev/zero`), a continuous 1 kHz tone
   played by Quillet is recorded and searched for dropouts and jumps.

Needs pulseaudio, pulseaudio-utils (pacat, parec), mpv, sox and lame (and xvfb for the X display).
Standard library only.
"""
import argparse
import array
import json
import math
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

RATE = 44100
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = os.sysconf("SC_CLK_TCK")


def need(*programs):
    missing = [p for p in programs if not shutil.which(p)]
    if missing:
        sys.exit("missing: " + " ".join(missing) + " (apt-get install pulseaudio pulseaudio-utils mpv sox lame)")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK  # utime, stime


def peak_rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


class Pulse:
    def __init__(self, tmp):
        self.tmp = tmp
        self.sock = os.path.join(tmp, "native")
        self.env = dict(os.environ, PULSE_SERVER="unix:" + self.sock, HOME=tmp,
                        XDG_RUNTIME_DIR=tmp, XDG_CONFIG_HOME=tmp)
        self.env.pop("SDL_AUDIODRIVER", None)
        self.proc = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=no",
             "--use-pid-file=no", "-L", "module-null-sink sink_name=qtest rate=44100",
             "-L", f"module-native-protocol-unix socket={self.sock} auth-anonymous=1"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(500):
            if os.path.exists(self.sock):
                break
            time.sleep(0.01)
        else:
            sys.exit("pulseaudio did not start")
        time.sleep(0.3)

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


class Recording:
    """parec on the monitor, with a silent low-latency stream keeping the null sink rendering
    in small steps (an idle null sink renders, and so records, in blocks of seconds)."""

    FMT = ["--raw", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=20"]

    def __init__(self, pulse, path):
        self.path = path
        self.keeper = subprocess.Popen(["pacat", "-p", *self.FMT, "/dev/zero"], env=pulse.env)
        self.out = open(path, "wb")
        self.rec = subprocess.Popen(["parec", "-d", "qtest.monitor", *self.FMT], env=pulse.env,
                                    stdout=self.out)
        while not os.path.exists(path) or os.path.getsize(path) < RATE * 4 // 5:
            time.sleep(0.01)

    def stop(self):
        time.sleep(0.5)
        self.rec.send_signal(signal.SIGINT)
        self.rec.wait()
        self.keeper.terminate()
        self.keeper.wait()
        self.out.close()
        data = array.array("h")
        with open(self.path, "rb") as f:
            data.frombytes(f.read())
        return [v / 32768.0 for v in data[0::2]]


def make_files(tmp):
    files = {}
    raw = os.path.join(tmp, "music.wav")
    # Four minutes of something music-like: pink noise under a sweeping chord.
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", raw, "synth", "240",
                    "pinknoise", "sine", "220-880", "sine", "330-440", "sine", "550-660",
                    "remix", "1,2,3,4", "1,2,3,4", "gain", "-n", "-3"], check=True)
    files["music"] = os.path.join(tmp, "music.mp3")
    subprocess.run(["lame", "--quiet", "-V", "2", raw, files["music"]], check=True)
    tone = os.path.join(tmp, "tone.wav")
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", tone, "synth", "14", "sine",
                    "1000", "vol", "0.5"], check=True)
    files["tone"] = os.path.join(tmp, "tone.mp3")
    subprocess.run(["lame", "--quiet", "-V", "2", tone, files["tone"]], check=True)
    # Clicks (4 ms of 2 kHz at 0.8) every half second over a quiet 300 Hz tone, 20 s.
    n = 20 * RATE
    samples = array.array("h", bytes(4 * n))
    for i in range(n):
        v = 0.08 * math.sin(2 * math.pi * 300 * i / RATE)
        k = i % (RATE // 2)
        if i >= RATE // 2 and k < RATE * 4 // 1000:
            v += 0.8 * math.sin(2 * math.pi * 2000 * k / RATE)
        samples[2 * i] = samples[2 * i + 1] = int(v * 32767)
    files["clicks"] = os.path.join(tmp, "clicks.wav")
    write_wave(files["clicks"], samples)
    # One second of a tone, copied for the rows of a long list.
    files["short"] = os.path.join(tmp, "short.mp3")
    subprocess.run(["sox", "-q", tone, os.path.join(tmp, "short.wav"), "trim", "0", "1"],
                   check=True)
    subprocess.run(["lame", "--quiet", "-V", "2", os.path.join(tmp, "short.wav"), files["short"]],
                   check=True)
    return files


def make_rows(tmp, short, count):
    folder = os.path.join(tmp, "rows")
    os.makedirs(folder, exist_ok=True)
    rows = []
    for i in range(count):
        path = os.path.join(folder, f"track{i:04d}.mp3")
        shutil.copyfile(short, path)
        rows.append(path)
    return rows


def write_wave(path, samples):
    import wave
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples.tobytes())


def child_named(parent, name):
    """The pid of `parent`'s child called `name` (the program under dbus-run-session)."""
    for _ in range(500):
        out = subprocess.run(["pgrep", "-P", str(parent), "-x", name], capture_output=True,
                             text=True).stdout.split()
        if out:
            return int(out[0])
        time.sleep(0.01)
    sys.exit(f"{name} did not start")


def cost(pulse, cmd, seconds, env=None, child=None):
    p = subprocess.Popen(cmd, env=env or pulse.env, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
    pid = child_named(p.pid, child) if child else p.pid
    time.sleep(2)
    c0, s0, t0 = cpu_seconds(pid), cpu_seconds(pulse.proc.pid), time.monotonic()
    time.sleep(seconds)
    c1, s1, t1 = cpu_seconds(pid), cpu_seconds(pulse.proc.pid), time.monotonic()
    rss = peak_rss_mib(pid)
    alive = p.poll() is None
    if pid != p.pid:
        os.kill(pid, signal.SIGTERM)
    p.terminate()
    p.wait()
    wall = t1 - t0
    return {"client": 100 * (c1 - c0) / wall, "server": 100 * (s1 - s0) / wall, "rss": rss,
            "alive": alive}


class Xvfb:
    """A private X server; `display` is its name (":N")."""

    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp"], pass_fds=(w,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        if not number:
            sys.exit("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def mpv_positions(pulse, path, seconds):
    sock = os.path.join(pulse.tmp, "mpv.sock")
    p = subprocess.Popen(["mpv", "--no-config", "--ao=pulse", "--no-video", "--no-terminal",
                          f"--input-ipc-server={sock}", path], env=pulse.env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not os.path.exists(sock):
        time.sleep(0.005)
    s = socket.socket(socket.AF_UNIX)
    s.connect(sock)
    f = s.makefile("rw")
    log = []
    end = time.monotonic() + seconds
    rid = 0
    while time.monotonic() < end:
        rid += 1
        a = time.monotonic()
        f.write(json.dumps({"command": ["get_property", "time-pos"], "request_id": rid}) + "\n")
        f.flush()
        while True:
            msg = json.loads(f.readline())
            if msg.get("request_id") == rid:
                break
        b = time.monotonic()
        if msg.get("error") == "success" and msg.get("data") is not None:
            log.append(((a + b) / 2, float(msg["data"])))
        time.sleep(0.005)
    p.terminate()
    p.wait()
    return log


def onsets(x, threshold=0.3, quiet=0.1):
    """Sample indices where a click starts: loud after at least 0.1 s without one."""
    found, last = [], -RATE
    for i, v in enumerate(x):
        if abs(v) > threshold:
            if i - last > quiet * RATE:
                found.append(i)
            last = i
    return found


def crossings(log, clicks, max_step=0.05):
    """Clock time at which a position log passes each click time (no interpolation across a
    jump or a hold)."""
    out = {}
    for (ta, pa), (tb, pb) in zip(log, log[1:]):
        if not (0 < pb - pa < max_step):
            continue
        for c in clicks:
            if pa <= c < pb and c not in out:
                out[c] = ta + (tb - ta) * (c - pa) / (pb - pa)
    return out


def nearest(values, target, within):
    best = min(values, key=lambda v: abs(v - target), default=None)
    return best if best is not None and abs(best - target) <= within else None


def sync_run(pulse, bench, files):
    rec = Recording(pulse, os.path.join(pulse.tmp, "sync.raw"))
    t_rec = time.monotonic()  # rough only: the calibration below ties the recording to the clock
    mpv_log = mpv_positions(pulse, files["clicks"], 4.5)
    time.sleep(0.5)
    out = subprocess.run([bench, "sync", files["clicks"]], env=pulse.env, capture_output=True,
                         text=True, check=True).stdout
    x = rec.stop()
    heard = [i / RATE for i in onsets(x)]
    clicks = [0.5 * k for k in range(1, 40)]

    # Calibration. mpv's time-pos is a staircase: it is updated every few tens of ms and holds
    # in between, so the clock time at which it passes a click lags by up to a step. Where it
    # was just updated it is exact: the lower edge of (clock - position) is mpv's start time.
    steady = sorted(w - p for w, p in mpv_log if p > 0.3)
    start = steady[min(2, len(steady) - 1)]
    last = max(p for _, p in mpv_log)
    mpv_at = {c: start + c for c in clicks if 0.3 < c < last}
    # Its first click pins the recording roughly, the rest refine it.
    first = min(mpv_at)
    guess = nearest(heard, mpv_at[first] - t_rec, 1.0)
    offset0 = mpv_at[first] - guess
    offsets = []
    for c, w in sorted(mpv_at.items()):
        r = nearest(heard, w - offset0, 0.1)
        if r is not None:
            offsets.append(w - r)
    offsets.sort()
    offset = offsets[len(offsets) // 2]

    log, events = [], {}
    for line in out.splitlines():
        parts = line.split()
        if parts[0] == "pos":
            log.append((float(parts[1]), float(parts[2])))
        else:
            events[parts[0]] = float(parts[1])
    errors = []
    for c, w in sorted(crossings(log, clicks).items()):
        r = nearest(heard, w - offset, 0.15)
        if r is not None:
            errors.append((c, w - (r + offset)))  # > 0: the position reaches a click after it is heard

    # Pause: the last sound before the silence, as clock time, after the call.
    pause_at = events["pause"]
    i = int((pause_at - offset) * RATE) - RATE // 10
    last_loud = None
    while i < len(x) and (pause_at - offset) * RATE + 0.6 * RATE > i:
        if abs(x[i]) > 0.02:
            last_loud = i
        i += 1
    pause_latency = last_loud / RATE + offset - pause_at if last_loud else float("nan")
    # Seek to 10.48 s: the click at 10.5 s is heard 20 ms after the new place starts.
    seek_at = events["seek"]
    r = nearest(heard, seek_at - offset + 0.05, 0.3)
    seek_latency = r + offset - 0.02 - seek_at if r is not None else float("nan")
    return {"mpv_spread": (offsets[-1] - offsets[0]) if offsets else float("nan"),
            "mpv_clicks": len(offsets), "errors": errors, "pause": pause_latency,
            "seek": seek_latency}


def load_run(pulse, bench, files):
    busy = [subprocess.Popen(["sha256sum", "/dev/zero"], stdout=subprocess.DEVNULL)
            for _ in range(os.cpu_count() or 2)]
    time.sleep(1)
    rec = Recording(pulse, os.path.join(pulse.tmp, "load.raw"))
    subprocess.run([bench, "engine", files["tone"], "10"], env=pulse.env,
                   stdout=subprocess.DEVNULL, check=True)
    x = rec.stop()
    for b in busy:
        b.kill()
        b.wait()
    loud = [i for i, v in enumerate(x) if abs(v) > 0.05]
    if not loud:
        return {"played": 0, "gaps": -1, "jump": float("nan")}
    a, b = loud[0] + RATE // 10, loud[-1] - RATE // 10
    gaps, run = 0, 0
    for v in x[a:b]:
        run = run + 1 if abs(v) < 0.02 else 0
        if run == RATE // 1000:  # 1 ms of silence inside a 1 kHz tone
            gaps += 1
    jump = max(abs(x[i] - x[i - 1]) for i in range(a + 1, b))
    return {"played": (loud[-1] - loud[0]) / RATE, "gaps": gaps, "jump": jump}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--bin", default=os.path.join(ROOT, "build", "bench", "sound_server_bench"))
    ap.add_argument("--program", default=os.path.join(ROOT, "build", "src", "quillet"))
    ap.add_argument("--seconds", type=float, default=20)
    ap.add_argument("--rows", type=int, default=1000)
    ap.add_argument("--display", choices=["offscreen", "xvfb", "both"], default="both",
                    help="where the program's window goes")
    ap.add_argument("--program-only", action="store_true",
                    help="measure only the program, without mpv, the engine alone, sync and gaps")
    args = ap.parse_args()
    tools = ["pulseaudio", "sox", "lame", "dbus-run-session"]
    if not args.program_only:
        tools += ["pacat", "parec", "mpv", "sha256sum"]
    if args.display != "offscreen":
        tools.append("Xvfb")
    need(*tools)
    bench = os.path.abspath(args.bin)
    tmp = tempfile.mkdtemp(prefix="quillet-bench-")
    pulse = Pulse(tmp)
    xvfb = Xvfb() if args.display != "offscreen" else None
    try:
        files = make_files(tmp)
        rows = make_rows(tmp, files["short"], args.rows - 1)
        secs = args.seconds
        idle = cost(pulse, ["sleep", str(secs + 3)], secs)
        runs = {}
        if not args.program_only:
            runs["mpv --ao=pulse"] = cost(pulse, ["mpv", "--no-config", "--ao=pulse", "--no-video",
                                                  "--no-terminal", files["music"]], secs)
            runs["Quillet engine"] = cost(pulse, [bench, "engine", files["music"], str(secs + 10)],
                                          secs)
        program = ["dbus-run-session", "--", os.path.abspath(args.program), files["music"]] + rows
        displays = {"offscreen": dict(pulse.env, QT_QPA_PLATFORM="offscreen")}
        if xvfb:
            x11 = dict(pulse.env, QT_QPA_PLATFORM="xcb", DISPLAY=xvfb.display)
            x11.pop("WAYLAND_DISPLAY", None)
            displays["X11 (Xvfb)"] = x11
            if args.display == "xvfb":
                del displays["offscreen"]
        for where, env in displays.items():
            runs[f"Quillet program, {args.rows} rows, {where}"] = cost(
                pulse, program, secs, env, child="quillet")
        print(f"\nCost over {secs:.0f} s of a 4-minute VBR MP3 (server idle: {idle['server']:.2f} %)")
        print(f"{'':44} {'player':>8} {'server':>8} {'together':>9} {'peak RSS':>9}")
        for name, r in runs.items():
            print(f"{name:44} {r['client']:7.2f}% {r['server']:7.2f}% "
                  f"{r['client'] + r['server']:8.2f}% {r['rss']:5.1f} MiB"
                  + ("" if r["alive"] else "  (ended early!)"))
        if args.program_only:
            return
        mpv_total = runs["mpv --ao=pulse"]["client"] + runs["mpv --ao=pulse"]["server"]
        for name, r in runs.items():
            if name.startswith("Quillet"):
                print(f"{name} / mpv, together: {(r['client'] + r['server']) / mpv_total:.2f}")

        s = sync_run(pulse, bench, files)
        errs = [e for _, e in s["errors"]]
        print(f"\nSync (clicks heard vs. position reported; mpv calibrates, spread "
              f"{1000 * s['mpv_spread']:.1f} ms over {s['mpv_clicks']} clicks)")
        if errs:
            print(f"  {len(errs)} clicks: mean {1000 * sum(errs) / len(errs):+.1f} ms, "
                  f"worst {1000 * max(errs, key=abs):+.1f} ms")
            print("  " + ", ".join(f"{c:.1f}s {1000 * e:+.0f}" for c, e in s["errors"]))
        print(f"  pause: silent {1000 * s['pause']:.1f} ms after the call")
        print(f"  seek: new place heard {1000 * s['seek']:.1f} ms after the call")

        lr = load_run(pulse, bench, files)
        print(f"\nBoth cores busy: {lr['played']:.2f} s of tone played, {lr['gaps']} dropouts, "
              f"largest step between samples {lr['jump']:.3f} (a clean 1 kHz sine at 0.5: 0.071)")
    finally:
        if xvfb:
            xvfb.stop()
        pulse.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
