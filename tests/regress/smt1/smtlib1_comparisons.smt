; Comparisons and (dis)equalities on x = -7 (249), y = 3, z = 7, v = -3 (253):
; for each predicate the operands in both orders, equal operands, two
; non-negative and two negative operands; every atom as written holds.
(benchmark compare
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]) (z BitVec[8]) (v BitVec[8]))
:status sat
:formula (and (= x bv249[8]) (= y bv3[8]) (= z bv7[8]) (= v bv253[8])
  (not (bvult x y)) (bvult y x) (not (bvult y y)) (bvult y z) (bvult x v)
  (not (bvule x y)) (bvule y x) (bvule y y) (bvule y z) (bvule x v)
  (bvugt x y) (not (bvugt y x)) (not (bvugt y y)) (not (bvugt y z)) (not (bvugt x v))
  (bvuge x y) (not (bvuge y x)) (bvuge y y) (not (bvuge y z)) (not (bvuge x v))
  (bvslt x y) (not (bvslt y x)) (not (bvslt y y)) (bvslt y z) (bvslt x v)
  (bvsle x y) (not (bvsle y x)) (bvsle y y) (bvsle y z) (bvsle x v)
  (not (bvsgt x y)) (bvsgt y x) (not (bvsgt y y)) (not (bvsgt y z)) (not (bvsgt x v))
  (not (bvsge x y)) (bvsge y x) (bvsge y y) (not (bvsge y z)) (not (bvsge x v)))
)
; ---
(benchmark equal
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]) (z BitVec[8]) (v BitVec[8]))
:status sat
:formula (and (= x bv249[8]) (= y bv3[8]) (= z bv7[8]) (= v bv253[8])
  (not (= x y)) (= (bvneg x) z z) (not (= z z y)) (not (= y z z)) (= x)
  (distinct x y) (distinct x y z v) (not (distinct x y (bvneg z))) (not (distinct y y))
  (not (distinct z x y z)))
)
; ---
(benchmark strict
:logic QF_BV
:extrafuns ((a BitVec[8]) (b BitVec[8]))
:status unsat
:formula (and (= a b) (or (bvult a b) (bvugt a b) (bvslt a b) (bvsgt a b) (distinct a b)))
)
; ---
(benchmark signs
:logic QF_BV
:extrafuns ((a BitVec[8]) (b BitVec[8]))
:status unsat
:formula (and (bvslt a bv0[8]) (bvsge b bv0[8])
  (or (bvult a b) (bvule a b) (bvsgt a b) (bvsge a b) (= a b)))
)
