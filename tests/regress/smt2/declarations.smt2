; set-logic, sorts and declarations: logics that cannot be set, what is not
; implemented, recognised and refused sorts (a significand needs a stored bit),
; redeclaration (also inside push levels and by define-fun; allowed again after
; the pop that removed the name).

; ---
(set-logic QF_LIA)
; ---
(set-logic qf_bv)
; ---
(declare-sort U 0)
; ---
(define-sort B (X) (_ BitVec 8))
; ---
(declare-fun f ((_ BitVec 8)) (_ BitVec 8))
; ---
(declare-fun r () RoundingMode)
; ---
(set-option :print-success true)
(declare-fun a () (_ BitVec 1))
(declare-fun b () (_ FloatingPoint 8 24))
(declare-fun c () Float16)
(declare-fun d () (_ FloatingPoint 1 2))
(set-logic QF_ABV)
(declare-fun e () (Array (_ BitVec 4) (_ BitVec 8)))
; ---
(declare-fun x () (_ FloatingPoint 1 1))
; ---
(declare-fun x () (_ BitVec 0))
; ---
(declare-fun x () (Array Bool Bool))
; ---
(declare-fun x () (Array (_ BitVec 2) (_ FloatingPoint 3 4)))
; ---
(declare-fun x () Int)
; ---
(declare-fun x () (_ BitVec 4294967296))
; ---
(declare-fun x () Bool)(declare-fun x () Bool)
; ---
(declare-fun x () Bool)(push 1)(declare-fun x () (_ BitVec 2))
; ---
(set-option :print-success true)
(push 1)
(declare-fun y () Bool)
(pop 1)
(declare-fun y () Bool)
; ---
(define-fun x () Bool true)(declare-fun x () Bool)
