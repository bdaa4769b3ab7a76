#!/usr/bin/python3
"""Start-up, memory and idle cost of Quietwatch against a bare Qt Widgets program.

Runs on a private Xvfb display with a private session bus. The baseline (A) and the program
under test (B) are started alternately, A B A B, after one warm-up run of each, and the medians
and the ratio B / A are reported:

  start-up  wall time from just before the program is spawned to the X server's MapNotify for
            its top-level window. The benchmark is itself a small X client (the core protocol
            spoken over the display's Unix socket) that selects SubstructureNotify on the root
            window before it spawns the program, then blocks on the socket: the map is seen
            within a fraction of a millisecond, and the cost is the same for both programs.
            The mapped window is checked to belong to the spawned process (_NET_WM_PID).
  memory    VmRSS (/proc/PID/status) and Pss (/proc/PID/smaps_rollup), two seconds after the
            spawn.
  idle      over the next ten seconds, with nothing done to the window: context switches
            (voluntary + nonvoluntary, summed over /proc/PID/task/*) per second, and CPU time
            per second, both as utime+stime of /proc/PID/stat (10 ms ticks) and as the run
            time of /proc/PID/task/*/schedstat (nanoseconds; the target is judged on this).

The time query program is compared with the baseline's bare dialog (--dialog): start-up and
memory only, as it has no timer.

Targets, as ratios of the medians of one run: start-up and VmRSS at most 1.10; idle
wake-ups and idle CPU time at most the baseline's. Two programs that do the same idle work
measure a ratio a few per cent either side of 1 from run to run; a ratio above 1 whose
bootstrap 90 % interval still reaches down to 1 is reported as a tie and counts as met.
Exit status 0 when every target is met, 1 when one is missed, 2 when the benchmark itself
could not run.

A run during which the fontconfig caches change (another process rebuilding them makes
every program that starts scan each font file itself) is void and made again.

--instructions N adds N runs of each program under callgrind: the instructions executed
until the window is mapped and per second of idling. They are exact where the times are
noisy, and leave out the kernel's share. The idle instructions must not exceed the
baseline's.

Standard library only; needs Xvfb and dbus-daemon (and valgrind for --instructions).
"""

import argparse
import json
import os
import random
import select
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


class BenchError(Exception):
    pass


# --- the X client ---------------------------------------------------------------------------


