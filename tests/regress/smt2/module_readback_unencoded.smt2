; options: --sat-solver=minisat-modified --substitution=off
; Values of functions over variables that no assertion mentions: the module's
; result is computed from its argument's value when the model is read (x and
; y read as +0, so the arguments are 1 and -2).
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 8 24))
(declare-fun y () (_ FloatingPoint 11 53))
(declare-fun p () Bool)
(assert p)
(check-sat)
(get-value ((fp.sin (fp.add RNE x (fp #b0 #b01111111 #b00000000000000000000000)))))
(get-value ((fp.exp (fp.sub RNE y (fp #b0 #b10000000000 #b0000000000000000000000000000000000000000000000000000))) x y))
