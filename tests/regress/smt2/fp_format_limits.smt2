; Formats need at least two exponent bits: with one there are no normal
; numbers, and the float makers refuse such terms.
(declare-fun x () (_ FloatingPoint 1 3))
(assert (fp.isNaN x))
(check-sat)
; ---
(assert (fp.eq ((_ to_fp 8 24) RNE (fp #b0 #b0 #b10)) (fp #b0 #x7f #b00000000000000000000000)))
(check-sat)
; ---
(assert (fp.isZero ((_ to_fp 1 3) RNE (fp #b0 #x7f #b00000000000000000000000))))
(check-sat)
; ---
(assert (= (fp.add RNE (fp #b0 #b01 #b0) (fp #b0 #b01 #b0)) (fp #b0 #b10 #b0)))
(assert (= (fp.add RNE (fp #b0 #b10 #b1) (fp #b0 #b10 #b1)) (_ +oo 2 2)))
(assert (fp.isSubnormal (fp #b1 #b00 #b1)))
(assert (= ((_ to_fp 2 2) RNE (fp #b0 #x7f #b00000000000000000000000)) (fp #b0 #b01 #b0)))
(check-sat)
