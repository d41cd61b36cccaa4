; A defined function whose body does not mention its parameters stands for
; that body whatever the arguments, also inside another definition's body.
(set-option :produce-models true)
(declare-fun x () (_ BitVec 4))
(define-fun seven ((p (_ BitVec 4))) (_ BitVec 4) #x7)
(define-fun getX ((p Bool) (q Bool)) (_ BitVec 4) x)
(define-fun plusSeven ((q (_ BitVec 4))) (_ BitVec 4) (bvadd q (seven q)))
(assert (= x #x3))
(check-sat)
(get-value ((seven #x1) (getX false true) (bvadd (seven x) (getX true false)) (plusSeven #x1)))
(push 1)
(assert (distinct (getX true true) x))
(check-sat)
(pop 1)
