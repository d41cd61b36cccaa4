; options: --sat-solver=minisat-modified
; The logarithm of a single is zero only at 1.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 8 24))
(push 1)
(assert (fp.isZero (fp.log x)))
(assert (not (fp.eq x (fp #b0 #b01111111 #b00000000000000000000000))))
(check-sat)
(pop 1)
(push 1)
(assert (fp.isZero (fp.log x)))
(check-sat)
(get-value (x (fp.log x)))
(pop 1)
