#!/usr/bin/env python3
"""Runs varnok on SMT-LIB 2 benchmark files and compares every check-sat answer
with the expected answers of the corpus manifest.

Usage:
  run_benchmarks.py --varnok build/src/main/varnok [--root ../shared/benchmarks]
                    [--timeout 20] [--jobs 2] [--max-peer-time S] [--limit N]
                    [--check-models] [--list-hard] [PATTERN ...]

PATTERN selects manifest paths by folder prefix ("smt2/bv") or glob
("smt2/abv/*/*fifo*"); without patterns smt2/bv, smt2/abv and smt2/misc are run.
--max-peer-time keeps the files that some peer (z3, cvc5, boolector) solved within
that many seconds. --check-models re-checks the model of every file answered sat
with one check-sat: the values of all declared constants (from get-value) are
asserted into the script, which must still be sat, for varnok and (when installed)
for z3.

Prints one line per file and a summary; exits with status 1 when an answer is wrong,
a model check fails or varnok ends with an error line or a crash. A file that is
still unanswered at the time limit is reported as a timeout, which is not a failure.
"""
import argparse
import concurrent.futures
import fnmatch
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

DEFAULT_FOLDERS = ["smt2/bv", "smt2/abv", "smt2/misc"]


def read_manifest(root):
    entries = []
    with open(os.path.join(root, "MANIFEST.tsv")) as f:
        header = f.readline().rstrip("\n").split("\t")
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < len(header):
                continue
            row = dict(zip(header, fields))
            row["expected"] = [a for a in row["expected"].split(",") if a]
            entries.append(row)
    return entries


def peer_time(row):
    best = None
    for key in ("z3_s", "cvc5_s", "boolector_s"):
        try:
            t = float(row.get(key, "-"))
        except ValueError:
            continue
        best = t if best is None else min(best, t)
    return best


def selected(row, patterns):
    path = row["path"]
    if not path.endswith(".smt2"):
        return False
    for p in patterns:
        p = p.rstrip("/")
        if path == p or path.startswith(p + "/") or fnmatch.fnmatch(path, p):
            return True
    return False


# ---- a small s-expression splitter for top-level commands -------------------

def split_commands(text):
    """Top-level parenthesised commands of a script, as source texts."""
    commands, depth, start, i, n = [], 0, None, 0, len(text)
    while i < n:
        c = text[i]
        if c == ";":
            while i < n and text[i] != "\n":
                i += 1
            continue
        if c == '"':
            i += 1
            while i < n:
                if text[i] == '"':
                    if i + 1 < n and text[i + 1] == '"':
                        i += 2
                        continue
                    break
                i += 1
        elif c == "|":
            i += 1
            while i < n and text[i] != "|":
                i += 1
        elif c == "(":
            if depth == 0:
                start = i
            depth += 1
        elif c == ")":
            depth -= 1
            if depth == 0 and start is not None:
                commands.append(text[start:i + 1])
                start = None
        i += 1
    return commands


def tokenize(text):
    return re.findall(r'\|[^|]*\||"(?:[^"]|"")*"|[()]|[^\s()]+', text)


def parse_sexprs(text):
    stack, out = [[]], None
    for tok in tokenize(text):
        if tok == "(":
            stack.append([])
        elif tok == ")":
            if len(stack) == 1:
                break
            done = stack.pop()
            stack[-1].append(done)
        else:
            stack[-1].append(tok)
    out = stack[0]
    return out


def to_text(sexpr):
    if isinstance(sexpr, list):
        return "(" + " ".join(to_text(s) for s in sexpr) + ")"
    return sexpr


def command_name(command):
    m = re.match(r"\(\s*([^\s()]+)", command)
    return m.group(1) if m else ""


def declared_constants(commands):
    """Names of the constants declared with declare-fun of arity 0 (no RoundingMode)."""
    names = []
    for c in commands:
        if command_name(c) != "declare-fun":
            continue
        parsed = parse_sexprs(c)
        if not parsed or not isinstance(parsed[0], list) or len(parsed[0]) < 4:
            continue
        _, name, args, sort = parsed[0][:4]
        if args == [] and sort != "RoundingMode":
            names.append(name)
    return names


