#!/usr/bin/env python3
"""Reading time of SMT-LIB 2 scripts that hold one very long token.

Usage:
  bench/long_tokens.py --varnok build/src/main/varnok [--sizes 2,10] [--timeout 300]
                       [--kinds comment,symbol,...]

For every kind of token (comment, symbol, quoted symbol, string, keyword,
numeral, hexadecimal, binary, blanks) and every size in MB, writes a small
script whose one long token has that size, runs varnok on it and prints the
wall-clock seconds, one row per kind, with the ratio of the largest to the
smallest size. Reading time that grows linearly with the token shows a ratio
near the ratio of the sizes (5 for 2 MB and 10 MB). A run that fails or passes
the time limit is reported instead of a time; the exit status is 1 when a run
fails.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

MB = 1 << 20


def script(kind, size):
    """Script text with one token of about size bytes, and its expected output."""
    if kind == "comment":
        return "; " + "c" * size + "\n(check-sat)\n", "sat\n"
    if kind == "symbol":
        return "(declare-fun s" + "y" * size + " () Bool)(check-sat)\n", "sat\n"
    if kind == "quoted":
        return "(declare-fun |" + "q (" * (size // 3) + "| () Bool)(check-sat)\n", "sat\n"
    if kind == "string":
        return "(set-info :source \"" + "s x" * (size // 3) + "\")(check-sat)\n", "sat\n"
    if kind == "keyword":
        return "(set-info :k" + "k" * size + " v)(check-sat)\n", "sat\n"
    if kind == "numeral":
        return "(set-info :n 1" + "0" * size + ")(check-sat)\n", "sat\n"
    if kind == "hexadecimal":
        return "(set-info :h #x" + "F" * size + ")(check-sat)\n", "sat\n"
    if kind == "binary":
        return "(set-info :b #b" + "1" * size + ")(check-sat)\n", "sat\n"
    if kind == "blanks":
        return "(check-sat" + " " * size + ")\n", "sat\n"
    raise ValueError(kind)


KINDS = ["comment", "symbol", "quoted", "string", "keyword", "numeral", "hexadecimal", "binary",
         "blanks"]


def run(varnok, path, expected, timeout):
    start = time.monotonic()
    try:
        result = subprocess.run([varnok, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, "timeout"
    seconds = time.monotonic() - start
    if result.returncode != 0 or result.stdout.decode() != expected:
        return None, "failed"
    return seconds, ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--varnok", required=True)
    parser.add_argument("--sizes", default="2,10", help="token sizes in MB, comma separated")
    parser.add_argument("--timeout", type=float, default=300)
    parser.add_argument("--kinds", default=",".join(KINDS))
    args = parser.parse_args()
    sizes = [float(s) for s in args.sizes.split(",")]
    kinds = args.kinds.split(",")

    failed = False
    header = "%-12s" % "token" + "".join("%12s" % ("%g MB s" % s) for s in sizes) + "%10s" % "ratio"
    print(header)
    with tempfile.TemporaryDirectory() as tmp:
        for kind in kinds:
            cells = []
            times = []
            for size in sizes:
                text, expected = script(kind, int(size * MB))
                path = os.path.join(tmp, kind + ".smt2")
                with open(path, "w") as out:
                    out.write(text)
                seconds, problem = run(args.varnok, path, expected, args.timeout)
                if seconds is None:
                    failed = failed or problem == "failed"
                    cells.append("%12s" % problem)
                else:
                    cells.append("%12.2f" % seconds)
                times.append(seconds)
            ratio = ""
            if times[0] and times[-1] and len(times) > 1:
                ratio = "%.1f" % (times[-1] / times[0])
            print("%-12s" % kind + "".join(cells) + "%10s" % ratio, flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
