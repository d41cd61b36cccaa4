#!/usr/bin/env python3
"""Incremental scripts of N cycles (push, declare, assert, check-sat, pop) and
how the time and memory of a run grow with N, for the MiniSat-family back ends.

Every cycle declares a fresh bit-vector constant x_i and asserts, inside its
push level, a formula that ties it to one global constant g. All checks are
satisfiable. A solver whose checks cost what changed since the previous check
grows linearly: the time per 1000 cycles stays flat down a column.

Usage:
  bench/incremental_scaling.py [--varnok build/src/main/varnok] [--sizes 1000,2000,4000,8000]
                               [--shape add|ult|mul] [--width 32] [--timeout 600] [--z3]
  bench/incremental_scaling.py --emit N [--shape ...] [--width ...]   (prints one script)

The table lists for each N and back end the wall time, the time per 1000 cycles
and the peak resident memory (from /usr/bin/time); "--z3" adds z3 as a yardstick.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

SHAPES = {
    "add": "(assert (= (bvadd g {x}) {c}))",
    "ult": "(assert (bvult {x} g))",
    "mul": "(assert (= (bvmul g {x}) {c}))",
}


def script(n, shape, width):
    rng = random.Random(1)
    digits = (width + 3) // 4
    out = ["(set-logic QF_BV)", "(declare-fun g () (_ BitVec %d))" % width]
    for i in range(n):
        x = "x%d" % i
        c = "#x%0*x" % (digits, rng.getrandbits(4 * digits)) if width % 4 == 0 else \
            "#b" + format(rng.getrandbits(width), "0%db" % width)
        out += ["(push 1)", "(declare-fun %s () (_ BitVec %d))" % (x, width),
                SHAPES[shape].format(x=x, c=c), "(check-sat)", "(pop 1)"]
    return "\n".join(out) + "\n"


def run(cmd, path, timeout, n):
    """Wall seconds and peak KB, or None on a timeout; checks the answers."""
    timer = shutil.which("time") or "/usr/bin/time"
    start = time.time()
    try:
        p = subprocess.run([timer, "-f", "%M"] + cmd + [path], capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    wall = time.time() - start
    answers = p.stdout.split()
    if answers.count("sat") != n or len(answers) != n:
        sys.exit("unexpected output of %s on %s: %s" % (" ".join(cmd), path, p.stdout[:200] + p.stderr[-200:]))
    peak = re.findall(r"^(\d+)\s*$", p.stderr, re.M)
    return wall, int(peak[-1]) if peak else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--varnok", default="build/src/main/varnok")
    ap.add_argument("--sizes", default="1000,2000,4000,8000")
    ap.add_argument("--shape", default="add", choices=sorted(SHAPES))
    ap.add_argument("--width", type=int, default=32)
    ap.add_argument("--timeout", type=float, default=600)
    ap.add_argument("--z3", action="store_true")
    ap.add_argument("--emit", type=int, default=None)
    a = ap.parse_args()
    if a.emit is not None:
        sys.stdout.write(script(a.emit, a.shape, a.width))
        return
    sizes = [int(s) for s in a.sizes.split(",")]
    configs = [("minisat", [a.varnok, "--sat-solver=minisat"]),
               ("minisat-modified", [a.varnok, "--sat-solver=minisat-modified"])]
    if a.z3 and shutil.which("z3"):
        configs.append(("z3", ["z3"]))
    print("shape %s, width %d: %s" % (a.shape, a.width, SHAPES[a.shape].format(x="x_i", c="c_i")))
    head = "| N |" + "".join(" %s s | s/1000 | MB |" % name for name, _ in configs)
    print(head)
    print("|---|" + "---|---|---|" * len(configs))
    with tempfile.TemporaryDirectory() as tmp:
        for n in sizes:
            path = os.path.join(tmp, "inc_%d.smt2" % n)
            with open(path, "w") as fh:
                fh.write(script(n, a.shape, a.width))
            row = "| %d |" % n
            for name, cmd in configs:
                r = run(cmd, path, a.timeout, n)
                if r is None:
                    row += " >%.0f | - | - |" % a.timeout
                else:
                    row += " %.2f | %.2f | %.0f |" % (r[0], r[0] * 1000.0 / n, r[1] / 1024.0)
            print(row, flush=True)


if __name__ == "__main__":
    main()
