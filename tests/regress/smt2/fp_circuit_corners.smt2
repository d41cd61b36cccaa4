; Rounded floating-point operations on free operands, answered through their
; circuits: formats with a narrow exponent for their significand (the
; addition's alignment shift, the exponent arithmetic of division),
; conversions to integers wider than the exponent can count, narrowing into
; subnormals, and toward-positive unsigned conversion of small negative values.
; (3,5) nearest-away: x + (+0) = x for every nonzero number.
(declare-fun x () (_ FloatingPoint 3 5))
(assert (not (fp.isNaN x)))
(assert (not (fp.isZero x)))
(assert (not (= (fp.add RNA x (_ +zero 3 5)) x)))
(check-sat)
; ---
; (2,6): an addend far below the other operand only moves the sum toward
; positive.
(set-option :produce-models true)
(declare-fun x () (_ FloatingPoint 2 6))
(declare-fun y () (_ FloatingPoint 2 6))
(assert (fp.eq x (fp #b0 #b10 #b00000)))
(assert (fp.eq y (fp #b0 #b00 #b00001)))
(check-sat)
(get-value ((fp.add RNE x y) (fp.add RTP x y) (fp.add RTZ x y)))
; ---
; Float16 to integers wider than its exponent counts: the largest finite
; magnitude converts exactly.
(set-option :produce-models true)
(declare-fun h () Float16)
(assert (fp.eq h (fp #b1 #b11110 #b1111111111)))
(check-sat)
(get-value (((_ to_sbv 32) RTZ h) ((_ to_ubv 32) RNE (fp.neg h)) ((_ to_sbv 17) RNE h)))
; ---
; Narrowing the exponent into the subnormal range keeps every significant bit.
(set-option :produce-models true)
(declare-fun d () Float64)
(assert (fp.eq d ((_ to_fp 11 53) #x3000000000000003)))
(check-sat)
(get-value (((_ to_fp 9 53) RNE d)))
; ---
; Toward positive, an unsigned conversion of a value in (-1, 0) is 0.
(declare-fun s () Float32)
(assert (fp.lt s (_ +zero 8 24)))
(assert (fp.gt s (fp #b1 #x7f #b00000000000000000000000)))
(assert (not (= ((_ to_ubv 8) RTP s) #x00)))
(check-sat)
; ---
; Division with a 53-bit exponent: one divided by itself is one.
(declare-fun x () (_ FloatingPoint 53 11))
(assert (fp.eq x (fp #b0 #b01111111111111111111111111111111111111111111111111111 #b0000000000)))
(assert (not (= (fp.div RNE x x) x)))
(check-sat)
