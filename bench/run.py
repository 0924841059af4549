#!/usr/bin/env python3
"""Times one lookup in data files of several sizes against the tools a user
would reach for, and prints the table.

For each size the same data file and the same lookup (asset Q9999 at the
nominal 10, on the last line; and Z0000, on no line) are run by:
  cat      the floor: reading every byte of the file once (to /dev/null)
  wc -l    reading the file and finding every line end
  tallix   the whole process, release build, as VORNAX starts it
  grep     LC_ALL=C grep -i -m1 '^ASSET[ ,<tab>]'
  rg       rg -i -m1 '^ASSET[ ,<tab>]' (ripgrep)
  awk      the same lookup with the same tolerance
and, up to 100M, the search's hard cases, by tallix alone: seeking A1 in a
file whose every line begins with A1 (A10, A1234, ...), and A1 in a file of
A1 lines at other nominals. With --before, a second tallix (e.g. the build
of an earlier commit) runs beside the first, as "tallix before".
Each command runs many times (hyperfine), giving the median, the spread
(25th to 75th percentile) and the ratio to cat, and once more under
/usr/bin/time for the peak resident memory. Then the start-up on a 3-line
data file: tallix against a plain C program that reads the same three
files. Then the micro-benchmarks. Data files are made in the scratch folder
and kept there.

    bench/run.sh [--sizes 1K,1M,100M,1G] [--runs N] [--scratch DIR] [--before TALLIX]
"""
import argparse
import json
import os
import platform
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)

import make_data  # noqa: E402

MATCH = (make_data.LAST_ASSET, make_data.LAST_VALUE)
NO_MATCH = ("Z0000", None)
NOMINAL = make_data.LAST_NOMINAL
DEFAULT_RUNS = {"1K": 40, "1M": 30, "100M": 15, "1G": 5}

AWK_LOOKUP = (
    'BEGIN { d = n < 0 ? -n : n; lo = n - d * 1e-11; hi = n + d * 1e-11; a = tolower(a) } '
    'tolower($1) == a && $2 + 0 >= lo && $2 + 0 <= hi { print $3; found = 1; exit } '
    'END { exit !found }')


def fail(text):
    print("run.py: " + text, file=sys.stderr)
    sys.exit(1)


def lay_out_exchange(folder):
    """VORNAX's initialization file and a standard dosdose.dat in `folder`."""
    with open(os.path.join(folder, "vornax.ini"), "w") as f:
        f.write("[Startup]\nprocdir=C:\\VORNAX\\PROC\nuser_cwd=\nuser_data_dir=\n")
    with open(os.path.join(folder, "dosdose.dat"), "wb") as f:
        f.write(b"0\r\n0\r\nbench\r\n" + b"".join(b"%d\r\n" % i for i in range(1, 21)))


# The search's hard cases, up to this size: (lookup, kind of file).
HARD_CASES = (("A1, prefixes", "prefix"), ("A1, every line", "every"))
HARD_CASES_UP_TO = 100 << 20


def data_file(scratch, size_name, kind="lab"):
    suffix = "" if kind == "lab" else "_" + kind
    path = os.path.join(scratch, "refs_%s%s.dat" % (size_name, suffix))
    size = make_data.parse_size(size_name)
    if not os.path.exists(path) or os.path.getsize(path) != size:
        print("making %s (%d bytes) ..." % (path, size), flush=True)
        with open(path + ".part", "wb") as f:
            make_data.write(f, size, 5, kind)
        os.replace(path + ".part", path)
    return path


def commands(tools, data, asset, others=True):
    """The commands of one lookup, tool name -> argv; only the tallix ones
    when not `others`."""
    tab = "\t"
    cmds = {"tallix": [tools["tallix"], "vornax.ini", data, asset, NOMINAL]}
    if tools.get("before"):
        cmds["tallix before"] = [tools["before"], "vornax.ini", data, asset, NOMINAL]
    if others:
        cmds.update({
            "grep -i -m1": ["grep", "-i", "-m1", "^%s[ ,%s]" % (asset, tab), data],
            "rg -i -m1": ["rg", "-i", "-m1", "^%s[ ,%s]" % (asset, tab), data],
            "awk": ["awk", "-F", "[ ,\\t\\r]+", "-v", "a=" + asset, "-v", "n=" + NOMINAL,
                    AWK_LOOKUP, data],
        })
    return cmds


def check_answers(tools, folder, data, asset, value, others=True):
    """Each tool must give the right answer before it is timed."""
    cmds = commands(tools, data, asset, others)
    for name, argv in cmds.items():
        p = subprocess.run(argv, cwd=folder, stdin=subprocess.DEVNULL, capture_output=True)
        ok = (p.returncode == 0) == (value is not None)
        if name.startswith("tallix") and value is not None:
            with open(os.path.join(folder, "dosdose.dat"), "rb") as f:
                mem = f.readline().strip().decode()
            ok = ok and mem == value
        elif name == "awk" and value is not None:
            ok = ok and p.stdout.decode().strip() == value
        elif name in ("grep -i -m1", "rg -i -m1") and value is not None:
            ok = ok and p.stdout.decode().split()[-1] == value
        if not ok:
            fail("%s gave the wrong answer for %s in %s (status %d)" % (name, asset, data, p.returncode))


