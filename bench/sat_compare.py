#!/usr/bin/env python3
"""Compares every SAT back end of varnok (through satbench, with preprocessing on
and off) with cadical and picosat on four groups of CNF files:

  cnf      the fixed set in bench/cnf
  miter    multiplier commutativity miters (a * b != b * a), 9 and 10 bits (unsat)
  factor   factoring through a multiplier circuit: semiprimes (sat) and primes (unsat)
  dumped   the clause sets varnok's DIMACS back end writes for a few benchmark files

Prints one line per file (answer, then seconds per solver), then per group the
PAR-2 score of every solver (seconds; twice the time limit for an unsolved file)
and the ratios of the Glucose back ends to the default back end (MiniSat with
preprocessing) and to cadical. Exit status 1 when two solvers disagree on an
answer or a back end fails.

  bench/sat_compare.py --satbench build/bench/satbench --varnok build/src/main/varnok \\
      [--benchmarks ../shared/benchmarks] [--timeout 60] [--jobs 2] [--work DIR] [--groups cnf,miter,...]
"""
import argparse
import glob
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))

# Back ends through satbench: (label, solver, preprocessing).
BACKENDS = [
    ("minisat-simp", "minisat", "on"),
    ("minisat-core", "minisat", "off"),
    ("glucose-simp", "glucose", "on"),
    ("glucose-core", "glucose", "off"),
    ("modified-simp", "minisat-modified", "on"),
    ("modified-core", "minisat-modified", "off"),
]
DEFAULT = "minisat-simp"

# Benchmark files whose first check is dumped (bit-vector problems that take
# the default back end from a fraction of a second to several seconds).
DUMPED = [
    "smt2/bv/stp/generated-tests/form_32.var_8.bits_32.smt2",
    "smt2/bv/stp/generated-tests/form_32.var_16.bits_32.smt2",
    "smt2/bv/stp/generated-tests/form_4.var_32.bits_32.smt2",
    "smt2/bv/bitwuzla/solver/bv/factor4294967295.btor.smt2",
    "smt2/bv/stp/misc-tests/srem-from-sdiv-product.smt2",
    "smt2/bv/bitwuzla/solver/bv/smtaxiombvsmod8.smt2",
]

# (p, q, width): x * y = p * q with x, y > 1 over `width`-bit x and y; q = 1
# makes it a prime, which has no such factors (unsat).
FACTORING = [
    (40949, 65521, 16),
    (163819, 262139, 18),
    (655357, 1048573, 20),
    (2684354557, 1, 16),
    (42949672949, 1, 18),
    (687194767253, 1, 20),
]

