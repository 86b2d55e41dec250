#!/usr/bin/env python3
"""Whole-program benchmark: the real program fed by kovra-devsim at fixed rates.

For each case it starts kovra-devsim (3 channels) and kovraplotter (driven through --control,
under Xvfb when it is installed, otherwise off-screen), connects, and measures:
  CPU %      the program's CPU time (all its threads, user and system) as a share of one core
             over the measuring window; CPU time, not wall time, so that other load on the
             machine changes it less
  paints/s   paints of the view per second over the same window (the --control "paints")
  lost       sets kovra-devsim wrote that the program did not store
  status ms  the worst round trip of a --control "status" over the probing phase that follows
             the window, while the data still flows
Cases: idle (connected, nothing arrives); 1,000 sets/s written 5 at a time (every 5 ms);
1,000 sets/s written 20 at a time (every 20 ms); 10,000 sets/s written 50 at a time (every
5 ms); a flood (as fast as the port takes them, until the probing ends). Each case runs --runs
times and the medians are printed.

With --variants the same cases are measured with the instrument in use as well, each run of a
variant right after the same run of the one before: "hover" moves the pointer over the plot
60 times a second through the window (the line under the mouse and its readout), "statistics"
shows the statistics panel, "both" does both; "plain" is the program as it starts, and
"control" sends as many --control commands as "hover" that move nothing (a pointer that has
left the plot): what the driving itself costs.

With --reference PROGRAM a second kovraplotter (for example an older build) is measured in the
same run, each of its runs right after the same run of the first, and its table is printed
beside; kovra-devsim is always the one of --build. The machine's load is printed too: the
figures of one run are only comparable with each other.

Usage: bench/program_bench.py [--build build/release] [--reference PATH] [--runs 3]
                              [--seconds 10] [--idle-seconds 20] [--display auto]
                              [--variants plain,hover,statistics,both]
"""
import argparse
import glob
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from program_driver import Program

CHANNELS = 3
DELAY = 3.0  # seconds kovra-devsim waits, for the program to start and connect
WARM_UP = 1.0  # seconds of data before the window opens
PROBE_INTERVAL = 0.02
HOVER_INTERVAL = 1.0 / 60
STATISTICS_COMMAND = 32854
VARIANTS = ("plain", "control", "hover", "statistics", "both")

# name, sets per second (0: flood), sets per write
CASES = {
    "idle": ("idle", None, None),
    "1k-5ms": ("1,000 sets/s every 5 ms", 1000, 5),
    "1k-20ms": ("1,000 sets/s every 20 ms", 1000, 20),
    "10k-5ms": ("10,000 sets/s every 5 ms", 10000, 50),
    "flood": ("flood", 0, 1),
}


def clock_ticks():
    return os.sysconf("SC_CLK_TCK")


def process_cpu(pid):
    """CPU seconds of a process: precise per-thread figures while no thread has ended, and
    the process's tick count (which keeps what ended threads used) as the fallback."""
    threads = {}
    for path in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(path) as stat:
                threads[path.split("/")[4]] = int(stat.read().split()[0]) / 1e9
        except (OSError, ValueError, IndexError):
            pass
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = (int(fields[11]) + int(fields[12])) / clock_ticks()
    return threads, ticks


def cpu_between(start, end):
    threads0, ticks0 = start
    threads1, ticks1 = end
    if set(threads0) <= set(threads1):
        return sum(threads1.values()) - sum(threads0.values())
    return ticks1 - ticks0


def machine_busy():
    """(busy, total) jiffies of the whole machine."""
    with open("/proc/stat") as stat:
        values = [int(v) for v in stat.readline().split()[1:]]
    idle = values[3] + values[4]
    return sum(values) - idle, sum(values)