class XWatcher:
    """Just enough of the X11 core protocol to see top-level windows being mapped."""

    MAP_NOTIFY = 19
    SUBSTRUCTURE_NOTIFY_MASK = 0x80000
    CW_EVENT_MASK = 0x800
    XA_CARDINAL = 6

    def __init__(self, display_number):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(f"/tmp/.X11-unix/X{display_number}")
        self.buffer = b""
        self.sequence = 0
        self.pending_maps = []
        # Connection set-up, little-endian, no authorisation (the display is our own).
        self.sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self._read(8)
        if head[0] != 1:
            raise BenchError("the X server refused the connection")
        body = self._read(struct.unpack_from("<H", head, 6)[0] * 4)
        vendor_length, _, _screens, formats = struct.unpack_from("<HHBB", body, 16)
        screen_offset = 32 + (vendor_length + 3) // 4 * 4 + 8 * formats
        self.root = struct.unpack_from("<I", body, screen_offset)[0]
        self.net_wm_pid = self._intern_atom(b"_NET_WM_PID")
        self._request(struct.pack("<BxHIII", 2, 4, self.root, self.CW_EVENT_MASK, self.SUBSTRUCTURE_NOTIFY_MASK))
        self._round_trip()  # the selection is in force before any program starts

    def _read(self, size):
        while len(self.buffer) < size:
            chunk = self.sock.recv(65536)
            if not chunk:
                raise BenchError("the X server closed the connection")
            self.buffer += chunk
        data, self.buffer = self.buffer[:size], self.buffer[size:]
        return data

    def _request(self, data):
        self.sock.sendall(data)
        self.sequence = (self.sequence + 1) & 0xFFFF

    def _packet(self):
        packet = self._read(32)
        if packet[0] == 1:  # a reply; may be longer than 32 bytes
            packet += self._read(struct.unpack_from("<I", packet, 4)[0] * 4)
        return packet

    def _reply(self):
        """The reply to the last request, or None for an error; MapNotify events met on the way are kept."""
        while True:
            packet = self._packet()
            if packet[0] == 0:
                if struct.unpack_from("<H", packet, 2)[0] == self.sequence:
                    return None
                raise BenchError(f"X error {packet[1]}")
            if packet[0] == 1:
                if struct.unpack_from("<H", packet, 2)[0] == self.sequence:
                    return packet
                continue
            if packet[0] & 0x7F == self.MAP_NOTIFY:
                self.pending_maps.append((time.monotonic_ns(), packet))

    def _round_trip(self):
        self._request(struct.pack("<BxH", 43, 1))  # GetInputFocus
        self._reply()

    def _intern_atom(self, name):
        padded = name + b"\0" * (-len(name) % 4)
        self._request(struct.pack("<BBHHxx", 16, 0, 2 + len(padded) // 4, len(name)) + padded)
        return struct.unpack_from("<I", self._reply(), 8)[0]

    def window_pid(self, window):
        self._request(struct.pack("<BBHIIIII", 20, 0, 6, window, self.net_wm_pid, self.XA_CARDINAL, 0, 1))
        reply = self._reply()
        if reply is None:
            return None  # the window is gone
        value_length = struct.unpack_from("<I", reply, 16)[0]
        return struct.unpack_from("<I", reply, 32)[0] if value_length else None

    def discard_events(self):
        """Drops the events of earlier runs (the windows of a program that has ended)."""
        while len(self.buffer) >= 32 or select.select([self.sock], [], [], 0)[0]:
            self._packet()
        self.pending_maps.clear()

    def wait_for_map(self, pid, timeout):
        """The monotonic time at which the first top-level window of `pid` was mapped."""
        deadline = time.monotonic() + timeout
        while True:
            while self.pending_maps:
                stamp, packet = self.pending_maps.pop(0)
                event_window, window, override_redirect = struct.unpack_from("<IIB", packet, 4)
                if event_window == self.root and not override_redirect and self.window_pid(window) == pid:
                    return stamp
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise BenchError(f"no window of process {pid} was mapped within {timeout} s")
            self.sock.settimeout(remaining)
            try:
                packet = self._packet()
            except socket.timeout:
                continue
            finally:
                self.sock.settimeout(None)
            if packet[0] & 0x7F == self.MAP_NOTIFY:
                self.pending_maps.append((time.monotonic_ns(), packet))

    def close(self):
        self.sock.close()


# --- /proc ------------------------------------------------------------------------------------


def status_fields(path):
    fields = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields


def memory_kib(pid):
    rss = int(status_fields(f"/proc/{pid}/status")["VmRSS"].split()[0])
    pss = int(status_fields(f"/proc/{pid}/smaps_rollup")["Pss"].split()[0])
    return rss, pss


def run_time_ns(pid):
    """CPU time of the live threads of a process so far, in nanoseconds."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            with open(task / "schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return total


def cpu_snapshot(pid):
    """CPU ticks of the process, and per thread: context switches and run time in ns."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rpartition(")")[2].split()
    ticks = int(fields[11]) + int(fields[12])  # utime, stime
    threads = {}
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            status = status_fields(task / "status")
            with open(task / "schedstat") as f:
                run_ns = int(f.read().split()[0])
            switches = int(status["voluntary_ctxt_switches"]) + int(status["nonvoluntary_ctxt_switches"])
            threads[task.name] = (status["Name"], switches, run_ns)
        except (FileNotFoundError, ProcessLookupError):
            pass  # the thread ended while we looked
    return ticks, threads


def idle_cost(before, after, seconds):
    ticks0, threads0 = before
    ticks1, threads1 = after
    per_thread = {}
    switches = run_ns = 0
    for tid, (name, s1, r1) in threads1.items():
        _, s0, r0 = threads0.get(tid, (name, 0, 0))  # a thread born in the window counts whole
        switches += s1 - s0
        run_ns += r1 - r0
        key = f"{name}"
        per_thread[key] = per_thread.get(key, 0) + (s1 - s0) / seconds
    return {
        "wakeups_per_s": switches / seconds,
        "cpu_ms_per_s": run_ns / 1e6 / seconds,
        "cpu_ticks_ms_per_s": (ticks1 - ticks0) * 1000 / CLOCK_TICKS / seconds,
        "threads": per_thread,
    }


def machine_busy():
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    idle = values[3] + values[4]
    return sum(values) - idle, sum(values)


def font_cache_state():
    """The fontconfig caches as files and times. While another process rebuilds them, each
    program that starts scans every font file itself: a run that sees them change is void."""
    state = []
    for folder in (Path("/var/cache/fontconfig"), Path.home() / ".cache" / "fontconfig"):
        try:
            for entry in os.scandir(folder):
                info = entry.stat()
                state.append((entry.path, info.st_mtime_ns, info.st_size))
        except FileNotFoundError:
            pass
    return sorted(state)


def wait_for_quiet_font_caches(limit=300):
    deadline = time.monotonic() + limit
    state = font_cache_state()
    while time.monotonic() < deadline:
        time.sleep(2)
        now = font_cache_state()
        if now == state:
            return state
        state = now
    raise BenchError("the fontconfig caches kept changing for five minutes")


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


# --- the runs ---------------------------------------------------------------------------------


def measure(xwatcher, command, env, settle, idle_seconds, log):
    xwatcher.discard_events()
    busy0 = machine_busy()
    start = time.monotonic_ns()
    process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
    try:
        mapped = xwatcher.wait_for_map(process.pid, timeout=30)
        result = {"startup_ms": (mapped - start) / 1e6, "startup_cpu_ms": run_time_ns(process.pid) / 1e6}
        time.sleep(max(0.0, start / 1e9 + settle - time.monotonic()))
        if process.poll() is not None:
            raise BenchError(f"{command[0]} ended early with status {process.returncode}")
        result["rss_kib"], result["pss_kib"] = memory_kib(process.pid)
        if idle_seconds:
            before = cpu_snapshot(process.pid)
            time.sleep(idle_seconds)  # per second of the nominal window: sleep overshoots by well under 1 ms
            after = cpu_snapshot(process.pid)
            result.update(idle_cost(before, after, idle_seconds))
    finally:
        stop(process, timeout=5)
    busy1 = machine_busy()
    result["machine_busy"] = (busy1[0] - busy0[0]) / max(1, busy1[1] - busy0[1])
    return result


def stop(process, timeout):
    """Ends a measured program: SIGTERM, then SIGKILL if it has not gone within timeout seconds."""
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def callgrind_dump(pid, path):
    """Asks callgrind for a dump (its counters restart from zero) and reads its total."""
    subprocess.run(["callgrind_control", "--dump", str(pid)], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if path.exists():
            for line in path.read_text().splitlines():
                if line.startswith("summary:"):
                    return int(line.split()[1])
        time.sleep(0.1)
    raise BenchError("callgrind wrote no dump")


def count_instructions(xwatcher, command, env, workdir, log, settle, idle_seconds):
    """Instructions the program executes until its window is mapped and, with idle_seconds,
    per second of idling after settle seconds, counted by callgrind: the user-space work
    exactly, where the times above carry the machine's noise."""
    xwatcher.discard_events()
    out = workdir / "callgrind.out"
    for stale in workdir.glob("callgrind.out.*"):
        stale.unlink()
    process = subprocess.Popen(
        ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}.%p"] + command,
        env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
    )
    try:
        xwatcher.wait_for_map(process.pid, timeout=300)  # valgrind runs the program in its own process
        result = {"startup": callgrind_dump(process.pid, Path(f"{out}.{process.pid}.1"))}
        if idle_seconds:
            time.sleep(settle)
            callgrind_dump(process.pid, Path(f"{out}.{process.pid}.2"))
            time.sleep(idle_seconds)
            result["idle_per_s"] = callgrind_dump(process.pid, Path(f"{out}.{process.pid}.3")) / idle_seconds
        return result
    finally:
        stop(process, timeout=30)


def compare_instructions(name, baseline, subject, runs, xwatcher, env, workdir, log, settle, idle_seconds,
                         verbose):
    counts = {"baseline": [], "subject": []}
    for run in range(runs):
        for side, command in (("baseline", baseline), ("subject", subject)):
            counts[side].append(count_instructions(xwatcher, command, env, workdir, log, settle, idle_seconds))
            if verbose:
                print(f"  {name} instructions run {run + 1} {side}: {counts[side][-1]}", file=sys.stderr)
    missed = []
    rows = [("startup", "instructions until mapped", 1e6, "M", None)]
    if idle_seconds:
        rows.append(("idle_per_s", "idle instructions", 1e3, "k/s", 1.00))
    for key, label, scale, unit, limit in rows:
        a = statistics.median(c[key] for c in counts["baseline"])
        b = statistics.median(c[key] for c in counts["subject"])
        verdict = ""
        if limit is not None:
            verdict = "met <= 1.00" if b <= a * limit else "MISSED <= 1.00"
            if b > a * limit:
                missed.append(f"{name}: {label}")
        print(f"  {label:30} {b / a:7.2f} {a / scale:10.1f} {b / scale:14.1f}  {unit:5} {verdict}"
              f"{'' if verdict else f'(callgrind, {runs} runs each)'}")
    return counts, missed


def measure_undisturbed(xwatcher, command, env, settle, idle_seconds, log, verbose):
    """measure(), repeated while the fontconfig caches change under it."""
    for _ in range(10):
        before = wait_for_quiet_font_caches()
        result = measure(xwatcher, command, env, settle, idle_seconds, log)
        if font_cache_state() == before:
            return result
        if verbose:
            print("  (fontconfig caches changed during the run: run again)", file=sys.stderr)
    raise BenchError("the fontconfig caches changed during ten runs in a row")


def compare(title, baseline, subject, runs, xwatcher, env, settle, idle_seconds, log, verbose):
    """Warm-up, then A B A B ... Returns the list of results of each side."""
    results = {"baseline": [], "subject": []}
    sides = (("baseline", baseline), ("subject", subject))
    for _, command in sides:
        measure(xwatcher, command, env, settle, idle_seconds, log)  # warm-up: page cache, font caches
    for run in range(runs):
        for side, command in sides:
            result = measure_undisturbed(xwatcher, command, env, settle, idle_seconds, log, verbose)
            results[side].append(result)
            if verbose:
                shown = {k: (round(v, 2) if isinstance(v, float) else v) for k, v in result.items() if k != "threads"}
                print(f"  {title} run {run + 1} {side}: {shown}", file=sys.stderr)
                if "threads" in result:
                    threads = {k: round(v, 2) for k, v in result["threads"].items()}
                    print(f"      wake-ups/s by thread: {threads}", file=sys.stderr)
    return results


METRICS = [
    # key, label, unit, limit of the ratio (None: shown only), how the limit reads
    ("startup_ms", "start-up (exec to map)", "ms", 1.10, "<= 1.10"),
    ("startup_cpu_ms", "CPU time until mapped", "ms", None, ""),
    ("rss_kib", "resident memory VmRSS", "MiB", 1.10, "<= 1.10"),
    ("pss_kib", "proportional memory Pss", "MiB", None, ""),
    ("wakeups_per_s", "idle wake-ups", "/s", 1.00, "<= 1.00"),
    ("cpu_ms_per_s", "idle CPU time (schedstat)", "ms/s", 1.00, "<= 1.00"),
    ("cpu_ticks_ms_per_s", "idle CPU time (utime+stime)", "ms/s", None, ""),
]


def summarise(name, results):
    rows = []
    missed = []
    for key, label, unit, limit, reads in METRICS:
        a = [r[key] for r in results["baseline"] if key in r]
        b = [r[key] for r in results["subject"] if key in r]
        if not a or not b:
            continue
        ma, mb = statistics.median(a), statistics.median(b)
        scale = 1 / 1024 if unit == "MiB" else 1
        if ma > 0:
            ratio = mb / ma
        else:
            ratio = 1.0 if mb == 0 else float("inf")
        verdict = ""
        if limit is not None:
            met = ratio <= limit + 1e-9
            verdict = ("met " if met else "MISSED ") + reads
            if not met and limit == 1.0:
                # "No more than the baseline": a ratio above 1 that the runs' own spread
                # cannot tell from 1 is a tie, and is shown as one.
                low, high = ratio_interval(a, b)
                if low <= 1.0:
                    met = True
                    verdict = f"tie {reads} (90 % interval {low:.2f}-{high:.2f})"
            if not met:
                missed.append(f"{name}: {label}")
        rows.append((label, ratio, ma * scale, mb * scale, unit, verdict))
    return rows, missed


def ratio_interval(a, b, rounds=4000):
    """A bootstrap 90 % interval of median(b) / median(a); seeded, so a run repeats."""
    generator = random.Random(1)
    ratios = []
    for _ in range(rounds):
        ma = statistics.median(generator.choices(a, k=len(a)))
        mb = statistics.median(generator.choices(b, k=len(b)))
        ratios.append(mb / ma if ma > 0 else float("inf"))
    ratios.sort()
    return ratios[int(rounds * 0.05)], ratios[int(rounds * 0.95) - 1]


def print_table(name, subject_name, rows, runs):
    print(f"\n{name} ({runs} runs each, medians)")
    print(f"  {'measure':30} {'ratio':>7} {'baseline':>10} {subject_name:>14}  unit  target")
    for label, ratio, ma, mb, unit, verdict in rows:
        print(f"  {label:30} {ratio:7.2f} {ma:10.2f} {mb:14.2f}  {unit:5} {verdict}")


# --- the display and the bus ----------------------------------------------------------------


def start_xvfb(workdir):
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24"],
        pass_fds=(write_end,),
        stdout=subprocess.DEVNULL,
        stderr=open(workdir / "xvfb.log", "w"),
    )
    os.close(write_end)
    with os.fdopen(read_end) as f:
        number = f.readline().strip()
    if not number:
        xvfb.kill()
        raise BenchError("Xvfb did not start")
    return xvfb, int(number)


