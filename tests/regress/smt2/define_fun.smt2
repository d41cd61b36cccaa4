; define-fun: expansion at every application with positional parameters,
; parameters that shadow theory constants, symbols looked up before
; parameters, lets in bodies, constants; argument errors; names bound later;
; definitions that refer to themselves; ill-sorted bodies found at the
; application.

; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= (f #x02) #x03))
(check-sat)
; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= (f #x02) #x04))
(check-sat)
; ---
(set-option :produce-models true)
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(define-fun g ((w (_ BitVec 8))) (_ BitVec 8) (f (f w)))
(define-fun sub ((l (_ BitVec 8)) (r (_ BitVec 8))) (_ BitVec 8) (bvsub l r))
(define-fun swap ((l (_ BitVec 8)) (r (_ BitVec 8))) (_ BitVec 8) (sub r l))
(check-sat)
(get-value ((g #x05) (sub #x05 #x01) (swap #x05 #x01) (g (g #x00))))
; ---
(set-option :produce-models true)
(define-fun h ((bit0 Bool)) (_ BitVec 8) (not bit0))
(check-sat)
(get-value ((h true)))
; ---
(set-option :produce-models true)
(declare-fun c () Bool)
(assert c)
(define-fun k ((c Bool)) Bool c)
(check-sat)
(get-value ((k false)))
; ---
(set-option :produce-models true)
(define-fun d ((v (_ BitVec 8))) (_ BitVec 8) (let ((e (bvadd v v))) (bvadd e e)))
(check-sat)
(get-value ((d #x03)))
; ---
(set-option :produce-models true)
(define-fun two () (_ BitVec 8) #x02)
(check-sat)
(get-value (two (bvmul two two)))
; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= (f #x02 #x03) #x03))
; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= f #x03))
; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= (f #x0002) #x03))
; ---
(define-fun f ((v (_ BitVec 8))) (_ BitVec 8) (bvadd v #x01))
(assert (= (f #x02) #x0003))
; ---
(define-fun q ((v (_ BitVec 8))) (_ BitVec 8) (bvudiv v #x01))
(declare-fun bvudiv () (_ BitVec 8))
(assert (= (q #x02) #x02))
; ---
(define-fun k ((a Bool)) Bool (j a))
(define-fun j ((a Bool)) Bool (not a))
(assert (k true))
(check-sat)
; ---
(define-fun k ((a Bool)) Bool (k a))
(assert (k true))
; ---
(define-fun k ((a Bool)) Bool (j a))
(define-fun j ((a Bool)) Bool (k a))
(assert (j true))
; ---
(define-fun bad ((v Bool)) Bool (bvult v v))
(assert (bad true))
; ---
(set-option :produce-models true)
(define-fun two () (_ BitVec 8) #x02)
(define-fun f2 ((two (_ BitVec 8))) (_ BitVec 8) two)
(define-fun f3 ((f2 (_ BitVec 8))) (_ BitVec 8) (bvadd f2 (f2 f2)))
(define-fun m ((v (_ BitVec 8))) (_ BitVec 8) (let ((v (bvadd v #x01)) (w v)) (bvsub v w)))
(check-sat)
(get-value ((f2 #x05) (f3 #x05) (let ((two #x07)) (f2 two)) (m #x05)))
