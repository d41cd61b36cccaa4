; options:
; The command line of the program: the whole line is parsed before anything
; runs, the last argument is the input file ("-" too: it is no name for
; standard input), without one the input is standard input read as SMT-LIB 2,
; and a file name without a known extension is read as SMT-LIB 2 as well.

; ---
; arguments: --version --bogus file.smt2
; ---
; arguments: missing.smt2
; ---
; arguments: --bogus
; ---
; arguments: -- -x
; ---
; arguments: -
(exit)
; ---
; arguments:
(set-option :print-success true)
(set-logic QF_BV)
(get-info :name)
; ---
; arguments:

; ---
; arguments: --parse-only <script.txt>
(set-option :print-success true)
(check-sat)
(exit)
