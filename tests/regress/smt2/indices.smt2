; Index rules: extract needs j <= i < width, repeat at least one copy,
; extensions by 0 keep the width, rotations count modulo the width, result
; widths beyond 32 bits are refused; the indices of the conversions.

; ---
(set-option :produce-models true)
(check-sat)
(get-value (((_ extract 7 0) #xA5) ((_ extract 7 7) #xA5) ((_ extract 3 1) #xA5)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ extract 8 0) x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ extract 0 1) x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ extract 7) x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ repeat 0) x) x))
; ---
(set-option :produce-models true)
(check-sat)
(get-value (((_ repeat 3) #b10) ((_ zero_extend 0) #b1) ((_ sign_extend 0) #b1) ((_ zero_extend 3) #b1) ((_ sign_extend 3) #b10) ((_ rotate_left 9) #x81) ((_ rotate_right 17) #x81) ((_ rotate_left 0) #b1)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ zero_extend 4294967295) #b1) #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ sign_extend 4294967294) #b11) #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ repeat 2147483648) #b11) #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ to_ubv 0) RNE (_ +zero 8 24)) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= ((_ to_sbv 8 8) RNE (_ +zero 8 24)) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN ((_ to_fp 8) RNE x)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN ((_ to_fp 8 24) x)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN ((_ to_fp 2 1) #b100)))