def load_generator():
    found = importlib.util.spec_from_file_location("cnf_generate", os.path.join(HERE, "cnf", "generate.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def answer_of(text):
    if re.search(r"^s UNSATISFIABLE|^unsat$", text, re.M):
        return "unsat"
    if re.search(r"^s SATISFIABLE|^sat$", text, re.M):
        return "sat"
    return "?"


def timed(cmd, timeout):
    start = time.time()
    try:
        p = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "timeout", float(timeout)
    elapsed = time.time() - start
    a = answer_of(p.stdout)
    if a == "?":
        return "fail(%d)" % p.returncode, elapsed
    return a, elapsed


def generate(work, groups):
    gen = load_generator()
    files = {g: [] for g in groups}
    if "cnf" in groups:
        files["cnf"] = sorted(glob.glob(os.path.join(HERE, "cnf", "*.cnf")))
    if "miter" in groups:
        for width in (9, 10):
            path = os.path.join(work, "mul_comm_%d.cnf" % width)
            gen.multiplier_commutes(width).write(path, "%d-bit multiplier commutativity miter (unsat)" % width)
            files["miter"].append(path)
    if "factor" in groups:
        for p, q, width in FACTORING:
            name = "factor_%d_%d.cnf" % (p, q) if q != 1 else "prime_%d.cnf" % p
            path = os.path.join(work, name)
            gen.factoring(p, q, width).write(path, "x * y = %d, x, y > 1, %d-bit factors" % (p * q, width))
            files["factor"].append(path)
    return files


def dump(varnok, benchmarks, work):
    """The first clause set varnok's DIMACS back end writes for each file."""
    out = []
    for rel in DUMPED:
        src = os.path.join(benchmarks, rel)
        if not os.path.exists(src):
            print("missing benchmark %s" % rel, file=sys.stderr)
            continue
        d = tempfile.mkdtemp(dir=work)
        subprocess.run([varnok, "--sat-solver=dump-dimacs", "--sat-preprocessing=off", src], cwd=d,
                       capture_output=True, text=True, timeout=600)
        dumped = sorted(glob.glob(os.path.join(d, "varnok_*.cnf")), key=lambda p: int(re.sub(r"\D", "", os.path.basename(p))))
        first = dumped[0] if dumped else None
        if first is None:
            print("no clause set dumped for %s (decided without the SAT solver)" % rel, file=sys.stderr)
            shutil.rmtree(d)
            continue
        path = os.path.join(work, "dump_" + os.path.basename(rel).replace(".smt2", "") + ".cnf")
        shutil.move(first, path)
        shutil.rmtree(d)
        out.append(path)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--satbench", required=True)
    ap.add_argument("--varnok", required=True)
    ap.add_argument("--benchmarks", default=os.path.join(HERE, "..", "..", "shared", "benchmarks"))
    ap.add_argument("--timeout", type=int, default=60)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--work", default=None, help="directory for the generated files (default: a temporary one)")
    ap.add_argument("--groups", default="cnf,miter,factor,dumped")
    a = ap.parse_args()

    groups = a.groups.split(",")
    work = a.work or tempfile.mkdtemp(prefix="sat_compare.")
    os.makedirs(work, exist_ok=True)
    files = generate(work, groups)
    if "dumped" in groups:
        files["dumped"] = dump(a.varnok, a.benchmarks, work)

    solvers = {}
    for label, solver, pre in BACKENDS:
        solvers[label] = lambda f, s=solver, p=pre: [a.satbench, "--solver=" + s, "--preprocessing=" + p, f]
    solvers["cadical"] = lambda f: ["cadical", "-q", f]
    solvers["picosat"] = lambda f: ["picosat", f]
    names = list(solvers)

    jobs = [(g, f, n) for g in groups for f in files[g] for n in names]
    with ThreadPoolExecutor(a.jobs) as ex:
        results = list(ex.map(lambda j: timed(solvers[j[2]](j[1]), a.timeout), jobs))
    table = {}
    for (g, f, n), r in zip(jobs, results):
        table.setdefault((g, f), {})[n] = r

    status = 0
    width = max([len(os.path.basename(f)) for g in groups for f in files[g]] + [10])
    print("%-*s %-6s " % (width, "file", "answer") + " ".join("%13s" % n for n in names))
    par2 = {g: {n: 0.0 for n in names} for g in groups}
    for g in groups:
        print("-- %s" % g)
        for f in files[g]:
            r = table[(g, f)]
            answers = {v[0] for v in r.values() if v[0] in ("sat", "unsat")}
            failed = [n for n in names if r[n][0] not in ("sat", "unsat", "timeout")]
            note = ""
            if len(answers) > 1:
                note = " DISAGREE"
                status = 1
            if failed:
                note += " FAILED: " + ",".join(failed)
                status = 1
            cells = []
            for n in names:
                ans, t = r[n]
                cells.append("%13s" % ("%.2f" % t if ans in ("sat", "unsat") else ans))
                par2[g][n] += t if ans in ("sat", "unsat") else 2 * a.timeout
            print("%-*s %-6s " % (width, os.path.basename(f), "/".join(sorted(answers)) or "-") + " ".join(cells) + note)

    print("\nPAR-2 (s, time limit %d s)" % a.timeout)
    print("%-8s " % "group" + " ".join("%13s" % n for n in names))
    for g in groups:
        print("%-8s " % g + " ".join("%13.2f" % par2[g][n] for n in names))
    print("\nratios (PAR-2 of the default back end or cadical / PAR-2 of the Glucose back end; > 1: Glucose faster)")
    for g in groups:
        for gl in ("glucose-simp", "glucose-core"):
            base = par2[g][gl]
            if base <= 0:
                continue
            print("%-8s %-13s %s/%s %6.2f   cadical/%s %6.2f" % (g, gl, DEFAULT, gl, par2[g][DEFAULT] / base, gl,
                                                               par2[g]["cadical"] / base))
    both = [g for g in ("miter", "factor") if g in groups]
    if len(both) == 2:
        for gl in ("glucose-simp", "glucose-core"):
            base = sum(par2[g][gl] for g in both)
            if base > 0:
                print("%-8s %-13s %s/%s %6.2f" % ("mit+fac", gl, DEFAULT, gl, sum(par2[g][DEFAULT] for g in both) / base))
    sys.exit(status)


if __name__ == "__main__":
    main()
