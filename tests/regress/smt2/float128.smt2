; Float128 keeps all 113 significand bits: 1 + 2^-112 differs from 1, the
; integer 2^113 - 1 converts exactly and back, and a tie below the last bit
; rounds by the mode.

; ---
(set-option :produce-models true)
(declare-fun x () Float128)
(declare-fun y () Float128)
(declare-fun h () Float128)
(declare-fun n () (_ BitVec 116))
(assert (= x (fp #b0 #b011111111111111 #x0000000000000000000000000001)))
(assert (= y (fp #b0 #b011111111111111 #x0000000000000000000000000000)))
(assert (= h (fp #b0 #b011111110001110 #x0000000000000000000000000000)))
(assert (= n #x1ffffffffffffffffffffffffffff))
(check-sat)
(get-value (x (fp.eq x y) (fp.gt x y) (fp.sub RNE x y) (fp.add RNE y h) (fp.add RNA y h) (fp.add RTN x h)
            ((_ to_fp_unsigned 15 113) RNE n) ((_ to_fp_unsigned 15 113) RNE (bvadd n #x00000000000000000000000000001))
            ((_ to_ubv 116) RTZ ((_ to_fp_unsigned 15 113) RTZ n)) ((_ to_fp 11 53) RTP x) ((_ to_fp 11 53) RTZ x)))
; ---
; No Float128 lies strictly between 1 and 1 + 2^-112; one lies between 1 and
; 1 + 2^-111.
(declare-fun x () Float128)
(declare-fun one () (_ FloatingPoint 15 113))
(assert (= one ((_ to_fp 15 113) RNE (fp #b0 #x7f #b00000000000000000000000))))
(assert (fp.gt x one))
(push 1)
(assert (fp.lt x (fp #b0 #b011111111111111 #x0000000000000000000000000001)))
(check-sat)
(pop 1)
(assert (fp.lt x (fp #b0 #b011111111111111 #x0000000000000000000000000002)))
(check-sat)
(assert (not (= x (fp #b0 #b011111111111111 #x0000000000000000000000000001))))
(check-sat)
