; A satisfiable formula over 300-bit indices and elements that agree only in
; their low 256 bits: the model must keep the indices and the reads apart.
(set-option :produce-models true)
(set-logic QF_ABV)
(declare-fun a () (Array (_ BitVec 300) (_ BitVec 300)))
(declare-fun i () (_ BitVec 300))
(declare-fun j () (_ BitVec 300))
(assert (= ((_ extract 255 0) i) ((_ extract 255 0) j)))
(assert (not (= i j)))
(assert (not (= (select a i) (select a j))))
(assert (= ((_ extract 255 0) (select a i)) ((_ extract 255 0) (select a j))))
(assert (= (select (store a i (select a j)) j) (select a j)))
(check-sat)
(get-value ((= i j) (= ((_ extract 255 0) i) ((_ extract 255 0) j)) (= (select a i) (select a j)) (= (select (store a i (select a j)) i) (select a j))))
