#!/usr/bin/env python3
"""Quillet's start beside a minimal Qt window, pair by pair in one run.

  bench/startup_bench.py [--program build/src/quillet] [--minimal build/bench/minimal_window]
                         [--runs 21] [--no-sound-server]

Each run starts a program and waits for it to end: Quillet with QUILLET_SCREENSHOT and
QUILLET_SCREENSHOT_DELAY=0 (it saves its main window once shown, then ends), the minimal window
(bench/minimal_window.cpp: a list, a label, a slider and a timer) doing the same. Both run
offscreen, on a session bus of their own and, unless --no-sound-server, beside a private
PulseAudio with a null sink, as on a desktop. Wall time is from the start of the process to its
end; CPU is its user and system time (os.wait4). The two alternate which goes first; two warm-up
pairs are not counted. Prints the medians and Quillet's ratio to the minimal window. Standard
library only.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGET = 1.5


def session_bus(tmp):
    """A private dbus-daemon; returns (process, address)."""
    p = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, text=True, cwd=tmp)
    return p, p.stdout.readline().strip()


def sound_server(tmp, env):
    sock = os.path.join(tmp, "native")
    p = subprocess.Popen(
        ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=no",
         "--use-pid-file=no", "-L", "module-null-sink sink_name=bench rate=44100",
         "-L", f"module-native-protocol-unix socket={sock} auth-anonymous=1"],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(500):
        if os.path.exists(sock):
            return p, "unix:" + sock
        time.sleep(0.01)
    sys.exit("pulseaudio did not start")


def run_once(cmd, env, cwd, png):
    """(wall seconds, CPU seconds) of one start to the saved picture and the end."""
    if os.path.exists(png):
        os.remove(png)
    t0 = time.perf_counter()
    p = subprocess.Popen(cmd, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    # A start that does not end (a message box waiting for a click) must not hold the bench.
    while True:
        pid, status, usage = os.wait4(p.pid, os.WNOHANG)
        if pid:
            break
        if time.perf_counter() - t0 > 20:
            p.kill()
            sys.exit(f"{cmd[0]} did not end within 20 s:\n"
                     + p.stderr.read().decode(errors="replace"))
        time.sleep(0.0005)
    wall = time.perf_counter() - t0
    p.returncode = os.waitstatus_to_exitcode(status)
    err = p.stderr.read().decode(errors="replace")
    p.stderr.close()
    if p.returncode != 0 or not os.path.exists(png):
        sys.exit(f"{cmd[0]} failed (exit {p.returncode}, picture "
                 f"{'written' if os.path.exists(png) else 'missing'}):\n{err}")
    return wall, usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--program", default=os.path.join(ROOT, "build", "src", "quillet"))
    ap.add_argument("--minimal", default=os.path.join(ROOT, "build", "bench", "minimal_window"))
    ap.add_argument("--runs", type=int, default=21)
    ap.add_argument("--no-sound-server", action="store_true")
    args = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="quillet-start-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=tmp, XDG_CONFIG_HOME=tmp,
               XDG_RUNTIME_DIR=tmp, QUILLET_SCREENSHOT_DELAY="0")
    for name in ("SDL_AUDIODRIVER", "QUILLET_TEST", "QUILLET_SCREENSHOT_ABOUT",
                 "QUILLET_SCREENSHOT_PLAY", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    helpers = []
    try:
        bus, env["DBUS_SESSION_BUS_ADDRESS"] = session_bus(tmp)
        helpers.append(bus)
        if not args.no_sound_server and shutil.which("pulseaudio"):
            pulse, env["PULSE_SERVER"] = sound_server(tmp, env)
            helpers.append(pulse)
        else:
            env["SDL_AUDIODRIVER"] = "dummy"
        png = os.path.join(tmp, "shot.png")
        quillet = ([os.path.abspath(args.program)], dict(env, QUILLET_SCREENSHOT=png))
        minimal = ([os.path.abspath(args.minimal), png], env)
        results = {"quillet": [], "minimal": []}
        for i in range(args.runs + 2):
            order = [("quillet", quillet), ("minimal", minimal)]
            if i % 2:
                order.reverse()
            for name, (cmd, e) in order:
                r = run_once(cmd, e, tmp, png)
                if i >= 2:
                    results[name].append(r)
        q_wall = statistics.median(w for w, _ in results["quillet"])
        q_cpu = statistics.median(c for _, c in results["quillet"])
        m_wall = statistics.median(w for w, _ in results["minimal"])
        m_cpu = statistics.median(c for _, c in results["minimal"])
        print(f"Start to the main window saved, median of {args.runs} pairs "
              f"({'dummy SDL output' if 'SDL_AUDIODRIVER' in env else 'private PulseAudio'}):")
        print(f"{'':16} {'wall':>9} {'CPU':>9}")
        print(f"{'Quillet':16} {1000 * q_wall:7.1f}ms {1000 * q_cpu:7.1f}ms")
        print(f"{'minimal window':16} {1000 * m_wall:7.1f}ms {1000 * m_cpu:7.1f}ms")
        rw, rc = q_wall / m_wall, q_cpu / m_cpu
        print(f"{'ratio':16} {rw:8.2f}x {rc:8.2f}x   (target at most {TARGET}x: "
              f"{'met' if rw <= TARGET and rc <= TARGET else 'NOT met'})")
    finally:
        for h in helpers:
            h.terminate()
            h.wait()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