def hyperfine_once(named_argvs, folder, runs, warmup):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as tmp:
        out = tmp.name
    argv = ["hyperfine", "-N", "-i", "--style", "none", "--warmup", str(warmup), "--runs", str(runs),
            "--export-json", out]
    for name, cmd in named_argvs:
        argv += ["-n", name, " ".join(shlex.quote(a) for a in cmd)]
    p = subprocess.run(argv, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE)
    if p.returncode != 0:
        fail("hyperfine failed:\n" + p.stderr.decode(errors="replace"))
    with open(out) as f:
        results = json.load(f)["results"]
    os.unlink(out)
    return {r["command"]: r["times"] for r in results}


def hyperfine(named_argvs, folder, runs, warmup):
    """Times each command `runs` times; returns name -> sorted list of
    seconds. The machine is shared, so the tools take turns in rounds of a
    few runs each: a burst of load then falls on all of them alike."""
    per_round = 3 if runs >= 6 else runs
    times = {name: [] for name, _ in named_argvs}
    done = 0
    while done < runs:
        n = min(per_round, runs - done)
        n = max(n, 2)
        for name, t in hyperfine_once(named_argvs, folder, n, warmup if done == 0 else 0).items():
            times[name] += t
        done += n
    return {name: sorted(t) for name, t in times.items()}


def peak_rss_kib(argv, folder, repeats=3):
    most = 0
    for _ in range(repeats):
        p = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, cwd=folder,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE)
        most = max(most, int(p.stderr.decode().strip().splitlines()[-1]))
    return most


def percentile(sorted_times, q):
    if len(sorted_times) == 1:
        return sorted_times[0]
    pos = q * (len(sorted_times) - 1)
    low = int(pos)
    high = min(low + 1, len(sorted_times) - 1)
    return sorted_times[low] + (sorted_times[high] - sorted_times[low]) * (pos - low)


def ms(seconds):
    return "%.2f" % (seconds * 1000) if seconds < 0.1 else "%.1f" % (seconds * 1000)


def row(cells, widths):
    return "| " + " | ".join(c.ljust(w) if i < 3 else c.rjust(w)
                             for i, (c, w) in enumerate(zip(cells, widths))) + " |"


def print_table(header, rows):
    widths = [max(len(r[i]) for r in [header] + rows) for i in range(len(header))]
    print(row(header, widths))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(row(r, widths))


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def timed_rows(size_name, case, times, names, argvs, floor, folder):
    rows = []
    for name in names:
        t = times[name]
        median = statistics.median(t)
        rows.append([size_name, case, name, ms(median),
                     "%s-%s" % (ms(percentile(t, .25)), ms(percentile(t, .75))),
                     "%.2f" % (median / floor), str(peak_rss_kib(argvs[name], folder))])
    return rows


def bench_file(tools, folder, data, size_name, lookups, runs, warmup, others):
    """Rows for the lookups in one data file: the floors (cat, and wc -l
    with the other tools), then each lookup; ratios over cat's median."""
    floors = {"cat": ["cat", data]}
    if others:
        floors["wc -l"] = ["wc", "-l", data]
    rows = []
    floor = None
    for case, asset, value in lookups:
        check_answers(tools, folder, data, asset, value, others)
        cmds = commands(tools, data, asset, others)
        named = list(floors.items()) if floor is None else []
        named += list(cmds.items())
        times = hyperfine(named, folder, runs, warmup)
        if floor is None:
            floor = statistics.median(times["cat"])
            rows += timed_rows(size_name, "-", times, floors, floors, floor, folder)
        rows += timed_rows(size_name, case, times, cmds, cmds, floor, folder)
    return rows


def bench_size(tools, scratch, size_name, runs):
    folder = os.path.join(scratch, "work")
    os.makedirs(folder, exist_ok=True)
    lay_out_exchange(folder)
    size = make_data.parse_size(size_name)
    warmup = 1 if size >= (1 << 30) else 3
    lookups = [("last line", MATCH[0], MATCH[1]), ("no match", NO_MATCH[0], NO_MATCH[1])]
    rows = bench_file(tools, folder, data_file(scratch, size_name), size_name, lookups, runs,
                      warmup, True)
    if size <= HARD_CASES_UP_TO:
        for case, kind in HARD_CASES:
            data = data_file(scratch, size_name, kind)
            rows += bench_file(tools, folder, data, size_name,
                               [(case, make_data.PREFIX_ASSET, make_data.LAST_VALUE)], runs, warmup,
                               False)
    return rows


