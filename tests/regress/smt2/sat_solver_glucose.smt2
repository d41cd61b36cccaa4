; options: --sat-solver=glucose --sat-preprocessing=on
; The Glucose back end, with and without preprocessing, chosen on the command line.
(set-logic QF_BV)
(declare-fun x () (_ BitVec 8))
(declare-fun y () (_ BitVec 8))
(assert (= (bvmul x y) #x8f))
(assert (bvugt x #x01))
(assert (bvugt y #x01))
(check-sat)
(assert (not (= (bvmul x y) (bvmul y x))))
(check-sat)
; ---
; arguments: --sat-solver=glucose --sat-preprocessing=off <glucose.smt2>
(set-logic QF_BV)
(declare-fun x () (_ BitVec 8))
(declare-fun y () (_ BitVec 8))
(assert (= (bvmul x y) #x8f))
(assert (bvugt x #x01))
(assert (bvugt y #x01))
(check-sat)
(assert (not (= (bvmul x y) (bvmul y x))))
(check-sat)
