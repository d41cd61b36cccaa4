; options: --print-model
; The model goes to the diagnostic channel before the error line of a wrong
; expected status.

; ---
(set-info :status unsat)(declare-fun x () (_ BitVec 4))(check-sat)
