; Syntax errors report the last token read (reserved keywords without a row of
; their own, reserved words as symbols, a character that starts no token, the
; end of the input inside a command, after blanks and inside a string at the
; last character read); error messages double quotes and escape
; line ends; constants that cannot be made.

; ---
(get-option :print-success)
; ---
(get-info :produce-models)
; ---
(set-option :print-success true)
(set-info :source x)
  (set-info :name x)
; ---
(declare-fun unknown () Bool)
; ---


   (declare-fun let () Bool)
; ---
(set-logic QF_BV)
(assert @)
; ---
(check-sat
; ---
(push 1   
; ---
(push "abc
; ---
(set-option :print-success 1)
; ---
(declare-fun |a"b| () Bool)(declare-fun |a"b| () Bool)
; ---
(declare-fun |a
b| () Bool)
(declare-fun |a
b| () Bool)
; ---
(declare-fun |a| () Bool)(declare-fun |a| () Bool)
; ---
(declare-fun |a\b| () Bool)(declare-fun |a\b| () Bool)
; ---
(set-logic "QF_BV")
; ---
(assert #xAG)
