; options: --parse-only
; Parse only: check-sat answers unknown and there is no model.

; ---
(assert false)
(check-sat)
(get-info :status)
; ---
(set-option :produce-models true)(declare-fun a () Bool)(check-sat)(get-value (a))
