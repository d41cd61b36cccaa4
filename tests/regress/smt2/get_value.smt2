; get-value and get-assignment: when they are available, names as source
; texts, value formats of every sort (an array without model entries prints
; nothing and no separator follows it), constants print their own values; an
; array equality that only get-value asks for has the value the arrays give it.

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
; ---
(set-logic QF_ABV)
(set-option :produce-models true)
(declare-fun a () (Array (_ BitVec 8) (_ BitVec 8)))
(declare-fun b () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (select a #x01) #x11))
(assert (= (select b #x02) #x22))
(check-sat)
(get-value ((= a (store a #x01 #x11)) (= a (store a #x01 #x12)) (= (store b #x02 #x22) b)))
(get-value ((= (store a #x01 #x00) (store a #x01 #x00))))
