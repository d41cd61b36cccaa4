; options: --sat-solver=dump-dimacs --sat-preprocessing=on
; The DIMACS back end has switched preprocessing off when the explicit
; setting arrives; switching it on is refused before the script is read.
(set-logic QF_BV)