FLOAT_WORDS = re.compile(r"FloatingPoint|Float(16|32|64|128)\b|RoundingMode|\bfp\b|\bfp\.|to_fp|to_[su]bv|"
                         r"\b(RNE|RNA|RTP|RTN|RTZ)\b|round(NearestTies|Toward)")


def uses_float(path):
    with open(path, encoding="latin-1") as f:
        return FLOAT_WORDS.search(f.read()) is not None


# ---- running ------------------------------------------------------------------

def run(cmd, stdin_text, timeout):
    start = time.monotonic()
    try:
        p = subprocess.run(cmd, input=stdin_text, capture_output=True, text=True,
                           encoding="latin-1", timeout=timeout)
        return p.returncode, p.stdout, p.stderr, time.monotonic() - start, False
    except subprocess.TimeoutExpired as e:
        out = e.stdout.decode("latin-1") if isinstance(e.stdout, bytes) else (e.stdout or "")
        return None, out, "", time.monotonic() - start, True


def answers_of(stdout):
    return [line.strip() for line in stdout.splitlines() if line.strip() in ("sat", "unsat", "unknown")]


def check_model(varnok, path, timeout):
    """Returns None when the model holds, else a short reason."""
    with open(path, encoding="latin-1") as f:
        text = f.read()
    commands = split_commands(text)
    names = declared_constants(commands)
    if not names:
        return None
    cut = next(i for i, c in enumerate(commands) if command_name(c) == "check-sat")
    prefix = [c for c in commands[:cut] if command_name(c) not in ("get-value", "exit")]
    # One get-value for all constants: every answer comes from one model.
    script = ["(set-option :produce-models true)"] + prefix + ["(check-sat)"]
    script += ["(get-value (%s))" % " ".join(names)]
    code, out, _, _, timed_out = run([varnok], "\n".join(script) + "\n", timeout)
    if timed_out:
        return None  # nothing to check within the limit
    lists = [x for x in parse_sexprs(out) if isinstance(x, list)]
    if code != 0 or not lists:
        lines = out.strip().splitlines()
        return "get-value failed: " + (lines[-1][:120] if lines else "no output")
    # Each entry is (NAME VALUE) or, for an array, ((select NAME INDEX) VALUE),
    # NAME being the source text of the requested term.
    equalities = []
    for entry in lists[-1]:
        if not isinstance(entry, list) or len(entry) != 2:
            return "malformed value entry %s" % to_text(entry)
        equalities.append("(assert (= %s %s))" % (to_text(entry[0]), to_text(entry[1])))
    recheck = prefix + equalities + ["(check-sat)"]
    if any("(select " in e for e in equalities) and not any(command_name(c) == "set-logic" for c in prefix):
        # Array reads need a logic with arrays.
        recheck = ["(set-logic QF_ABV)"] + recheck
    recheck_text = "\n".join(recheck) + "\n"
    code, out, _, _, timed_out = run([varnok], recheck_text, timeout)
    if not timed_out and answers_of(out) != ["sat"]:
        return "varnok rejects its own model: " + " ".join(out.split())[:120]
    z3 = shutil.which("z3")
    if z3:
        with tempfile.NamedTemporaryFile("w", suffix=".smt2", delete=False, encoding="latin-1") as f:
            f.write(recheck_text)
            name = f.name
        try:
            code, out, _, _, timed_out = run([z3, "-smt2", "-T:%d" % max(1, int(timeout)), name], None,
                                             timeout + 5)
        finally:
            os.unlink(name)
        if not timed_out and answers_of(out) and answers_of(out) != ["sat"]:
            return "z3 rejects the model: " + " ".join(out.split())[:120]
    return None


