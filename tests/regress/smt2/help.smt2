; options: --help
; The help text (the script is never read).
(check-sat)
; ---
; arguments: -h
; ---
; arguments: --version --help does-not-exist.smt2