def bench_startup(tools, scratch, runs):
    folder = os.path.join(scratch, "startup")
    os.makedirs(folder, exist_ok=True)
    lay_out_exchange(folder)
    with open(os.path.join(folder, "refs.dat"), "wb") as f:
        f.write(b"A1 1 1.000021\r\nA7 10 10.00013\r\nQ9999 10 10.00042\r\n")
    check_answers({"tallix": tools["tallix"]}, folder, "refs.dat", MATCH[0], MATCH[1])
    named = [("tallix", [tools["tallix"], "vornax.ini", "refs.dat", MATCH[0], NOMINAL]),
             ("C program reading the 3 files",
              [tools["startup_reference"], "vornax.ini", "dosdose.dat", "refs.dat"]),
             ("C program, also replacing dosdose.dat",
              [tools["startup_reference"], "--replace", "vornax.ini", "dosdose.dat", "refs.dat"])]
    times = hyperfine(named, folder, runs, 10)
    base = statistics.median(times[named[1][0]])
    rows = []
    for name, argv in named:
        t = times[name]
        median = statistics.median(t)
        rows.append(["3 lines", "start-up", name, ms(median),
                     "%s-%s" % (ms(percentile(t, .25)), ms(percentile(t, .75))),
                     "%.2f" % (median / base), str(peak_rss_kib(argv, folder))])
    return rows


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sizes", default="1K,1M,100M,1G", help="comma-separated, e.g. 1K,1M")
    ap.add_argument("--runs", type=int, help="timed runs per command (default by size)")
    ap.add_argument("--scratch", default=os.path.join(tempfile.gettempdir(), "tallix-bench"),
                    help="folder for the data files (never inside the repository)")
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    ap.add_argument("--tallix", help="the tallix to time (default: the release build's)")
    ap.add_argument("--before", help="a second tallix to time beside it, e.g. an earlier build")
    ap.add_argument("--micro-time", default="0.2",
                    help="--benchmark_min_time of the micro-benchmarks; 0 skips them")
    args = ap.parse_args()

    tools = {
        "tallix": os.path.abspath(args.tallix or os.path.join(args.build, "lookup", "tallix")),
        "startup_reference": os.path.join(args.build, "bench", "startup_reference"),
    }
    for path in tools.values():
        if not os.access(path, os.X_OK):
            fail("missing %s (build the release preset first, or use bench/run.sh)" % path)
    if args.before:
        tools["before"] = os.path.abspath(args.before)
        if not os.access(tools["before"], os.X_OK):
            fail("missing %s" % tools["before"])
    for tool in ("hyperfine", "/usr/bin/time", "grep", "rg", "awk", "wc", "cat"):
        if not shutil.which(tool):
            fail("missing %s (scripts/deps.sh bench)" % tool)
    os.makedirs(args.scratch, exist_ok=True)
    os.environ["LC_ALL"] = "C"

    awk = subprocess.run(["awk", "-W", "version"], capture_output=True, stdin=subprocess.DEVNULL)
    awk_name = (awk.stdout or awk.stderr).decode(errors="replace").splitlines()[0:1] or ["awk"]
    print("machine: %s, %d cores, %s; awk: %s" % (platform.processor() or platform.machine(),
                                                  os.cpu_count(), platform.release(), awk_name[0]))
    rg = subprocess.run(["rg", "--version"], capture_output=True, stdin=subprocess.DEVNULL)
    print("ripgrep: %s" % (rg.stdout.decode(errors="replace").splitlines() or ["?"])[0])
    print("load average before: %s" % load(), flush=True)

    rows = []
    for size_name in [s.strip().upper() for s in args.sizes.split(",") if s.strip()]:
        runs = args.runs or DEFAULT_RUNS.get(size_name, 10)
        print("load average at %s: %s" % (size_name, load()), flush=True)
        rows += bench_size(tools, args.scratch, size_name, runs)
    rows += bench_startup(tools, args.scratch, args.runs or 200)

    print()
    print_table(["size", "lookup", "tool", "median ms", "spread ms (p25-p75)", "ratio",
                 "peak RSS KiB"], rows)
    print()
    print("ratio: median over the median of cat on the same file; for the start-up, over the")
    print("C program that only reads. tallix runs as VORNAX starts it: it also replaces dosdose.dat,")
    print("flushed to the disk (twice when nothing is found: before the operator is asked, and at")
    print("the end); the last start-up row does that same replacement in plain C.")
    print("load average after: %s" % load(), flush=True)

    if args.micro_time != "0":
        micro = os.path.join(args.build, "bench", "tallix_micro_bench")
        if not os.access(micro, os.X_OK):
            fail("missing %s (Google Benchmark: scripts/deps.sh bench)" % micro)
        print()
        subprocess.run([micro, "--benchmark_min_time=%s" % args.micro_time], check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
