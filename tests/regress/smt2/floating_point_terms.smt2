; Floating-point sorts and constructors (fp and the one-argument to_fp only
; rearrange bits) and the sort checks of the floating-point operators.

; ---
(set-option :produce-models true)
(define-fun one () Float32 ((_ to_fp 8 24) #x3f800000))
(check-sat)
(get-value (one (fp #b1 #b10 #b011) ((_ to_fp 2 3) #b10110)))
; ---
(declare-fun h () Float16)
(declare-fun s () Float32)
(assert (fp.lt h s))
; ---
(declare-fun s () Float32)
(assert (fp.isNaN (fp.abs s s)))
; ---
(declare-fun s () Float32)
(assert (= ((_ to_ubv 8) s) #x00))
