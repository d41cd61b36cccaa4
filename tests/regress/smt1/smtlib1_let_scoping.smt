(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status sat
:formula (and (= a bv5[4]) (= b bv3[4])
  (let (?x a) (and (let (?x b) (= ?x bv3[4])) (= ?x bv5[4]))))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status sat
:formula (let (?x a) (let (?x (bvadd ?x ?x)) (and (= ?x bv10[4]) (= a bv5[4]))))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unsat
:formula (let (?x a) (let (?x (bvadd ?x ?x)) (= ?x bv5[4])))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status sat
:formula (and p (not q)
  (flet ($f p) (and (flet ($f q) (not $f)) $f (flet ($f (not $f)) (not $f)))))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unsat
:formula (flet ($c (= a b)) (let (?m (ite $c a (bvnot a))) (and (if_then_else $c false true) (= ?m a) (not (= a b)) (= ?m a))))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (and (let (?x a) (= ?x ?x))
  (= ?x a))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (or (flet ($g p) $g) $g)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (let (?x ?x) true)
)
