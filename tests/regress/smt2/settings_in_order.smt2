; options: --substitution=off --constraint-propagation=on --sat-preprocessing=off
; Several settings on one command line are applied in order.
(get-info :error-behavior)
