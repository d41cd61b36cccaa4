; options: --sat-solver=minisat-modified
; cos(x) = 1 for a positive single: tiny arguments round to 1.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 8 24))
(push 1)
(assert (fp.eq (fp.cos x) (fp #b0 #b01111111 #b00000000000000000000000)))
(assert (fp.gt x (_ +zero 8 24)))
(check-sat)
(get-value (x (fp.cos x)))
(pop 1)
