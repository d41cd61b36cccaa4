; Terms that cannot be asserted: numerals, decimals, strings, quantifiers,
; unknown identifiers, non-Bool terms, wrong argument counts, repeated
; parameters, :named without a symbol and a bit-vector literal with a non-digit.

; ---
(assert 5)
; ---
(assert 1.5)
; ---
(assert "s")
; ---
(declare-fun x () Bool)(assert (forall ((x Bool)) x))
; ---
(assert zz)
; ---
(assert (_ foo 1 2))
; ---
(declare-fun x () (_ BitVec 8))(assert x)
; ---
(assert #b1)
; ---
(define-fun f ((x Bool)) Bool x)(assert f)
; ---
(declare-fun a () Bool)(assert (a true))
; ---
(define-fun h ((x Bool) (x Bool)) Bool x)
; ---
(assert (! true :named))
; ---
(assert (! true :named 5))
; ---
(declare-fun x () Bool)(define-fun g ((a (_ BitVec 2))) Bool (= a #b01))(assert (exists ((x (_ BitVec 2))) (let ((y x)) (forall ((z Bool)) (and z (g y))))))
; ---
(declare-fun x () (_ BitVec 8))(assert (= x (_ bv12a 8)))
