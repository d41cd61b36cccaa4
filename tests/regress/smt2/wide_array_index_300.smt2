; A 300-bit index pair equal in the low 256 bits but different above them:
; reading j through a write at i must see the old element.
(set-logic QF_ABV)
(declare-fun a () (Array (_ BitVec 300) (_ BitVec 8)))
(declare-fun i () (_ BitVec 300))
(declare-fun j () (_ BitVec 300))
(declare-fun v () (_ BitVec 8))
(assert (= ((_ extract 255 0) i) ((_ extract 255 0) j)))
(assert (not (= i j)))
(assert (= (select (store a i v) j) v))
(assert (not (= (select a j) v)))
(check-sat)
