; options: --sat-solver=minisat-modified
; The exponential is never below +0, in single and in double precision.
(declare-fun x () (_ FloatingPoint 8 24))
(declare-fun y () (_ FloatingPoint 11 53))
(push 1)
(assert (fp.lt (fp.exp x) (_ +zero 8 24)))
(check-sat)
(pop 1)
(push 1)
(assert (fp.lt (fp.exp y) (_ +zero 11 53)))
(check-sat)
(pop 1)
