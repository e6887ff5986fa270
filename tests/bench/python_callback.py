"""What a breakpoint with a Python callable costs a hit, and what breakpoints cost a run.

    python3 tests/bench/python_callback.py BUILD [REPEATS]

BUILD is a Release build folder with the Python module (BUILD/python). A loop of four
instructions (a counter, a call, a return, a jump back) runs 2 s of emulated time, REPEATS
times (default 11) for each of:
  - no breakpoint (the run loop's own loop);
  - a breakpoint at an address never reached (the engine checks every step, nothing hits);
  - a breakpoint in the loop without callable, with a condition that never holds;
  - a breakpoint in the loop with a callable that returns False (it never stops).
The cost of a hit is the median time of the last run less that of the one before, divided by
the hits. Times are processor time. Run it with the interpreter the module was built for.
"""

import os
import statistics
import sys
import time

build = os.path.abspath(sys.argv[1])
repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 11
sys.path.insert(0, os.path.join(build, "python"))
import velmora  # noqa: E402

RUN_MS = 2000
PROGRAM = velmora.assemble_program("""\
        org   &h0000
        ldw   sp,&h2000
        jmp   start
        org   &h1800
start:  ad    r5,1
        cal   sub
        sjmp  start
sub:    rtn
""")
SUB = 0x1808


def timed(setup):
    velmora.start_from(rom0=PROGRAM.rom, rom1=PROGRAM.ext)
    setup()
    started = time.process_time()
    velmora.run_ms(RUN_MS)
    used = time.process_time() - started
    hits = sum(b.hits for b in velmora.breakpoints())
    steps = velmora.dump()["STEPS"]
    velmora.clear_breakpoints()
    return used, hits, steps


def never_stops(bp):
    return False


CASES = {
    "no breakpoint": lambda: None,
    "breakpoint never reached": lambda: velmora.set_breakpoint(0x3000),
    "breakpoint hit, condition false": lambda: velmora.set_breakpoint(SUB, "R[5] == 256"),
    "breakpoint hit, Python callable": lambda: velmora.set_breakpoint(SUB, callback=never_stops),
}

results = {}
for _ in range(repeats):
    for name, setup in CASES.items():
        results.setdefault(name, []).append(timed(setup))

medians = {}
for name, runs in results.items():
    seconds = statistics.median(r[0] for r in runs)
    medians[name] = seconds
    hits, steps = runs[0][1], runs[0][2]
    print(f"{name:34} {seconds * 1000:8.1f} ms (min {min(r[0] for r in runs) * 1000:7.1f}) "
          f"for {steps} steps, {hits} hits")
names = list(CASES)
steps = results[names[0]][0][2]
print(f"engine armed, per step:  "
      f"{(medians[names[1]] - medians[names[0]]) / steps * 1e9:6.1f} ns")
# The address is reached as often in both runs: the callable's breakpoint counts every time.
call_hits = results[names[3]][0][1]
print(f"condition checked, per time reached: "
      f"{(medians[names[2]] - medians[names[1]]) / call_hits * 1e6:6.3f} us")
print(f"Python callable, per hit (over the condition's run): "
      f"{(medians[names[3]] - medians[names[2]]) / call_hits * 1e6:6.3f} us; "
      f"over no breakpoint: {(medians[names[3]] - medians[names[0]]) / call_hits * 1e6:6.3f} us")
