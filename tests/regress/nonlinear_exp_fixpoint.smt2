; options: --sat-solver=minisat-modified
; exp(x) = x holds only at +infinity.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 8 24))
(push 1)
(assert (fp.eq (fp.exp x) x))
(check-sat)
(get-value (x (fp.exp x)))
(pop 1)
(push 1)
(assert (fp.eq (fp.exp x) x))
(assert (not (fp.isInfinite x)))
(check-sat)
(pop 1)
