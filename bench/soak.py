#!/usr/bin/env python3
"""Soak test: the real program fed by kovra-devsim for a long time.

Runs kovra-devsim at 1,000 sets a second of 10 values into kovraplotter (off-screen,
driven through --control) and reports, every interval, the values stored, the program's
resident memory, the memory it grew by per stored value, and the time of one paint.

Usage: bench/soak.py [--minutes 60] [--interval 60] [--build build/release]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

from program_driver import Program


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=60)
    parser.add_argument("--interval", type=float, default=60, help="seconds between reports")
    parser.add_argument("--build", default="build/release")
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    devsim = subprocess.Popen(
        [os.path.join(args.build, "tools/devsim/kovra-devsim"), "--channels", "10",
         "--rate", "1000"], stdout=subprocess.PIPE, text=True)
    port = devsim.stdout.readline().strip()
    with tempfile.TemporaryDirectory() as directory:
        # Its settings stay in the run's directory, never in the user's.
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen",
                   KOVRA_SETTINGS=os.path.join(directory, "kovraplotter.conf"))
        program = Program(os.path.join(args.build, "src/app/kovraplotter"), directory, port, env)
        program.command("key F2")
        print("connect:", program.answer("status", "status "))
        # A second for the first values, then the baseline.
        time.sleep(1)
        start_values = program.values()
        start_kib = resident_kib(program.process.pid)
        start_paint = program.answer("paint-time", "paint-time ")
        print(f"{'minutes':>8} {'values':>12} {'RSS MiB':>9} {'bytes/value':>12} {'paint':>12}")
        began = time.monotonic()
        while time.monotonic() - began < args.minutes * 60:
            time.sleep(args.interval)
            values = program.values()
            kib = resident_kib(program.process.pid)
            grown = (kib - start_kib) * 1024 / max(values - start_values, 1)
            paint = program.answer("paint-time", "paint-time ")
            print(f"{(time.monotonic() - began) / 60:8.1f} {values:12d} {kib / 1024:9.1f} "
                  f"{grown:12.2f} {paint:>12}", flush=True)
        print(f"paint at the start: {start_paint}")
        program.quit()
    devsim.terminate()
    devsim.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
