; A small bit-vector problem with values.
(set-option :produce-models true)
(set-logic QF_BV)
(declare-fun x () (_ BitVec 8))
(assert (= (bvadd x #x01) #x00))
(check-sat)
(get-value (x))
(assert (not (= x #xff)))
(check-sat)
