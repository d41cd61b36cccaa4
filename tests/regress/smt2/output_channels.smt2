; Output channels: a channel that cannot be opened is an error; stderr is a
; valid diagnostic channel.

; ---
(set-option :regular-output-channel "no/such/dir/x")
; ---
(set-option :print-success true)
(set-option :diagnostic-output-channel "stderr")
; ---
(set-option :diagnostic-output-channel "no/such/dir/y")