def run_file(args, row):
    path = os.path.join(args.root, row["path"])
    code, out, err, elapsed, timed_out = run([args.varnok, path], None, args.timeout)
    got = answers_of(out)
    expected = row["expected"]
    error_line = next((l for l in out.splitlines() if l.startswith("(error")), None)
    wrong = any(g != "unknown" and g != e for g, e in zip(got, expected)) or len(got) > len(expected)
    if wrong:
        status = "WRONG"
    elif timed_out:
        status = "timeout"
    elif error_line or code != 0:
        status = "ERROR"
    elif len(got) != len(expected) or "unknown" in got:
        status = "unsolved"
    else:
        status = "ok"
    note = ""
    if error_line:
        note = error_line[:160]
    elif code not in (0, 1, None):
        note = "exit status %d %s" % (code, " ".join(err.split())[:160])
    if status == "ok" and args.check_models and expected == ["sat"]:
        reason = check_model(args.varnok, path, args.timeout)
        if reason:
            status, note = "BADMODEL", reason
    return row, status, got, elapsed, note


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("patterns", nargs="*")
    ap.add_argument("--varnok", required=True)
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--root", default=os.path.join(here, "..", "..", "shared", "benchmarks"))
    ap.add_argument("--timeout", type=float, default=20.0)
    ap.add_argument("--jobs", type=int, default=1)
    ap.add_argument("--max-peer-time", type=float, default=None)
    ap.add_argument("--limit", type=int, default=None)
    ap.add_argument("--sample", type=int, default=None,
                    help="keep N files spread evenly over the selection")
    ap.add_argument("--skip-float", action="store_true",
                    help="leave out files that use floating-point sorts or operators")
    ap.add_argument("--check-models", action="store_true")
    ap.add_argument("--quiet", action="store_true", help="print only failing and timed-out files")
    args = ap.parse_args()

    if not os.path.isfile(os.path.join(args.root, "MANIFEST.tsv")):
        print("benchmark corpus not found at %s" % args.root)
        return 77
    patterns = args.patterns or DEFAULT_FOLDERS
    rows = [r for r in read_manifest(args.root) if selected(r, patterns)]
    if args.max_peer_time is not None:
        rows = [r for r in rows if peer_time(r) is not None and peer_time(r) < args.max_peer_time]
    if args.skip_float:
        rows = [r for r in rows if not uses_float(os.path.join(args.root, r["path"]))]
    if args.sample is not None and len(rows) > args.sample > 0:
        step = len(rows) / float(args.sample)
        rows = [rows[int(i * step)] for i in range(args.sample)]
    if args.limit is not None:
        rows = rows[:args.limit]

    start = time.monotonic()
    counts = {}
    total_peer = {"z3_s": 0.0, "boolector_s": 0.0}
    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for row, status, got, elapsed, note in pool.map(lambda r: run_file(args, r), rows):
            counts[status] = counts.get(status, 0) + 1
            for key in total_peer:
                try:
                    total_peer[key] += float(row.get(key, "-"))
                except ValueError:
                    pass
            if status in ("WRONG", "ERROR", "BADMODEL"):
                failures.append(row["path"])
            if not args.quiet or status != "ok":
                print("%-8s %7.2fs  expected %-20s got %-20s z3 %-6s %s %s" % (
                    status, elapsed, ",".join(row["expected"]), ",".join(got) or "-",
                    row.get("z3_s", "-"), row["path"], note), flush=True)
    total = time.monotonic() - start
    solved = counts.get("ok", 0) + counts.get("BADMODEL", 0)
    failed = len(failures)
    print("%d passed, %d failed (%d wrong, %d bad models, %d errors); solved %d of %d, %d timeouts, "
          "%d unsolved; total %.1f s (manifest: z3 %.1f s, boolector %.1f s)" % (
              counts.get("ok", 0), failed, counts.get("WRONG", 0), counts.get("BADMODEL", 0),
              counts.get("ERROR", 0), solved, len(rows), counts.get("timeout", 0),
              counts.get("unsolved", 0), total, total_peer["z3_s"], total_peer["boolector_s"]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
