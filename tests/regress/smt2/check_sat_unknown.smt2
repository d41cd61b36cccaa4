; options:
; check-sat answers unknown: the DIMACS back end writes the problem instead of
; solving it (no model to print, the status is unknown), and a back end that
; cannot decide sine reports an error after the answer.

; ---
; arguments: --sat-solver=dump-dimacs --sat-preprocessing=off <script.smt2>
(set-option :produce-models true)
(declare-fun x () (_ BitVec 4))
(assert (= (bvadd x #x1) #x3))
(check-sat)
(get-info :status)
(push 1)
(assert (= x #x2))
(check-sat)
(pop 1)
(get-value (x))
; ---
(declare-fun x () Float32)
(check-sat)
(assert (fp.isNaN (fp.sin x)))
(check-sat)
(get-info :status)
