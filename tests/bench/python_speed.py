"""A 10 s emulated run from Python against the same run in velmora-headless.

    python3 tests/bench/python_speed.py BUILD [REPEATS]

BUILD is a Release build folder with velmora-headless, the Python module (BUILD/python) and
the workloads (BUILD/bench, BUILD/firmware). For each workload the two runs alternate REPEATS
times (default 21): velmora-headless --ms 10000 as a whole process, less the median time of
the same process with --ms 0 (start-up and exit), and velmora.run_ms(10000) inside one Python
process after start(). Times are processor time (user and system), which other programs
running at the same time disturb less than the wall clock. Prints the median and the minimum
of each and their ratios.
Run it with the interpreter the module was built for (/usr/bin/python3).
"""

import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

build = os.path.abspath(sys.argv[1])
repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 21
sys.path.insert(0, os.path.join(build, "python"))
import velmora  # noqa: E402

WORKLOADS = {
    "mix-internal (busy)": os.path.join(build, "bench", "mix-internal"),
    "default firmware (idle in wai)": os.path.join(build, "firmware"),
}
RUN_MS = 10000


def python_run(folder):
    velmora.start(folder)
    started = time.process_time()
    velmora.run_ms(RUN_MS)
    return time.process_time() - started, velmora.dump()


def headless_run(folder, ms=RUN_MS):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run([os.path.join(build, "velmora-headless"), "--ms", str(ms), "--dump"],
                         cwd=folder, capture_output=True, text=True, check=True).stdout
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    used = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return used, out


for name, source in WORKLOADS.items():
    with tempfile.TemporaryDirectory() as folder:
        for image in ("rom0.bin", "rom1.bin"):
            shutil.copy(os.path.join(source, image), folder)
        py_times, hl_times = [], []
        empty = statistics.median(headless_run(folder, 0)[0] for _ in range(repeats))
        for _ in range(repeats):
            seconds, dump = python_run(folder)
            py_times.append(seconds)
            seconds, out = headless_run(folder)
            hl_times.append(seconds - empty)
            if json.loads(out) != dump:
                sys.exit(f"{name}: the two runs ended in different states")
        py, hl = statistics.median(py_times), statistics.median(hl_times)
        print(f"{name}: {dump['STEPS']} steps, {dump['CYCLES']} cycles in {RUN_MS} ms")
        print(f"  velmora-headless --ms {RUN_MS} (less {empty * 1000:.1f} ms of start-up): "
              f"median {hl * 1000:6.1f} ms, min {min(hl_times) * 1000:6.1f} ms")
        print(f"  velmora.run_ms({RUN_MS}) from Python:"
              f"{' ' * 21}median {py * 1000:6.1f} ms, min {min(py_times) * 1000:6.1f} ms")
        print(f"  Python / headless: median {py / hl:.3f}, min {min(py_times) / min(hl_times):.3f}")
