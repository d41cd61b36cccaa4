; Arithmetic operators on fixed 8-bit operands x = -7 (249), y = 3, z = 7,
; v = -3 (253): every claimed value holds, so the benchmark is sat; a wrong
; operator (unsigned for signed, remainder for modulus, operands swapped)
; makes it unsat and the status check fails.
(benchmark division
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]) (z BitVec[8]) (v BitVec[8]))
:status sat
:formula (and (= x bv249[8]) (= y bv3[8]) (= z bv7[8]) (= v bv253[8])
  (= (bvudiv x y) bv83[8]) (= (bvudiv z v) bv0[8]) (= (bvudiv z y) bv2[8])
  (= (bvudiv x bv0[8]) bv255[8]) (= (bvudiv z bv0[8]) bv255[8])
  (= (bvsdiv x y) bv254[8]) (= (bvsdiv z v) bv254[8]) (= (bvsdiv x v) bv2[8])
  (= (bvsdiv z y) bv2[8]) (= (bvsdiv x bv0[8]) bv1[8]) (= (bvsdiv z bv0[8]) bv255[8])
  (= (bvurem x y) bv0[8]) (= (bvurem z v) bv7[8]) (= (bvurem x v) bv249[8])
  (= (bvurem z y) bv1[8]) (= (bvurem x bv0[8]) bv249[8])
  (= (bvsrem x y) bv255[8]) (= (bvsrem z v) bv1[8]) (= (bvsrem x v) bv255[8])
  (= (bvsrem z y) bv1[8]) (= (bvsrem x bv0[8]) bv249[8])
  (= (bvsmod x y) bv2[8]) (= (bvsmod z v) bv254[8]) (= (bvsmod x v) bv255[8])
  (= (bvsmod z y) bv1[8]) (= (bvsmod x bv0[8]) bv249[8]))
)
; ---
(benchmark shifts
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]) (z BitVec[8]) (v BitVec[8]))
:status sat
:formula (and (= x bv249[8]) (= y bv3[8]) (= z bv7[8]) (= v bv253[8])
  (= (bvshl x y) bv200[8]) (= (bvshl z y) bv56[8]) (= (bvshl x bv8[8]) bv0[8])
  (= (bvshl x v) bv0[8]) (= (bvshl y x) bv0[8])
  (= (bvlshr x y) bv31[8]) (= (bvlshr z y) bv0[8]) (= (bvlshr x bv8[8]) bv0[8])
  (= (bvlshr x v) bv0[8])
  (= (bvashr x y) bv255[8]) (= (bvashr z bv1[8]) bv3[8]) (= (bvashr x bv8[8]) bv255[8])
  (= (bvashr x v) bv255[8]) (= (bvashr z bv8[8]) bv0[8]) (= (bvashr y x) bv0[8]))
)
; ---
(benchmark ring
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]) (z BitVec[8]) (v BitVec[8]))
:status sat
:formula (and (= x bv249[8]) (= y bv3[8]) (= z bv7[8]) (= v bv253[8])
  (= (bvadd x y) bv252[8]) (= (bvsub x y) bv246[8]) (= (bvsub y x) bv10[8])
  (= (bvmul x v) bv21[8]) (= (bvmul x y) bv235[8]) (= (bvneg x) z) (= (bvneg y) v)
  (= (concat x y) bv63747[16]) (= (concat y x) bv1017[16])
  (= (bvcomp x v) bit0) (= (bvcomp (bvneg x) z) bit1) (= (concat bit1 bit0) bv2[2])
  (= (zero_extend[24] z) bv7) (= (sign_extend[24] x) bv4294967289))
)
; ---
(benchmark neighbours
:logic QF_BV
:extrafuns ((x BitVec[8]) (y BitVec[8]))
:status unsat
:formula (and (= x bv249[8]) (= y bv3[8])
  (or (= (bvsdiv x y) bv83[8]) (= (bvsrem x y) bv0[8]) (= (bvsmod x y) bv255[8])
      (= (bvurem x y) bv2[8]) (= (bvashr x y) bv31[8]) (= (bvlshr x y) bv255[8])
      (= (bvsub x y) bv10[8]) (= (bvneg x) bv6[8]) (= (bvcomp x y) bit1)))
)
; ---
(benchmark inverse
:logic QF_BV
:extrafuns ((x BitVec[8]))
:status unsat
:formula (and (= (bvsdiv x bv3[8]) bv254[8]) (= (bvsrem x bv3[8]) bv255[8]) (not (= x bv249[8])))
)
; ---
(benchmark inverse
:logic QF_BV
:extrafuns ((x BitVec[8]))
:status unsat
:formula (and (= (bvudiv x bv3[8]) bv83[8]) (= (bvsmod x bv253[8]) bv254[8]) (not (= x bv251[8])))
)
