; options: --sat-solver=minisat-modified
; No double just below -2^-97 has a sine of zero (there sin x = x).
(set-logic QF_BV)
(declare-fun x () (_ FloatingPoint 11 53))
(assert (fp.geq x (fp #b1 #b01110011110 #b0000000011011101011011110101101011111100010110011100)))
(assert (fp.lt x (fp #b1 #b01110011110 #b0000000011011100100110000011100011101000011100001000)))
(assert (fp.isZero (fp.sin x)))
(check-sat)