class Display:
    """An Xvfb server of our own, or the off-screen platform."""

    def __init__(self, mode):
        self.server = None
        self.env = dict(os.environ)
        use_xvfb = mode == "xvfb" or (mode == "auto" and any(
            os.access(os.path.join(d, "Xvfb"), os.X_OK)
            for d in os.environ.get("PATH", "").split(os.pathsep)))
        if not use_xvfb:
            self.env["QT_QPA_PLATFORM"] = "offscreen"
            self.name = "off-screen"
            return
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.env["QT_QPA_PLATFORM"] = "xcb"
        self.name = f"Xvfb {self.env['DISPLAY']}"

    def cpu(self):
        return process_cpu(self.server.pid) if self.server else None

    def close(self):
        if self.server:
            self.server.terminate()
            self.server.wait()


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def hover_for(program, seconds, moving=True):
    """Moves the pointer to and fro over the plot, 60 times a second, for that long (or only
    says that it left the plot)."""
    end = time.monotonic() + seconds
    step = 0
    while time.monotonic() < end:
        x = 60 + (step * 7) % 500
        program.command(f"mouse {x} 200" if moving else "mouse leave")
        step += 1
        time.sleep(max(0.0, min(HOVER_INTERVAL, end - time.monotonic())))


def run_case(args, program_path, display, case, variant="plain"):
    _, rate, per_write = CASES[case]
    idle = rate is None
    window = args.idle_seconds if idle else args.seconds
    probe = args.probe_seconds
    # The flood goes on until the probing ends, however fast the program takes it.
    flood = rate == 0
    if idle:
        sets = 0
    elif flood:
        sets = None
    else:
        sets = int(rate * (WARM_UP + window + probe + 1.0))
    devsim_args = [os.path.join(args.build, "tools/devsim/kovra-devsim"), "--channels",
                   str(CHANNELS), "--rate", str(rate or 0), "--sets-per-write",
                   str(per_write or 1), "--delay", str(DELAY)]
    if sets is not None:
        devsim_args += ["--sets", str(sets)]
    else:
        # Past the probing, then idle with the port open, so that all it wrote can be read.
        devsim_args += ["--send-for", f"{WARM_UP + window + probe + 0.5:.1f}"]
    devsim = subprocess.Popen(devsim_args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True)
    started = time.monotonic()
    port = devsim.stdout.readline().strip()
    result = {}
    with tempfile.TemporaryDirectory() as directory:
        # Its settings stay in the run's directory, never in the user's.
        env = dict(display.env, KOVRA_SETTINGS=os.path.join(directory, "kovraplotter.conf"))
        program = Program(program_path, directory, port, env)
        try:
            program.command("key F2")
            status = program.answer("status", "status ") or ""
            if "Connected" not in status:
                raise RuntimeError(f"could not connect: {status}")
            if time.monotonic() - started > DELAY - 0.2:
                print(f"  (connected {time.monotonic() - started:.1f} s after the board "
                      "started: sets may have been discarded)", file=sys.stderr)
            if variant in ("statistics", "both"):
                program.command(f"command {STATISTICS_COMMAND}")
            time.sleep(max(0.0, started + DELAY + (0.0 if idle else WARM_UP) - time.monotonic()))

            cpu0, xcpu0, paints0 = process_cpu(program.process.pid), display.cpu(), program.paints()
            values0, busy0 = program.values(), machine_busy()
            t0 = time.monotonic()
            if variant in ("hover", "both", "control"):
                hover_for(program, window, variant != "control")
            else:
                time.sleep(window)
            cpu1, xcpu1, paints1 = process_cpu(program.process.pid), display.cpu(), program.paints()
            values1, busy1 = program.values(), machine_busy()
            elapsed = time.monotonic() - t0
            result["cpu"] = 100.0 * cpu_between(cpu0, cpu1) / elapsed
            result["xcpu"] = 100.0 * cpu_between(xcpu0, xcpu1) / elapsed if xcpu0 else None
            result["paints"] = (paints1 - paints0) / elapsed if paints0 is not None else None
            result["sets"] = (values1 - values0) / CHANNELS / elapsed
            result["machine"] = 100.0 * (busy1[0] - busy0[0]) / max(1, busy1[1] - busy0[1])

            worst = 0.0
            probe_end = time.monotonic() + probe
            while time.monotonic() < probe_end:
                sent = time.monotonic()
                program.command("status")
                worst = max(worst, time.monotonic() - sent)
                time.sleep(PROBE_INTERVAL)
            result["status"] = worst * 1000.0

            # Everything written must arrive; a program that stopped taking sets is seen here.
            # The flood's count is known once it stops: until then, until nothing more comes.
            expected = None if flood else sets * CHANNELS
            quiet = 1.0 if flood else 5.0
            last, last_change = -1, time.monotonic()
            while True:
                values = program.values()
                if expected is not None and values >= expected:
                    break
                if values != last:
                    last, last_change = values, time.monotonic()
                elif time.monotonic() - last_change > quiet:
                    break
                time.sleep(0.2)
        finally:
            program.quit()
            written = stop_board(devsim)
    result["lost"] = (written if written is not None else sets) - values // CHANNELS
    return result


