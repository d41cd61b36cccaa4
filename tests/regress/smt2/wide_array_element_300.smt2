; Reads at equal indices of an array with 300-bit elements that agree in the
; low 256 bits but not above them. The second check hides i = j from
; substitution behind two comparisons.
(set-logic QF_ABV)
(declare-fun a () (Array (_ BitVec 8) (_ BitVec 300)))
(declare-fun i () (_ BitVec 8))
(declare-fun j () (_ BitVec 8))
(assert (distinct (select a i) (select a j)))
(assert (= ((_ extract 255 0) (select a i)) ((_ extract 255 0) (select a j))))
(push 1)
(assert (= i j))
(check-sat)
(pop 1)
(assert (bvule i j))
(assert (bvule j i))
(check-sat)
