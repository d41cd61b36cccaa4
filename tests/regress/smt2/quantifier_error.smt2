; A quantified term is read to its end, its variables hiding declared
; symbols; the innermost one ends the run at its closing parenthesis.
(set-logic QF_BV)
(declare-fun x () Bool)
(define-fun g ((a (_ BitVec 4))) Bool (= a #x0))
(assert x)
(check-sat)
(assert (let ((y true))
  (forall ((x (_ BitVec 4)) (y (_ BitVec 4)))
    (exists ((z (_ BitVec 4))) (and (g x) (= (bvadd x y) z))))))
(check-sat)
