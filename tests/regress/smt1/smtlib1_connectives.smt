; Connectives with p true and q false: every formula as written holds, with
; the operands of each connective in both orders and several operands.
; The n-ary iff is the left-nested biconditional: (iff q q p) is
; ((q iff q) iff p), which holds, where a chain of pairwise equivalences would
; not; with three operands it agrees with xor.
(benchmark connectives
:logic QF_BV
:extrapreds ((p) (q))
:status sat
:assumption p
:assumption (not q)
:formula (and
  (implies q p) (not (implies p q)) (implies q q)
  (or q q p) (or p q q) (or q p) (not (or q q q)) (or p p)
  (and p p p) (not (and p p q)) (not (and q p p))
  (xor p p p) (not (xor p p)) (xor q p) (not (xor p q p q))
  (iff p p) (not (iff p q)) (iff q q p) (iff q p q) (not (iff p p q))
  (if_then_else p p q) (if_then_else q q p) (not (if_then_else p q p))
  (or p) (not (xor q)) (iff p) (not (and q)) (not false) true (not (not p)))
)
; ---
(benchmark terms
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]))
:extrapreds ((p) (q))
:status sat
:formula (and p (not q) (= x bv249[8]) (= y bv3[8])
  (= (ite p x y) x) (= (ite q x y) y) (= (ite (bvult x y) x y) y)
  (= (ite (bvslt x y) bit1 bit0) bit1) (= (concat (ite q bit1 bit0) bit1) bv1[2]))
)
; ---
(benchmark implication
:logic QF_BV
:extrapreds ((p) (q) (r))
:status unsat
:formula (and (implies p q) (implies q r) p (not r))
)
; ---
(benchmark parity
:logic QF_BV
:extrapreds ((p) (q) (r))
:status unsat
:formula (and (xor p q r) (iff p q) (not r))
)
; ---
(benchmark biconditional
:logic QF_BV
:extrapreds ((p) (q) (r))
:status unsat
:formula (and (iff p q r) (not (xor p q r)))
)
