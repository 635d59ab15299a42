#!/usr/bin/env python3
"""Times `vorpex-cli list`, `list --json` and `list --null` against `bsdtar -tf` on the same tree of
1,000,000 files of 8 bytes in 1,000 folders (make_tree.py listing), in one run, round by round in a
shuffled order, so that a change of load falls on every command alike. Prints the median wall and CPU (user +
system) time of each and its ratios to bsdtar; on a loaded machine the CPU times are the steadier figure.

  bench/cli/list_bench.py [WORKDIR [RUNS]]    default /dev/shm/vorpex-list-bench, 5 runs
  VORPEX_CLI=path/to/vorpex-cli               default build/cli/vorpex-cli

The tree, its tar (GNU tar) and its archive (vorpex-cli pack) are made once in WORKDIR and kept.
Every listing goes to /dev/null; the inputs are read once before timing, so all come from the page cache.
"""
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
cli = os.path.abspath(os.environ.get("VORPEX_CLI", "build/cli/vorpex-cli"))
work = sys.argv[1] if len(sys.argv) > 1 else "/dev/shm/vorpex-list-bench"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
for tool in ("bsdtar", "tar"):
    if not shutil.which(tool):
        sys.exit("list_bench.py: %s is missing (apt-get install libarchive-tools)" % tool)
os.makedirs(work, exist_ok=True)
os.chdir(work)
if not os.path.isdir("L"):
    subprocess.run([sys.executable, os.path.join(here, "make_tree.py"), "listing", "."], check=True)
if not os.path.isfile("L.tar"):
    subprocess.run(["tar", "-cf", "L.tar", "L"], check=True)
if not os.path.isfile("L.dir"):
    subprocess.run([cli, "pack", "L", "L.dir"], check=True)

commands = {
    "vorpex-cli list": [cli, "list", "L.dir"],
    "vorpex-cli list --json": [cli, "list", "--json", "L.dir"],
    "vorpex-cli list --null": [cli, "list", "--null", "L.dir"],
    "bsdtar -tf": ["bsdtar", "-tf", "L.tar"],
}
for path in ("L.dir", "L.tar"):
    with open(path, "rb") as f:
        while f.read(1 << 24):
            pass

def cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


times = {name: ([], []) for name in commands}
with open(os.devnull, "wb") as null:
    order = random.Random(5)
    for _ in range(runs):
        # A new order each round (the same on every run of the script), so that no command always
        # follows bsdtar's read of 1 GB.
        names = list(commands)
        order.shuffle(names)
        for name in names:
            argv = commands[name]
            start, start_cpu = time.perf_counter(), cpu()
            subprocess.run(argv, stdout=null, check=True)
            times[name][0].append(time.perf_counter() - start)
            times[name][1].append(cpu() - start_cpu)
peer = [statistics.median(t) for t in times["bsdtar -tf"]]
print("| Command | Wall, median of %d | bsdtar / it | CPU, median | bsdtar / it |" % runs)
print("|---|---|---|---|---|")
for name, (wall, used) in times.items():
    w, c = statistics.median(wall), statistics.median(used)
    print("| `%s` | %.3f s | %.1fx | %.3f s | %.1fx |" % (name, w, peer[0] / w, c, peer[1] / max(c, 1e-3)))
