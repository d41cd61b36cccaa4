; Operator application: the generic message names the identifier and the
; argument sorts; argument counts and sorts (Bool is not (_ BitVec 1), bvcomp is
; no Bool, the sign of fp is one bit, fp.max takes no bit-vectors), rounding modes
; in distinct, ite and =.

; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)(assert (= (bvadd x y) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)(assert (= ((_ extract 9 2) x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (=> a))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (bvadd2 x x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert notx)
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (bit0 x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN (fp.sqrt RNE (_ +zero 8 24))))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.rem (_ +zero 8 24) (_ +zero 8 24)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.eq (fp.fma RNE (_ NaN 3 4) (_ NaN 3 4) (_ NaN 3 4)) (_ NaN 3 4)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert ((_ bvult 1) x x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= (bvadd x x x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= (bvand x) x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (bvult a b))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (not #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (and a #b1))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (ite x a b))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= a x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (distinct a))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (bvcomp x x))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN (fp #b00 #b1 #b1)))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (distinct RNE RTZ))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (ite a RNE RTZ))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (= RNE roundTowardZero))
; ---
(declare-fun x () (_ BitVec 8))(declare-fun y () (_ BitVec 16))(declare-fun a () Bool)(declare-fun b () Bool)
(assert (fp.isNaN (fp.add (_ NaN 3 4) RNE (_ NaN 3 4))))
; ---
(declare-fun x () (_ BitVec 8))(assert (= (fp.max x x) x))