def start_session_bus(workdir):
    bus = subprocess.Popen(
        ["dbus-daemon", "--session", "--nofork", "--print-address=1", "--address", f"unix:dir={workdir}"],
        stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL,
        text=True,
    )
    address = bus.stdout.readline().strip()
    if not address:
        bus.kill()
        raise BenchError("dbus-daemon did not start")
    return bus, address


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build-dir", type=Path, required=True, help="a build tree with the three programs")
    parser.add_argument("--runs", type=int, default=7, help="measured runs of each program (default 7)")
    parser.add_argument("--idle-seconds", type=float, default=10.0, help="length of the idle window (default 10)")
    parser.add_argument("--settle-seconds", type=float, default=2.0, help="spawn to memory sample (default 2)")
    parser.add_argument("--only", choices=["scheduler", "timequery"], help="measure one program only")
    parser.add_argument("--latin-baseline", action="store_true",
                        help="give the baseline Latin captions (no Japanese face loaded): a lower floor")
    parser.add_argument("--instructions", type=int, default=0, metavar="N",
                        help="also count the instructions until mapped under callgrind, N runs each "
                             "(deterministic where the wall time is noisy; needs valgrind)")
    parser.add_argument("--json", type=Path, help="also write every run's numbers to this file")
    parser.add_argument("-v", "--verbose", action="store_true", help="print every run on stderr")
    args = parser.parse_args()

    programs = {
        "baseline": args.build_dir / "bench" / "quietwatch-bench-baseline",
        "quietwatch": args.build_dir / "app" / "quietwatch",
        "timequery": args.build_dir / "timequery" / "quietwatch-timequery",
    }
    for path in programs.values():
        if not os.access(path, os.X_OK):
            raise BenchError(f"{path} is missing: build first")
    for tool in ("Xvfb", "dbus-daemon") + (("valgrind", "callgrind_control") if args.instructions else ()):
        if not shutil.which(tool):
            raise BenchError(f"{tool} is not installed")

    with tempfile.TemporaryDirectory(prefix="quietwatch-bench-") as tmp:
        workdir = Path(tmp)
        runtime = workdir / "runtime"
        runtime.mkdir(mode=0o700)
        xvfb, display = start_xvfb(workdir)
        bus, bus_address = start_session_bus(workdir)
        # One environment for every program: the same display, platform, locale, bus and fonts.
        env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": os.environ.get("HOME", str(workdir)),
            "DISPLAY": f":{display}",
            "QT_QPA_PLATFORM": "xcb",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "XDG_RUNTIME_DIR": str(runtime),
            "DBUS_SESSION_BUS_ADDRESS": bus_address,
        }
        log = open(workdir / "programs.log", "w")
        xwatcher = XWatcher(display)
        everything = {}
        missed = []
        try:
            print(f"Quietwatch benchmark on Xvfb :{display}, {os.cpu_count()} CPUs, load average {load_average()}")
            print("Baseline: bench/quietwatch-bench-baseline (bare QMainWindow, same widget kinds and counts, 500 ms label timer)")
            latin = ["--latin"] if args.latin_baseline else []
            if args.only in (None, "scheduler"):
                results = compare(
                    "scheduler",
                    [str(programs["baseline"])] + latin,
                    [str(programs["quietwatch"])],
                    args.runs, xwatcher, env, args.settle_seconds, args.idle_seconds, log, args.verbose,
                )
                rows, miss = summarise("quietwatch", results)
                print_table("quietwatch / baseline main window", "quietwatch", rows, args.runs)
                if args.instructions:
                    results["instructions"], counted_miss = compare_instructions(
                        "quietwatch", [str(programs["baseline"])] + latin, [str(programs["quietwatch"])],
                        args.instructions, xwatcher, env, workdir, log, args.settle_seconds, args.idle_seconds,
                        args.verbose)
                    missed += counted_miss
                everything["scheduler"] = results
                missed += miss
            if args.only in (None, "timequery"):
                results = compare(
                    "timequery",
                    [str(programs["baseline"]), "--dialog"] + latin,
                    [str(programs["timequery"])],
                    args.runs, xwatcher, env, args.settle_seconds, 0, log, args.verbose,
                )
                rows, miss = summarise("quietwatch-timequery", results)
                print_table("quietwatch-timequery / baseline dialog", "timequery", rows, args.runs)
                if args.instructions:
                    results["instructions"], counted_miss = compare_instructions(
                        "quietwatch-timequery", [str(programs["baseline"]), "--dialog"] + latin, [str(programs["timequery"])],
                        args.instructions, xwatcher, env, workdir, log, args.settle_seconds, 0, args.verbose)
                    missed += counted_miss
                everything["timequery"] = results
                missed += miss
            busy = [r["machine_busy"] for sides in everything.values() for side, rs in sides.items()
                    if side != "instructions" for r in rs]
            print(f"\nLoad average at the end {load_average()}; whole machine busy during the runs: "
                  f"median {statistics.median(busy) * 100:.0f} %, max {max(busy) * 100:.0f} %")
        finally:
            xwatcher.close()
            log.close()
            for process in (bus, xvfb):
                process.terminate()
                process.wait()
        if args.json:
            args.json.write_text(json.dumps(everything, indent=1))
    if missed:
        print("Targets missed: " + "; ".join(missed))
        return 1
    print("Every target met.")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BenchError as error:
        print(f"run-benchmark: {error}", file=sys.stderr)
        sys.exit(2)
