#!/usr/bin/env python3
"""Time and peak memory of varnok beside z3 and boolector on scripts with many assertions.

Usage:
  bench/many_asserts.py --varnok build/src/main/varnok [--asserts 10000 ...]
                        [--config=OPTIONS ...] [--peers z3,boolector]
                        [--push] [--timeout 300] [--keep DIR] [GENERATOR OPTIONS ...]

For every assertion count, writes the sat and the unsat script of
bench/gen_many_asserts.py (same seed; further generator options such as --vars
or --mix are passed through), runs varnok once per --config (a space-separated
option list, written with "=", e.g. --config= --config=--substitution=off; by
default one run without options) and every peer
once under /usr/bin/time -v, and prints one table row per run: flavour, solver,
answer, wall seconds, peak resident memory (MB) and varnok's time ratio to each
peer. A varnok answer of sat or unsat that differs from the flavour's is marked
WRONG (exit status 1); a run past the time limit is marked timeout. --push adds the same two scripts with every
assertion inside one push scope (boolector, which wants an incremental switch
for that, is skipped there).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PEERS = {
    "z3": ["z3", "-smt2"],
    "boolector": ["boolector", "--smt2"],
}


def measure(cmd, timeout):
    """(answer, seconds, peak MB) of one run under /usr/bin/time -v."""
    try:
        p = subprocess.run(["/usr/bin/time", "-v"] + cmd, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "timeout", float(timeout), float("nan")
    answers = [l.strip() for l in p.stdout.splitlines() if l.strip() in ("sat", "unsat", "unknown")]
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", p.stderr)
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", p.stderr)
    seconds = 0.0
    if wall:
        for part in wall.group(1).split(":"):
            seconds = seconds * 60 + float(part)
    return (answers[-1] if answers else "none"), seconds, (int(rss.group(1)) / 1024.0 if rss else float("nan"))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--varnok", required=True)
    ap.add_argument("--asserts", type=int, nargs="+", default=[10000])
    ap.add_argument("--config", action="append", help="varnok options of one run (repeatable)")
    ap.add_argument("--peers", default="z3,boolector")
    ap.add_argument("--push", action="store_true")
    ap.add_argument("--timeout", type=int, default=300)
    ap.add_argument("--keep", default="", help="directory that keeps the generated scripts")
    a, generator_options = ap.parse_known_args()
    peers = [p for p in a.peers.split(",") if p]
    for p in peers:
        if p not in PEERS or not shutil.which(PEERS[p][0]):
            print("skipping peer %s (not installed)" % p, file=sys.stderr)
    peers = [p for p in peers if p in PEERS and shutil.which(PEERS[p][0])]
    directory = a.keep or tempfile.mkdtemp(prefix="many_asserts_")
    os.makedirs(directory, exist_ok=True)

    print("%-22s %-34s %-8s %9s %9s  %s" % ("script", "solver", "answer", "seconds", "peak MB", "varnok/peer"))
    failed = False
    for n in a.asserts:
        for push in ([False, True] if a.push else [False]):
            for flavour in ("sat", "unsat"):
                name = "%d-%s%s" % (n, flavour, "-push" if push else "")
                path = os.path.join(directory, name + ".smt2")
                gen = [sys.executable, os.path.join(HERE, "gen_many_asserts.py"), "--asserts", str(n), "-o", path]
                gen += (["--unsat"] if flavour == "unsat" else []) + (["--push"] if push else [])
                subprocess.run(gen + generator_options, check=True)
                peer_times = {}
                for p in peers:
                    if push and p == "boolector":
                        continue
                    answer, seconds, mb = measure(PEERS[p] + [path], a.timeout)
                    peer_times[p] = seconds
                    print("%-22s %-34s %-8s %9.2f %9.1f" % (name, p, answer, seconds, mb))
                for options in a.config or [""]:
                    cmd = [a.varnok] + options.split() + [path]
                    answer, seconds, mb = measure(cmd, a.timeout)
                    if answer in ("sat", "unsat") and answer != flavour:
                        answer = "WRONG:" + answer
                        failed = True
                    ratios = " ".join("%s %.2f" % (p, seconds / t) for p, t in peer_times.items() if t > 0)
                    label = "varnok " + (options or "(default)")
                    print("%-22s %-34s %-8s %9.2f %9.1f  %s" % (name, label, answer, seconds, mb, ratios))
                sys.stdout.flush()
    if not a.keep:
        shutil.rmtree(directory)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
