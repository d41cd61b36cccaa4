(benchmark t
:logic QF_BV
:logic QF_LIA
)
; ---
(benchmark t
:logic QF_BV
:extrasorts (S)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((f BitVec[8] BitVec[8]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:extrafuns ((y BitVec[8]) (x BitVec[4]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x Int))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[0]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[4294967297]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((m Array[4294967296:8]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((1 BitVec[8]))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((1.5 BitVec[8]))
)
; ---
(benchmark t
:logic QF_BV
:extrapreds ((p BitVec[1]))
)
; ---
(benchmark t
:logic QF_BV
:extrapreds ((p) (q))
:extrapreds ((p))
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= (bvadd2 x x) x)
)
; ---
(benchmark t
:logic QF_BV
:formula (= bv5[8:1] bv5[8:1])
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[8]) (b BitVec[8]) (c BitVec[8]))
:formula (bvult a b c)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[8]) (b BitVec[8]))
:formula (= (bvand a b a) a)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((a BitVec[8]))
:formula (= (bvand a) a)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((m Array[2:8]) (i BitVec[2]))
:formula (= (select m i) bv0[8])
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= (extract[4294967296:0] x) bit1)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= (rotate_left[4294967297] x) x)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= (zero_extend x) x)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[4]))
:formula (= (ite true x y) x)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[4]))
:formula (= x y)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (and true q)
)
; ---
(benchmark t
:logic QF_BV
:formula (= z z)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= x 5)
)
; ---
(benchmark t
:logic QF_BV
:extrafuns ((x BitVec[8]))
:formula (= x 0.5)
)
; ---
(benchmark t
:logic QF_BV
:formula (exists (?x BitVec[8]) true)
)
; ---
(benchmark t
:logic QF_BV
:formula (forall (?x BitVec[8]) (?y BitVec[8]) true)
)
; ---
(benchmark t
:logic QF_BV
:formula true
:formula false
)
; ---
(benchmark t
:logic QF_BV
:status sat
:formula true
:assumption false
)
; ---
(benchmark t
:logic QF_BV
:formula (= bvbin bvbin)
)
; ---
(benchmark t
:logic QF_BV
:formula (and true }
)
; ---
(benchmark t
:logic QF_BV
:formula (and true ^)
)
; ---
(benchmark
; ---
(benchmark t
:logic QF_BV
:formula (and true
; ---
; the end of input after three blanks
(benchmark x   
; ---
; the end of input inside a string
(benchmark x :notes "abcdef
; ---
; the end of input inside a user value
(benchmark x :source {abcdef
; ---
(benchmark t
:logic QF_BV
:formula (=)
)
; ---
(benchmark t
:logic QF_BV
:formula (not true true)
)
; ---
(benchmark t
:logic QF_BV
:formula (let ?x bv0[1]) true)
)
; ---
(benchmark t :logic QF_BV :extrafuns ((x BitVec[8]))
:formula
  (let (?y x)
    (= ?y bv1[8]) :note {a } b}) x)
