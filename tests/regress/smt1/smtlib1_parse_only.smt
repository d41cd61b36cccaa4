; options: --parse-only
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
:formula (= a bv1[4])
:formula (= a bv2[4])
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (= a c)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p) (q))
:formula (= a b)

