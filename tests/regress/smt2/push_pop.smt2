; push and pop: levels, records of zero levels, counts too large, levels left
; open at the end; assertions inside a level hold until its pop, top-level
; assertions stay.

; ---
(pop 1)
; ---
(set-option :print-success true)
(pop 0)
(pop 0)
; ---
(set-option :print-success true)
(push 2)(declare-fun x () Bool)(pop 1)(declare-fun x () Bool)(pop 1)(pop 1)
; ---
(set-option :print-success true)
(push 1)
(push 1)
(pop 2)
(push 3)
(pop 1)
(pop 2)
; ---
(set-option :print-success true)
(push 0)(declare-fun x () Bool)(pop 0)(pop 1)
; ---
(push 3)
(declare-fun x () Bool)
(push 0)
(push 0)
; ---
(push 2147483648)
; ---
(push 1)(pop 4294967295)
; ---
(push 99999999999999999999)
; ---
(set-option :print-success true)
(push 2147483647)
(push 2147483647)
(pop 2147483647)
; ---
(declare-fun a () Bool)
(assert a)
(push 1)
(assert false)
(check-sat)
(check-sat)
(pop 1)
(check-sat)
(push 2)
(assert false)
(push 1)
(pop 2)
(check-sat)
(pop 1)
(check-sat)
; ---
(push 1)
(pop 1)
(assert false)
(push 1)
(pop 1)
(check-sat)
