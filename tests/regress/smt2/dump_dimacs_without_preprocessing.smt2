; options: --sat-solver=dump-dimacs --sat-preprocessing=off
; Switching preprocessing off after the DIMACS back end is accepted.
(set-logic QF_BV)
(get-info :error-behavior)
