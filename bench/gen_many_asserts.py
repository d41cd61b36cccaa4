#!/usr/bin/env python3
"""Writes an SMT-LIB 2 script with many assertions of moderate bit-vector terms.

Usage:
  bench/gen_many_asserts.py [--asserts 10000] [--vars 40] [--width 32] [--depth 3]
                            [--seed 1] [--unsat] [--push] [--mix D,E,U,L,N,C] [-o FILE]

The script declares --vars bit-vector constants of --width bits, asserts
--asserts formulas over them and checks once. Every formula compares random
terms of up to --depth operator levels (addition, subtraction, bitwise
operations, negation, shifts and rotations by constants, the high part of one
term above the low part of another, if-then-else on an unsigned comparison,
rare multiplication) and is true under a hidden random assignment, so the
plain script is sat. --mix gives the relative weights of the formula shapes:
  D  x = t + c, a definition of a variable by a term over the others (the
     offset c is chosen by the hidden assignment; variable substitution picks
     these up),
  E  t = c,   U  t <= c (unsigned),   L  c < t or t < c,   N  t /= c,
  C  t < u or t = u for two terms.
The default mix keeps most variables free after substitution, so that the
check bit-blasts most of the script.

--unsat adds three formulas, spread over the script, that order three terms in
a strict unsigned cycle (a < b, b < c, c < a), which no assignment satisfies;
the other formulas stay as in the sat script (same seed).

--push opens one scope before the first assertion, so that every assertion
reaches the check as an assumption instead of an asserted formula.
"""
import argparse
import random
import re
import sys

OPERATORS = ["add", "sub", "xor", "and", "or", "not", "neg", "shl", "lshr", "rot", "split", "ite", "mul"]
OPERATOR_WEIGHTS = [14, 8, 14, 10, 10, 4, 3, 6, 6, 4, 6, 6, 1]
SHAPES = ["def", "eq", "ule", "ult", "ne", "cmp"]
VARIABLE = re.compile(r"[ (]x[0-9]")


