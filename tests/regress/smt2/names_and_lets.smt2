; get-value names are the exact source texts; let bindings are parallel, shadow
; and are gone after the let; :named binds a name like a declaration, only for
; closed terms.

; ---
(set-option :produce-models true)
(declare-fun |a b| () Bool)
(declare-fun |x| () (_ BitVec 2))
(assert (= |x| #b10))
(assert (not |a b|))
(check-sat)
(get-value (|a b|   |x| (bvadd |x|  #b01) |x|
; note
 #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (let ((z a) (w z)) w))
; ---
(set-option :produce-models true)
(declare-fun t () Bool)
(assert t)
(check-sat)
(get-value ((let ((v t)) (and v (let ((v (not t))) (not v)) v)) (let ((v t) (v (not t))) v) (let ((t (not t))) t) t))
; ---
(declare-fun t () Bool)
(assert (let ((v t)) v))
(assert v)
; ---
(set-option :produce-assignments true)
(set-option :produce-models true)
(declare-fun u () (_ BitVec 4))
(assert (! (bvult u #x3) :named p))
(assert (! (= u #x1) :named q :named r))
(assert (= (! (bvadd u u) :named s) #x2))
(check-sat)
(get-assignment)
(get-value (p r s))
; ---
(set-option :produce-assignments true)
(declare-fun u () (_ BitVec 4))
(assert (= (! u :named v) #x1))
(check-sat)
(get-assignment)
; ---
(declare-fun t () Bool)
(assert (! t :named t))
; ---
(define-fun f ((v Bool)) Bool (! v :named n))
