(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unsat
:formula (= (bvadd a b) bv1[4])
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status sat
:formula (and (bvult a b) (bvult b a))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (and (bvult a b) (bvult b a))
:status sat
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unknown
:formula (bvult a b)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unsat
:status sat
:formula (bvule a b)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:status unsat
:assumption (= a bv3[4])
:assumption (= b (bvadd a bv1[4]))
:formula (bvugt a b)
)
