; The command interpreter: empty scripts, print-success, unsupported commands,
; exit, check-sat answers and the expected status of set-info :status.

; ---

; ---
; a comment

   ; another

; ---
(set-option :print-success true)
(set-option :print-success false)
(set-logic QF_BV)
; ---
(set-option :print-success true)
(set-logic QF_BV)
(set-logic QF_ABV)
(set-logic QF_AUFBV)
(set-option :produce-models true)
(set-option :produce-assignments false)
(set-info :status sat)
(set-info :source |x|)
(set-info :smt-lib-version 2.6)
(set-info :category "industrial")
(set-info :notes (a (b 1) #x0 :k))
(declare-fun x () Bool)
(push 1)
(pop 1)
(define-fun d () Bool true)
; ---
(set-option :expand-definitions true)
(set-option :interactive-mode false)
(set-option :produce-proofs true)
(set-option :produce-unsat-cores false)
(set-option :random-seed 7)
(set-option :verbosity 0)
(get-assertions)
(get-proof)
(get-unsat-core)
(get-option :foo)
(get-info :reasons_unknown)
(get-info :all_statistics)
(get-info :foo)
; ---
(set-option :print-success true)
(define-fun c () (_ BitVec 8) true)
(assert c)
(define-fun k () Bool (! false :named q))
(assert (let ((y c)) y))
(assert (! (as c Bool) :named p :other 1 :named p2))
; ---
(set-option :print-success true)
(exit) this is (not (valid
; ---
(exit)
(check-sat
; ---
(check-sat)
(assert true)
(check-sat)
(assert false)
(check-sat)
(get-info :status)
; ---
(set-info :status unsat)(check-sat)
; ---
(set-info :status sat)(assert false)(check-sat)
; ---
(set-info :status unknown)
(assert false)
(check-sat)
(set-info :status unsat)
(get-info :status)
