; The fixed answers of get-info (the version, which names the revision, is
; checked by the program tests).
(get-info :name)
(get-info :error-behavior)
(get-info :status)
(get-info :authors)
