#!/usr/bin/env python3
"""Generates the fixed CNF benchmark set for satbench (deterministic).

    python3 bench/cnf/generate.py [OUTPUT_DIR]
    python3 bench/cnf/generate.py --larger OUTPUT_DIR

The second form writes a larger set of the same kinds (seconds to minutes per
back end; for bench/sat_backends.sh, not kept in the repository).

Random 3-SAT near the threshold (clause/variable ratio 4.26), pigeonhole
formulas, and structured instances: multiplier and adder miters, factoring
through a multiplier circuit, graph colouring and a bounded counter check.
"""
import os
import random
import sys


class Cnf:
    def __init__(self):
        self.vars = 0
        self.clauses = []

    def var(self):
        self.vars += 1
        return self.vars

    def add(self, *lits):
        self.clauses.append(list(lits))

    # Tseitin gates over literals (ints, negative = negated).
    def and2(self, a, b):
        o = self.var()
        self.add(-o, a)
        self.add(-o, b)
        self.add(o, -a, -b)
        return o

    def or2(self, a, b):
        return -self.and2(-a, -b)

    def xor2(self, a, b):
        o = self.var()
        self.add(-o, a, b)
        self.add(-o, -a, -b)
        self.add(o, -a, b)
        self.add(o, a, -b)
        return o

    def full_adder(self, a, b, c):
        s = self.xor2(self.xor2(a, b), c)
        carry = self.or2(self.and2(a, b), self.and2(c, self.xor2(a, b)))
        return s, carry

    def write(self, path, comment):
        with open(path, "w") as f:
            f.write("c %s\n" % comment)
            f.write("p cnf %d %d\n" % (self.vars, len(self.clauses)))
            for c in self.clauses:
                f.write(" ".join(str(l) for l in c) + " 0\n")


def const_false(cnf):
    v = cnf.var()
    cnf.add(-v)
    return v


def adder(cnf, xs, ys, carry_in=None):
    carry = carry_in if carry_in is not None else const_false(cnf)
    out = []
    for a, b in zip(xs, ys):
        s, carry = cnf.full_adder(a, b, carry)
        out.append(s)
    return out, carry


def multiplier(cnf, xs, ys, width):
    """Shift-and-add multiplier, result truncated to `width` bits."""
    zero = const_false(cnf)
    acc = [zero] * width
    for i, y in enumerate(ys):
        if i >= width:
            break
        row = [zero] * i + [cnf.and2(x, y) for x in xs][: width - i]
        acc, _ = adder(cnf, acc, row)
    return acc


def random_3sat(n, seed, ratio=4.26):
    rng = random.Random(seed)
    cnf = Cnf()
    cnf.vars = n
    for _ in range(int(round(n * ratio))):
        vs = rng.sample(range(1, n + 1), 3)
        cnf.add(*[v if rng.random() < 0.5 else -v for v in vs])
    return cnf


def pigeonhole(pigeons, holes):
    cnf = Cnf()
    p = [[cnf.var() for _ in range(holes)] for _ in range(pigeons)]
    for i in range(pigeons):
        cnf.add(*p[i])
    for h in range(holes):
        for i in range(pigeons):
            for j in range(i + 1, pigeons):
                cnf.add(-p[i][h], -p[j][h])
    return cnf


def assert_differ(cnf, xs, ys):
    diffs = [cnf.xor2(a, b) for a, b in zip(xs, ys)]
    cnf.add(*diffs)


def multiplier_commutes(width):
    """a * b != b * a is unsatisfiable."""
    cnf = Cnf()
    a = [cnf.var() for _ in range(width)]
    b = [cnf.var() for _ in range(width)]
    assert_differ(cnf, multiplier(cnf, a, b, width), multiplier(cnf, b, a, width))
    return cnf


def adder_associative(width):
    """(a + b) + c != a + (b + c) is unsatisfiable."""
    cnf = Cnf()
    a, b, c = ([cnf.var() for _ in range(width)] for _ in range(3))
    left, _ = adder(cnf, adder(cnf, a, b)[0], c)
    right, _ = adder(cnf, a, adder(cnf, b, c)[0])
    assert_differ(cnf, left, right)
    return cnf


