; Annotations are ignored wherever the grammar allows them: an annotated
; term or atom stands for the term or atom inside it.
(benchmark annotated
:source { built by hand; braces \} may be escaped }
:notes "annotations everywhere"
:category { crafted }
:logic QF_BV
:extrafuns ((x BitVec[8] :origin {input}) (y BitVec[8]))
:extrapreds ((p :weight {1}) (q))
:status sat
:formula (and (= (x :unit {cents}) bv249[8] :equation) (p :why {given} :because)
  (= (y :a) (bv3[8] :b {three}) :c) (not q :negated)
  (let (?s (bvadd x y :sum)) (= (?s :bound) bv252[8]) :scoped)
  (flet ($f (bvslt x y)) ($f :cached) :scoped)
  (implies q (false :never) :rule) (if_then_else (true :a) p q :choice)
  (= (ite p (x :a) y :pick) x) (distinct x y :all {different}) (bvult y x :unsigned)
  :named {everything})
)
; ---
(benchmark annotated
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]))
:extrapreds ((p) (q))
:status unsat
:formula (and (= (x :a) y) (distinct x (y :b)) (p :c :d))
)
; ---
(benchmark annotated
:logic QF_BV
:extrafuns ((x BitVec[8]))
:extrapreds ((p))
:status unsat
:formula (flet ($f (not p)) (and ($f :a) (p :b)))
)
; ---
(benchmark symbols
:logic QF_BV
:extrafuns ((x BitVec[8]) (+ BitVec[8]))
:extrapreds ((distinct) (=))
:formula (= (+ x x) x)
)
