; options: --print-model
(benchmark model
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[12]) (z BitVec[1]))
:extrapreds ((p) (q))
:formula (and (= x bv200[8]) (= y (concat (extract[3:0] x) x)) (= z bit1) p (not q))
)
; ---
(benchmark arrays
:logic QF_AUFBV
:extrafuns ((m Array[2:4]) (i BitVec[2]))
:formula (and (= (select m bv1[2]) bv9[4]) (= (select (store m i bvhexA) bv2[2]) bv3[4]) (= i bvbin11))
)
; ---
(benchmark mismatch
:logic QF_BV
:extrafuns ((x BitVec[4]))
:status unsat
:formula (= (bvmul x bv3[4]) bv1[4])
)
; ---
(benchmark none
:logic QF_BV
:extrafuns ((x BitVec[4]))
:formula (bvslt x (bvneg x) bv0[4])
)
; ---
(benchmark none
:logic QF_BV
:extrafuns ((x BitVec[4]))
:formula (and (bvsgt x bv0[4]) (bvslt x bv1[4]))
)
; ---
(benchmark unused
:logic QF_AUFBV
:extrafuns ((x BitVec[4]) (unused BitVec[3]) (m Array[2:2]))
:extrapreds ((r))
:formula (= x bv1[4])
)
