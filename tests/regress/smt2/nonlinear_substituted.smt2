; options: --sat-solver=minisat-modified
; Arguments fixed at the top level: with substitution the functions are
; rebuilt over constants and folded by the host functions; without it the
; modules find the same values.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 8 24))
(declare-fun y () (_ FloatingPoint 11 53))
(declare-fun s () (_ FloatingPoint 8 24))
(declare-fun e () (_ FloatingPoint 11 53))
(assert (= x (fp #b0 #b01111110 #b10000000000000000000000)))
(assert (= y (fp #b1 #b10000000000 #b1100000000000000000000000000000000000000000000000000)))
(assert (= s (fp.sin x)))
(assert (= e (fp.exp y)))
(check-sat)
(get-value (x (fp.sin x) (fp.cos x) y (fp.exp y) (fp.log y)))
(assert (fp.isNaN (fp.log y)))
(assert (fp.lt s (fp.cos x)))
(check-sat)
