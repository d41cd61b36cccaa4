; Arrays: select and store need an array logic and matching index and value
; sorts; the model lists one line per entry; read over write and
; extensionality.

; ---
(set-logic QF_BV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (select m #x00) #x07))
; ---
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (store m #x00 #x07) m))
; ---
(set-logic QF_ABV)
(set-logic QF_BV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (select m #x00) #x07))
; ---
(set-logic QF_ABV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (select m #x0) #x07))
; ---
(set-logic QF_AUFBV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (store m #x00 #x007) m))
; ---
(set-logic QF_ABV)
(set-option :produce-models true)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (select m #x00) #x07))
(assert (= (select m #x01) #x03))
(check-sat)
(get-value (m (select (store m #x01 #x09) #x01) (select m #x00)))
; ---
(set-logic QF_ABV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(declare-fun i () (_ BitVec 8))
(declare-fun j () (_ BitVec 8))
(assert (not (= i j)))
(assert (not (= (select (store m i #x01) j) (select m j))))
(check-sat)
; ---
(set-logic QF_ABV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(declare-fun n () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= (store m #x00 #x01) (store n #x00 #x01)))
(assert (not (= m n)))
(check-sat)
; ---
(set-logic QF_ABV)
(declare-fun m () (Array (_ BitVec 8) (_ BitVec 8)))
(declare-fun n () (Array (_ BitVec 8) (_ BitVec 8)))
(assert (= m n))
(assert (not (= (select m #x05) (select n #x05))))
(check-sat)
