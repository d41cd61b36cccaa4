; options: --sat-solver=minisat-modified
; The sine of a double stays within [-1, 1]: below -1.5 is impossible, -1
; itself is reached only by rounding; each check inside a push level, so
; the argument stays a variable.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 11 53))
(push 1)
(assert (fp.lt (fp.sin x) (fp #b1 #b01111111111 #b1000000000000000000000000000000000000000000000000000)))
(check-sat)
(pop 1)
(push 1)
(assert (fp.gt (fp.sin x) (fp #b0 #b01111111111 #b0000000000000000000000000000000000000000000000000000)))
(check-sat)
(pop 1)
