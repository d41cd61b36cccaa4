; options: --help
; The help text (the script is never read).
(check-sat)
