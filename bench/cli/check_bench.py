#!/usr/bin/env python3
"""Times `vorpex-cli list` and `vorpex-cli check` of an archive of 1,000,000 tiny files in 1,000 folders
against `cat` of the same file, in one run, round by round in a shuffled order: back to back, and after an
idle pause of 3 s before each command. Prints the median wall and CPU (user + system) time of each and its
ratio to its peer: `list` to `cat`, `check` to `list`.

  bench/cli/check_bench.py [WORKDIR [RUNS]]      default /tmp/vorpex-check-bench, 5 runs
  VORPEX_BUILD=path/to/build                     default build

The archive (bench_make_archive many) is made once in WORKDIR and kept; it is read once before timing, so
every command reads it from the page cache. Outputs go to /dev/null.
"""
import os
import random
import resource
import statistics
import subprocess
import sys
import time

build = os.path.abspath(os.environ.get("VORPEX_BUILD", "build"))
cli = os.path.join(build, "cli", "vorpex-cli")
work = sys.argv[1] if len(sys.argv) > 1 else "/tmp/vorpex-check-bench"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
os.makedirs(work, exist_ok=True)
archive = os.path.join(work, "many.dir")
if not os.path.isfile(archive):
    subprocess.run([os.path.join(build, "bench", "core", "bench_make_archive"), "many", archive], check=True)
with open(archive, "rb") as f:
    while f.read(1 << 24):
        pass

commands = {
    "cat": ["cat", archive],
    "vorpex-cli list": [cli, "list", archive],
    "vorpex-cli check": [cli, "check", archive],
}
peers = {"vorpex-cli list": "cat", "vorpex-cli check": "vorpex-cli list"}


def cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def measure(pause):
    times = {name: ([], []) for name in commands}
    order = random.Random(5)
    with open(os.devnull, "wb") as null:
        for _ in range(runs):
            names = list(commands)
            order.shuffle(names)
            for name in names:
                time.sleep(pause)
                start, start_cpu = time.perf_counter(), cpu()
                subprocess.run(commands[name], stdout=null, check=True)
                times[name][0].append(time.perf_counter() - start)
                times[name][1].append(cpu() - start_cpu)
    return {name: (statistics.median(w), statistics.median(c), w) for name, (w, c) in times.items()}


print("| Command | Runs | Wall, median of %d | Ratio to peer | CPU, median | Ratio to peer | Peer |" % runs)
print("|---|---|---|---|---|---|---|")
for label, pause in (("back to back", 0), ("after 3 s idle", 3)):
    medians = measure(pause)
    for name, (wall, used, each) in medians.items():
        peer = peers.get(name)
        ratio = "%.2fx" % (wall / medians[peer][0]) if peer else ""
        cpu_ratio = "%.2fx" % (used / max(medians[peer][1], 1e-3)) if peer else ""
        print("| `%s` | %s | %.1f ms (%s) | %s | %.1f ms | %s | %s |" % (
            name, label, wall * 1000, " ".join("%.0f" % (t * 1000) for t in each), ratio, used * 1000,
            cpu_ratio, peer or ""))