def factoring(p, q, width):
    """x * y = p * q with x, y > 1 (no overflow): satisfiable."""
    cnf = Cnf()
    n = p * q
    x = [cnf.var() for _ in range(width)]
    y = [cnf.var() for _ in range(width)]
    xe = x + [const_false(cnf) for _ in range(width)]
    ye = y + [const_false(cnf) for _ in range(width)]
    prod = multiplier(cnf, xe, ye, 2 * width)
    for i, bit in enumerate(prod):
        cnf.add(bit if (n >> i) & 1 else -bit)
    cnf.add(*x[1:])  # x > 1
    cnf.add(*y[1:])  # y > 1
    return cnf


def colouring(nodes, edges, colours, seed):
    rng = random.Random(seed)
    cnf = Cnf()
    c = [[cnf.var() for _ in range(colours)] for _ in range(nodes)]
    for i in range(nodes):
        cnf.add(*c[i])
        for k in range(colours):
            for m in range(k + 1, colours):
                cnf.add(-c[i][k], -c[i][m])
    seen = set()
    while len(seen) < edges:
        u, v = rng.sample(range(nodes), 2)
        if (min(u, v), max(u, v)) in seen:
            continue
        seen.add((min(u, v), max(u, v)))
        for k in range(colours):
            cnf.add(-c[u][k], -c[v][k])
    return cnf


def counter_reaches(width, steps, target):
    """A counter from 0 that adds an input bit each step reaches `target`
    within `steps` steps (satisfiable iff target <= steps)."""
    cnf = Cnf()
    state = [const_false(cnf) for _ in range(width)]
    for _ in range(steps):
        inc = cnf.var()
        state, _ = adder(cnf, state, [inc] + [const_false(cnf)] * (width - 1))
    for i, bit in enumerate(state):
        cnf.add(bit if (target >> i) & 1 else -bit)
    return cnf


def larger_instances():
    instances = []
    for seed in (1, 2, 3):
        instances.append(("rand3_250_%d_large.cnf" % seed, random_3sat(250, seed + 100),
                          "random 3-SAT n=250 ratio 4.26 seed %d" % (seed + 100)))
    instances.append(("php_10_9.cnf", pigeonhole(10, 9), "pigeonhole 10 into 9 (unsat)"))
    for width in (8, 9):
        instances.append(("mul_comm_%d.cnf" % width, multiplier_commutes(width),
                          "%d-bit multiplier commutativity miter (unsat)" % width))
    instances.append(("add_assoc_64.cnf", adder_associative(64), "64-bit adder associativity miter (unsat)"))
    instances.append(("factor_65519_65521.cnf", factoring(65519, 65521, 16), "factoring 65519*65521 (sat)"))
    return instances


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--larger":
        os.makedirs(sys.argv[2], exist_ok=True)
        for name, cnf, comment in larger_instances():
            cnf.write(os.path.join(sys.argv[2], name), comment)
        return
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    instances = []
    # Per size the first two seeds that picosat decides within 10 seconds (the
    # threshold instances at 350 variables are out of reach for every solver
    # in that time, so that size uses the ratio 4.2).
    for n, seed, ratio in [(200, 1, 4.26), (200, 2, 4.26), (250, 1, 4.26), (250, 2, 4.26), (300, 2, 4.26),
                           (300, 3, 4.26), (350, 3, 4.2), (350, 6, 4.2)]:
        instances.append(("rand3_%d_%d.cnf" % (n, seed), random_3sat(n, seed, ratio),
                          "random 3-SAT n=%d ratio %g seed %d" % (n, ratio, seed)))
    instances.append(("php_8_7.cnf", pigeonhole(8, 7), "pigeonhole 8 into 7 (unsat)"))
    instances.append(("php_9_8.cnf", pigeonhole(9, 8), "pigeonhole 9 into 8 (unsat)"))
    instances.append(("mul_comm_7.cnf", multiplier_commutes(7), "7-bit multiplier commutativity miter (unsat)"))
    instances.append(("add_assoc_32.cnf", adder_associative(32), "32-bit adder associativity miter (unsat)"))
    instances.append(("factor_3863_4001.cnf", factoring(3863, 4001, 12), "factoring 3863*4001 (sat)"))
    instances.append(("colour_120_4.cnf", colouring(120, 250, 4, 9), "4-colouring of a random graph"))
    instances.append(("counter_8_40.cnf", counter_reaches(8, 40, 41), "counter cannot reach 41 in 40 steps"))
    for name, cnf, comment in instances:
        cnf.write(os.path.join(out, name), comment)


if __name__ == "__main__":
    main()
