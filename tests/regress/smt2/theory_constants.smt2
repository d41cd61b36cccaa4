; Theory constants: bitN and (_ bvN w) (also wider than 64 bits), values that
; do not fit, wrong index counts, a bound symbol hides the constant, rounding
; modes have no printable value.

; ---
(set-option :produce-models true)
(check-sat)
(get-value (bit0 bit1 (_ bv5 3) (_ bv0 1) (_ bv255 8) (_ bv18446744073709551616 70)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)(assert (= (_ bv5 2) #b01))
; ---
(assert (= (_ bv1 0) (_ bv1 0)))
; ---
(assert (= (_ bv5 3 4) #b101))
; ---
(assert (= bv5 #b101))
; ---
(assert (= (_ bit0 1) #b0))
; ---
(assert (= (_ bv01 8) #x01))
; ---
(assert (fp.isNaN (_ +oo 1 24)))
; ---
(assert (fp.isNaN (_ NaN 8 1)))
; ---
(assert (fp.isNaN (_ -zero 8)))
; ---
(assert (fp.isNaN (RNE)))
; ---
(set-option :produce-models true)
(declare-fun bit0 () Bool)
(assert bit0)
(check-sat)
(get-value (bit0))
; ---
(set-option :produce-models true)(check-sat)(get-value (#b1 roundTowardPositive))
