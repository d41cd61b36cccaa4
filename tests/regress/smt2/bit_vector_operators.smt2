; Bit-vector operators on fixed values: division by zero, signed division and
; remainders, shifts beyond the width, comparisons at the sign boundary, n-ary
; and chained connectives; carries across a 64-bit word; unsatisfiable
; arithmetic.

; ---
(set-option :produce-models true)
(declare-fun p () (_ BitVec 8))
(declare-fun q () (_ BitVec 8))
(declare-fun z () (_ BitVec 8))
(assert (= p #xF9))
(assert (= q #x02))
(assert (= z #x00))
(check-sat)
(get-value ((bvudiv p z) (bvurem p z) (bvsdiv p z) (bvsrem p z) (bvsmod p z) (bvsdiv p q) (bvsrem p q) (bvsmod p q) (bvsmod q p) (bvshl q #x08) (bvlshr p #x09) (bvashr p #x09) (bvashr p #x01) (bvmul p p) (bvneg p) (bvsub q p) (bvcomp p p) (bvxnor p q) (bvnor p q) (bvnand p q) (concat p q)))
; ---
(set-option :produce-models true)
(declare-fun m () (_ BitVec 4))
(assert (= m #x8))
(check-sat)
(get-value ((bvult #x7 m) (bvslt #x7 m) (bvsle m m) (bvsgt #x7 m) (bvuge m #x9) (bvsge m #xF)))
; ---
(set-option :produce-models true)
(declare-fun t () Bool)
(declare-fun f () Bool)
(assert t)
(assert (not f))
(check-sat)
(get-value ((=> t f f) (=> f t f) (and t) (or f) (xor t t t) (= t t t) (= t t f) (distinct t f) (distinct #b1 #b0 #b1) (ite f #x1 #x2)))
; ---
(set-option :produce-models true)
(declare-fun t () Bool)
(declare-fun f () Bool)
(assert t)
(assert (not f))
(check-sat)
(get-value ((=> t t f)))
; ---
(set-option :produce-models true)
(declare-fun w () (_ BitVec 65))
(assert (= w (bvadd #b01111111111111111111111111111111111111111111111111111111111111111 #b00000000000000000000000000000000000000000000000000000000000000001)))
(check-sat)
(get-value (w))
; ---
(declare-fun u () (_ BitVec 8))
(assert (bvult u #x00))
(check-sat)
; ---
(declare-fun u () (_ BitVec 8))
(declare-fun v () (_ BitVec 8))
(assert (not (= (bvadd u v) (bvadd v u))))
(check-sat)
; ---
(declare-fun u () (_ BitVec 6))
(assert (= (bvmul u #b000011) #b000001))
(check-sat)
; ---
(declare-fun u () (_ BitVec 6))
(assert (= (bvmul u #b000010) #b000001))
(check-sat)