class Gen:
    def __init__(self, rng, nvars, width, depth, mix):
        self.rng = rng
        self.w = width
        self.mask = (1 << width) - 1
        self.depth = depth
        self.mix = mix
        self.names = ["x%d" % i for i in range(nvars)]
        self.model = [rng.getrandbits(width) for _ in range(nvars)]

    def const(self, v):
        v &= self.mask
        if self.w % 4:
            return "#b" + format(v, "0%db" % self.w)
        return "#x" + format(v, "0%dx" % (self.w // 4))

    def leaf(self, allowed):
        r = self.rng
        if r.random() < 0.8:
            i = r.choice(allowed)
            return self.names[i], self.model[i]
        v = r.getrandbits(self.w) if r.random() < 0.5 else r.randrange(16)
        return self.const(v), v

    def term(self, d, allowed):
        """A random term of the script's width and its value under the hidden assignment."""
        r, w, m = self.rng, self.w, self.mask
        # Only inner levels may stop early: a formula never compares a bare
        # variable or constant.
        if d == 0 or (d < self.depth and r.random() < 0.15):
            return self.leaf(allowed)
        op = r.choices(OPERATORS, OPERATOR_WEIGHTS)[0]
        if op in ("add", "sub", "xor", "and", "or", "mul"):
            a, av = self.term(d - 1, allowed)
            if op == "mul" and r.random() < 0.5:
                k = r.randrange(3, 64) | 1
                return "(bvmul %s %s)" % (a, self.const(k)), (av * k) & m
            b, bv = self.term(d - 1, allowed)
            val = {"add": av + bv, "sub": av - bv, "xor": av ^ bv, "and": av & bv, "or": av | bv,
                   "mul": av * bv}[op]
            return "(bv%s %s %s)" % (op, a, b), val & m
        if op in ("not", "neg"):
            a, av = self.term(d - 1, allowed)
            return "(bv%s %s)" % (op, a), (~av if op == "not" else -av) & m
        if op in ("shl", "lshr"):
            a, av = self.term(d - 1, allowed)
            k = r.randrange(1, w)
            val = av << k if op == "shl" else av >> k
            return "(bv%s %s %s)" % (op, a, self.const(k)), val & m
        if op == "rot":
            a, av = self.term(d - 1, allowed)
            k = r.randrange(1, w)
            return "((_ rotate_left %d) %s)" % (k, a), ((av << k) | (av >> (w - k))) & m
        if op == "split":
            a, av = self.term(d - 1, allowed)
            b, bv = self.term(d - 1, allowed)
            k = r.randrange(1, w)
            hi = "((_ extract %d %d) %s)" % (w - 1, k, a)
            lo = "((_ extract %d 0) %s)" % (k - 1, b)
            low = (1 << k) - 1
            return "(concat %s %s)" % (hi, lo), ((av & ~low) | (bv & low)) & m
        a, av = self.term(d - 1, allowed)
        b, bv = self.term(d - 1, allowed)
        t, tv = self.term(d - 1, allowed)
        e, ev = self.term(d - 1, allowed)
        return "(ite (bvult %s %s) %s %s)" % (a, b, t, e), tv if av < bv else ev

    def formula(self):
        """A formula that holds under the hidden assignment and mentions a variable."""
        while True:
            f = self.draw()
            if VARIABLE.search(f):
                return f

    def draw(self):
        r, m = self.rng, self.mask
        everything = list(range(len(self.names)))
        shape = r.choices(SHAPES, self.mix)[0]
        if shape == "def":
            i = r.randrange(len(self.names))
            others = [j for j in everything if j != i]
            t, tv = self.term(self.depth, others)
            while not VARIABLE.search(" " + t):
                t, tv = self.term(self.depth, others)
            return "(= %s (bvadd %s %s))" % (self.names[i], t, self.const(self.model[i] - tv))
        t, tv = self.term(self.depth, everything)
        if shape == "eq":
            return "(= %s %s)" % (t, self.const(tv))
        if shape == "ule":
            return "(bvule %s %s)" % (t, self.const(r.randint(tv, m)))
        if shape == "ult":
            if tv == 0:
                return "(bvult %s %s)" % (t, self.const(r.randint(1, m)))
            return "(bvult %s %s)" % (self.const(r.randrange(0, tv)), t)
        if shape == "ne":
            c = r.getrandbits(self.w)
            if c == tv:
                c += 1
            return "(not (= %s %s))" % (t, self.const(c))
        u, uv = self.term(self.depth, everything)
        if tv == uv:
            return "(= %s %s)" % (t, u)
        return "(bvult %s %s)" % ((t, u) if tv < uv else (u, t))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--asserts", type=int, default=10000)
    ap.add_argument("--vars", type=int, default=40)
    ap.add_argument("--width", type=int, default=32)
    ap.add_argument("--depth", type=int, default=3)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--mix", default="5,5,30,20,20,20")
    ap.add_argument("--unsat", action="store_true")
    ap.add_argument("--push", action="store_true")
    ap.add_argument("-o", "--output", default="-")
    a = ap.parse_args()
    mix = [int(x) for x in a.mix.split(",")]
    if a.vars < 3 or a.width < 2 or a.depth < 1 or len(mix) != len(SHAPES) or sum(mix) <= 0:
        ap.error("need at least 3 variables of at least 2 bits, depth 1 and six shape weights")
    rng = random.Random(a.seed)
    g = Gen(rng, a.vars, a.width, a.depth, mix)
    lines = ["(assert %s)" % g.formula() for _ in range(a.asserts)]
    if a.unsat:
        everything = list(range(len(g.names)))
        t1, t2, t3 = (g.term(a.depth, everything)[0] for _ in range(3))
        n = len(lines)
        for pos, (p, q) in ((3 * n // 4, (t3, t1)), (n // 2, (t2, t3)), (n // 4, (t1, t2))):
            lines.insert(pos, "(assert (bvult %s %s))" % (p, q))
    out = sys.stdout if a.output == "-" else open(a.output, "w")
    out.write("; %d assertions over %d variables of %d bits, depth %d, mix %s, seed %d, %s%s\n"
              % (a.asserts, a.vars, a.width, a.depth, a.mix, a.seed, "unsat" if a.unsat else "sat",
                 ", in a push scope" if a.push else ""))
    out.write("(set-logic QF_BV)\n")
    for n in g.names:
        out.write("(declare-fun %s () (_ BitVec %d))\n" % (n, a.width))
    if a.push:
        out.write("(push 1)\n")
    for line in lines:
        out.write(line + "\n")
    out.write("(check-sat)\n(exit)\n")
    if out is not sys.stdout:
        out.close()


if __name__ == "__main__":
    main()
