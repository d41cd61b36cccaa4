; get-value and get-assignment: when they are available, names as source
; texts, value formats of every sort (an array without model entries prints
; nothing and no separator follows it), constants print their own values.

; ---
(declare-fun a () Bool)(get-value (a))
; ---
(set-option :produce-models true)(declare-fun a () Bool)(get-value (a))
; ---
(set-option :produce-models true)(assert false)(check-sat)(get-value (true))
; ---
(set-option :produce-models true)
(declare-fun a () Bool)
(assert a)
(check-sat)
(get-value (a #b0101 (! false :named n)))
; ---
(set-option :produce-assignments true)
(assert (! true :named p))
(push 1)
(declare-fun b () Bool)
(assert (! b :named q))
(check-sat)
(get-assignment)
(pop 1)
(check-sat)
(get-assignment)
; ---
(get-assignment)
; ---
(set-logic QF_ABV)
(set-option :produce-models true)
(declare-fun f () (_ FloatingPoint 3 4))
(declare-fun m () (Array (_ BitVec 2) (_ BitVec 3)))
(declare-fun h () Float16)
(declare-fun v () (_ BitVec 5))
(check-sat)
(get-value (f m h v))
; ---
(set-option :produce-models true)
(check-sat)
(get-value (#x0F  false))