def stop_board(devsim):
    """Stops kovra-devsim; the number of sets it wrote whole, None when it did not say."""
    devsim.send_signal(signal.SIGINT)
    _, errors = devsim.communicate(timeout=30)
    for line in errors.splitlines():
        if line.endswith("sets written"):
            return int(line.split()[1])
    return None


def format_row(label, figures):
    def cell(value, width, digits):
        return f"{value:{width}.{digits}f}" if value is not None else f"{'-':>{width}}"
    return (f"{label:<26}{cell(figures['cpu'], 8, 1)}{cell(figures['xcpu'], 10, 1)}"
            f"{cell(figures['paints'], 10, 1)}{cell(figures['sets'], 10, 0)}"
            f"{cell(figures['lost'], 8, 0)}"
            f"{cell(figures['status'], 11, 1)}{cell(figures['machine'], 11, 0)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--reference", help="another kovraplotter to measure beside")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=10, help="window of the data cases")
    parser.add_argument("--idle-seconds", type=float, default=20)
    parser.add_argument("--probe-seconds", type=float, default=3)
    parser.add_argument("--cases", default=",".join(CASES),
                        help="comma-separated, from " + ", ".join(CASES))
    parser.add_argument("--display", choices=("auto", "xvfb", "offscreen"), default="auto")
    parser.add_argument("--variants", default="plain",
                        help="comma-separated, from " + ", ".join(VARIANTS))
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    variants = args.variants.split(",")
    for variant in variants:
        if variant not in VARIANTS:
            parser.error(f"unknown variant {variant}")
    own = os.path.join(args.build, "src/app/kovraplotter")
    programs = [(f"this build, {v}" if len(variants) > 1 else "this build", own, v)
                for v in variants]
    if args.reference:
        programs.append(("reference", os.path.abspath(args.reference), "plain"))
    cases = args.cases.split(",")
    for case in cases:
        if case not in CASES:
            parser.error(f"unknown case {case}")

    display = Display(args.display)
    print(f"{display.name}; {os.cpu_count()} cores; load average before: "
          f"{' '.join(f'{v:.2f}' for v in os.getloadavg())}", flush=True)
    results = {(name, case): [] for name, _, _ in programs for case in cases}
    try:
        for case in cases:
            for run in range(args.runs):
                for name, path, variant in programs:
                    figures = run_case(args, path, display, case, variant)
                    results[(name, case)].append(figures)
                    print(f"  {name}, {CASES[case][0]}, run {run + 1}: "
                          f"{format_row('', figures).strip()}", file=sys.stderr, flush=True)
    finally:
        display.close()

    header = (f"{'case':<26}{'CPU %':>8}{'X srv %':>10}{'paints/s':>10}{'sets/s':>10}{'lost':>8}"
              f"{'status ms':>11}{'machine %':>11}{'slowest':>10}")
    for name, path, _ in programs:
        print(f"\n{name}: {path} (medians of {args.runs} runs)")
        print(header)
        for case in cases:
            runs = results[(name, case)]
            figures = {key: median([r[key] for r in runs]) for key in runs[0]}
            figures["lost"] = max(r["lost"] for r in runs)
            worst = max(r["status"] for r in runs)
            print(format_row(CASES[case][0], figures) + f"{worst:10.1f}")
    print("\nCPU %: of one core, the program's process; X srv %: the X server's; sets/s: stored;"
          "\nlost: the most of any run; status ms: the slowest answer of a run (median of the"
          "\nruns), then the slowest of all runs; machine %: how busy the whole machine was"
          f" (all {os.cpu_count()} cores).")
    print(f"load average after: {' '.join(f'{v:.2f}' for v in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
