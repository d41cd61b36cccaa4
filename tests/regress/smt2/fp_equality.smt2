; Classes and comparisons of floats; rounded operations on constants fold.
; "=" is identity of values (all NaNs equal, +0 and -0 different) and
; "distinct" its negation, so two NaNs are never distinct.
(declare-fun x () Float32)(assert (fp.isNaN x))(check-sat)
; ---
(set-option :produce-models true)(declare-fun s () Float32)
(assert (= s (fp #b0 #b01111111 #b00000000000000000000000)))(check-sat)(get-value (s (fp.add RNE s s)))
; ---
(declare-fun s () Float32)(declare-fun t () Float32)(assert (fp.isNaN s))
(assert (fp.isNaN t))(assert (distinct s t))(check-sat)
; ---
(declare-fun s () Float32)(declare-fun t () Float32)(assert (fp.isNaN s))
(assert (fp.isNaN t))(assert (= s t))(assert (not (fp.eq s t)))(check-sat)
; ---
(assert (= (_ +zero 8 24) (_ -zero 8 24)))(check-sat)
; ---
(assert (fp.eq (_ +zero 8 24) (_ -zero 8 24) (_ +zero 8 24)))(check-sat)
; ---
(assert (distinct (_ NaN 8 24) (_ NaN 8 24) (_ +oo 8 24)))(check-sat)
