; options: --sat-solver=minisat-modified
; Constant arguments fold with the host functions and their guards: sin and
; cos of infinities and NaNs are NaN, exp of NaN is NaN, exp of the
; infinities is +oo and +0, log of -0 and -1 is NaN, of +0 is -oo; a single
; is the double function of the widened value, rounded. Then the formats the
; functions refuse: half precision and a significand one bit too wide.
(set-option :produce-models true)
(check-sat)
(get-value ((fp.sin (_ +oo 11 53)) (fp.sin (_ -oo 11 53)) (fp.sin (fp #b1 #b11111111111 #x0000000000001))
            (fp.cos (_ +oo 11 53)) (fp.cos (_ -oo 11 53)) (fp.cos (fp #b1 #b11111111111 #x0000000000001))
            (fp.sin (_ +zero 11 53)) (fp.cos (_ +zero 11 53))))
(get-value ((fp.exp (fp #b1 #b11111111111 #x8000000000000)) (fp.exp (_ +oo 11 53)) (fp.exp (_ -oo 11 53))
            (fp.log (_ -zero 11 53)) (fp.log (_ +zero 11 53)) (fp.log (fp #b1 #b01111111111 #x0000000000000))
            (fp.log (fp #b0 #b01111111111 #x0000000000000)) (fp.exp (fp #b0 #b01111111110 #x0000000000000))
            (fp.sin (fp #b0 #b01111110 #b00000000000000000000000))))
; ---
(declare-fun h () (_ FloatingPoint 5 11))
(assert (fp.isZero (fp.sin h)))
(check-sat)
; ---
(declare-fun w () (_ FloatingPoint 8 25))
(assert (fp.isZero (fp.log w)))
(check-sat)
