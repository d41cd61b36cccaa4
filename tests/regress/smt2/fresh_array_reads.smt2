; options: --substitution=off
; A get-value term with array reads that were never part of the formula.

; ---
(set-logic QF_ABV)
(set-option :produce-models true)
(declare-fun a () (Array (_ BitVec 4) (_ BitVec 8)))
(declare-fun i () (_ BitVec 4))
(declare-fun j () (_ BitVec 4))
(assert (= (select a i) #x2a))
(assert (= i j))
(check-sat)
(get-value ((select a j) (select (store a i #x07) j)))
