#!/usr/bin/env python3
"""First satisfiable step of bounded-model-checking problems under every solver
configuration, cross-checked against an SMT-LIB 2 unrolling of the same problem.

For each .hys model (integer and boole variables only) the script runs
`varnok --input-format=hysat` under each configuration, with a time limit, and
reads the step of the "SAT at step k" line and whether "model verified."
follows. It then translates the model into one SMT-LIB 2 script that unrolls
it: variables x@0 ... x@K as 32-bit (int) or Bool (boole) constants with their
ranges, INIT at step 0, TRANS from step i to i+1, and for every k a push, the
target at step k, check-sat and a pop. varnok's SMT-LIB 2 front end solves it
(optionally z3 too), and the first "sat" answer is the expected step. A model
whose target is never reached shows how many steps each run proved unsat.

Usage:
  bench/bmc_crosscheck.py [--varnok build/src/main/varnok] [--limit 10] [--bound 25] [--z3]
                          [MODEL.hys ...]     (default: bench/bmc_models/*.hys)
  bench/bmc_crosscheck.py --emit K MODEL.hys  (prints the unrolling to step K)
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

CONFIGS = [
    ("default", []),
    ("no-preproc", ["--sat-preprocessing=off"]),
    ("no-subst", ["--substitution=off"]),
    ("modified", ["--sat-solver=minisat-modified"]),
    ("propagation", ["--constraint-propagation=on"]),
]

TOKEN = re.compile(r"\s*(?:(--[^\n]*\n)|([A-Za-z_][A-Za-z0-9_]*'?)|(-?(?:0|[1-9][0-9]*)(?:\.[0-9]+)?)|"
                   r"(<->|->|!=|<=|>=|\^2|[-+*/=<>!();,\[\]]))")


def tokenize(text):
    tokens, pos = [], 0
    while pos < len(text):
        m = TOKEN.match(text, pos)
        if not m:
            if text[pos:].strip() == "":
                break
            raise SystemExit("cannot read %r" % text[pos:pos + 20])
        pos = m.end()
        if m.group(1):
            continue
        tokens.append(m.group(2) or m.group(3) or m.group(4))
    return tokens


# Binding power of the binary operators, loosest first (right associative: ->).
BINARY = {"->": 1, "or": 2, "<->": 3, "nxor": 3, "and": 4, "=": 5, "!=": 5, "<": 5, "<=": 5, ">": 5,
          ">=": 5, "+": 6, "-": 6, "*": 7, "/": 7}


class Parser:
    def __init__(self, tokens):
        self.tokens, self.pos = tokens, 0

    def peek(self):
        return self.tokens[self.pos] if self.pos < len(self.tokens) else None

    def take(self, expected=None):
        token = self.peek()
        if expected is not None and token != expected:
            raise SystemExit("expected %s, got %s" % (expected, token))
        self.pos += 1
        return token

    def expression(self, level=0):
        left = self.prefix()
        while True:
            op = self.peek()
            if op == "^2":
                self.take()
                left = ("sq", left)
                continue
            if op not in BINARY or BINARY[op] <= level:
                break
            self.take()
            right = self.expression(BINARY[op] - 1 if op == "->" else BINARY[op])
            left = (op, left, right)
        return left

    def prefix(self):
        token = self.take()
        if token in ("not", "!"):
            return ("not", self.prefix())
        if token == "-":
            return ("neg", self.expression(6))
        if token == "+":
            return self.expression(6)
        if token in ("(", "["):
            inner = self.expression()
            self.take(")" if token == "(" else "]")
            return inner
        if token in ("true", "false"):
            return ("bool", token == "true")
        if re.fullmatch(r"-?[0-9]+", token):
            return ("int", int(token))
        if re.fullmatch(r"-?[0-9]+\.[0-9]+", token):
            raise SystemExit("float models are not translated")
        if token.endswith("'"):
            return ("var", token[:-1], 1)
        return ("var", token, 0)

    def statements(self, stop):
        tree = None
        while self.peek() not in stop:
            e = self.expression()
            self.take(";")
            tree = e if tree is None else ("and", tree, e)
        return tree


def parse_model(text):
    p = Parser(tokenize(text))
    p.take("DECL")
    symbols, defines = {}, {}
    while p.peek() not in ("INIT", "EXPR"):
        if p.peek() == "define":
            p.take()
            name = p.take()
            p.take("=")
            defines[name] = int(p.take())
            p.take(";")
            continue
        static = p.peek() == "static"
        if static:
            p.take()
        kind = p.take()
        rng = None
        if kind == "int" and p.peek() == "[":
            p.take()
            lo = int(p.take())
            p.take(",")
            hi = int(p.take())
            p.take("]")
            rng = (lo, hi)
        while True:
            symbols[p.take()] = (kind, static, rng)
            if p.take() == ";":
                break
    p.take("INIT")
    init = p.statements(("TRANS",))
    p.take("TRANS")
    trans = p.statements(("TARGET",))
    p.take("TARGET")
    target = p.statements((None,))
    return symbols, defines, init, trans, target


def bv(value):
    return "(_ bv%d 32)" % (value % (1 << 32))


class Translator:
    def __init__(self, symbols, defines):
        self.symbols, self.defines = symbols, defines

    def name(self, var, step):
        kind, static, _ = self.symbols[var]
        return "|%s|" % var if static else "|%s@%d|" % (var, step)

    def term(self, e, step):
        """(SMT-LIB text, type) with type 'int' or 'bool'."""
        tag = e[0]
        if tag == "bool":
            return ("true" if e[1] else "false"), "bool"
        if tag == "int":
            return bv(e[1]), "int"
        if tag == "var":
            if e[1] in self.defines:
                return bv(self.defines[e[1]]), "int"
            kind = self.symbols[e[1]][0]
            return self.name(e[1], step + e[2]), ("bool" if kind == "boole" else "int")
        if tag == "not":
            return "(not %s)" % self.boolean(e[1], step), "bool"
        if tag == "neg":
            return "(bvneg %s)" % self.integer(e[1], step), "int"
        if tag == "sq":
            x = self.integer(e[1], step)
            return "(bvmul %s %s)" % (x, x), "int"
        op = tag
        if op in ("and", "or", "->", "<->", "nxor"):
            word = {"and": "and", "or": "or", "->": "=>", "<->": "=", "nxor": "="}[op]
            return "(%s %s %s)" % (word, self.boolean(e[1], step), self.boolean(e[2], step)), "bool"
        a, b = self.integer(e[1], step), self.integer(e[2], step)
        if op in ("+", "-", "*", "/"):
            word = {"+": "bvadd", "-": "bvsub", "*": "bvmul", "/": "bvsdiv"}[op]
            return "(%s %s %s)" % (word, a, b), "int"
        word = {"=": "=", "!=": "distinct", "<": "bvslt", "<=": "bvsle", ">": "bvsgt", ">=": "bvsge"}[op]
        return "(%s %s %s)" % (word, a, b), "bool"

    def boolean(self, e, step):
        text, kind = self.term(e, step)
        if kind != "bool":
            raise SystemExit("a connective over an int")
        return text

    def integer(self, e, step):
        text, kind = self.term(e, step)
        return "(ite %s (_ bv1 32) (_ bv0 32))" % text if kind == "bool" else text


def unrolling(text, bound):
    symbols, defines, init, trans, target = parse_model(text)
    t = Translator(symbols, defines)
    lines = ["(set-logic QF_BV)"]

    def declare(step):
        for var, (kind, static, rng) in sorted(symbols.items()):
            if static and step > 0:
                continue
            sort = "Bool" if kind == "boole" else "(_ BitVec 32)"
            name = t.name(var, step)
            lines.append("(declare-fun %s () %s)" % (name, sort))
            if rng:
                lines.append("(assert (and (bvsge %s %s) (bvsle %s %s)))" % (name, bv(rng[0]), name, bv(rng[1])))

    declare(0)
    lines.append("(assert %s)" % t.boolean(init, 0))
    for k in range(bound + 1):
        lines.append("(push 1)")
        lines.append("(assert %s)" % t.boolean(target, k))
        lines.append("(check-sat)")
        lines.append("(pop 1)")
        declare(k + 1)
        lines.append("(assert %s)" % t.boolean(trans, k))
    return "\n".join(lines) + "\n"


def run_bmc(varnok, model, options, limit):
    try:
        p = subprocess.run([varnok, "--input-format=hysat"] + options + [model], capture_output=True,
                           text=True, timeout=limit)
        out, status = p.stdout, p.returncode
    except subprocess.TimeoutExpired as e:
        out = (e.stdout or b"").decode() if isinstance(e.stdout, bytes) else (e.stdout or "")
        status = None
    sat = re.search(r"^SAT at step (\d+) ", out, re.M)
    if sat:
        verified = "\nmodel verified.\n" in out and status == 0
        return "%s%s" % (sat.group(1), "" if verified else " (NOT VERIFIED)")
    unsat = re.findall(r"^UNSAT at step (\d+) ", out, re.M)
    return "none <=%s" % unsat[-1] if unsat else "error"


def first_sat(command, script, limit):
    with tempfile.NamedTemporaryFile("w", suffix=".smt2", delete=False) as f:
        f.write(script)
        path = f.name
    try:
        p = subprocess.run(command + [path], capture_output=True, text=True, timeout=limit * 10)
        answers = [line for line in p.stdout.split("\n") if line in ("sat", "unsat")]
    except subprocess.TimeoutExpired:
        answers = []
    finally:
        os.unlink(path)
    for k, answer in enumerate(answers):
        if answer == "sat":
            return str(k)
    return "none <=%d" % (len(answers) - 1)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--varnok", default="build/src/main/varnok")
    parser.add_argument("--limit", type=float, default=10.0, help="seconds per BMC run")
    parser.add_argument("--bound", type=int, default=25, help="steps of the SMT-LIB 2 unrolling")
    parser.add_argument("--z3", action="store_true", help="also solve the unrolling with z3")
    parser.add_argument("--emit", type=int, metavar="K")
    parser.add_argument("models", nargs="*")
    args = parser.parse_args()
    models = args.models or sorted(glob.glob(os.path.join(os.path.dirname(__file__), "bmc_models", "*.hys")))
    if args.emit is not None:
        sys.stdout.write(unrolling(open(models[0]).read(), args.emit))
        return
    columns = [name for name, _ in CONFIGS] + ["smt2 varnok"] + (["smt2 z3"] if args.z3 else [])
    print("| model | " + " | ".join(columns) + " | agree |")
    print("|---" * (len(columns) + 2) + "|")
    for model in models:
        row = [run_bmc(args.varnok, model, options, args.limit) for _, options in CONFIGS]
        script = unrolling(open(model).read(), args.bound)
        row.append(first_sat([args.varnok], script, args.limit))
        if args.z3 and shutil.which("z3"):
            row.append(first_sat(["z3"], script, args.limit))
        steps = {cell.split(" ")[0] for cell in row}
        agree = "yes" if len(steps) == 1 and "NOT" not in " ".join(row) else "NO"
        print("| %s | %s | %s |" % (os.path.basename(model)[:-4], " | ".join(row), agree))


if __name__ == "__main__":
    main()
