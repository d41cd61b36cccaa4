; options: --sat-solver=minisat-modified
; The sine of a negative single above -1 is never positive: the bound of the
; sine near -0 must stay at or below 0.
(set-logic QF_BV)
(declare-fun x () (_ FloatingPoint 8 24))
(assert (fp.isNegative x))
(assert (fp.isPositive (fp.sin x)))
(assert (fp.gt x (fp #b1 #b01111111 #b00000000000000000000000)))
(check-sat)
