; options: --sat-solver=dump-dimacs --print-model
; The DIMACS dump back end writes the problem and answers neither sat nor
; unsat: the answer is unknown, no model is printed and the declared status
; is not compared.
(benchmark dumped
:logic QF_BV
:extrafuns ((a BitVec[4]) (b BitVec[4]))
:extrapreds ((p))
:status unsat
:formula (and p (bvult a b))
)
; ---
(benchmark dumped
:logic QF_BV
:extrafuns ((a BitVec[4]))
:status sat
:formula (= (bvmul a a) bv8[4])
)
