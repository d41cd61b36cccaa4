; Every bitwise operator on two different operands: x = 1100, y = 1010.
(benchmark bitwise
:logic QF_BV
:extrafuns ((x BitVec[4]) (y BitVec[4]))
:status sat
:formula (and (= x bv12[4]) (= y bv10[4])
              (= (bvand x y) bv8[4]) (= (bvnand x y) bv7[4])
              (= (bvor x y) bv14[4]) (= (bvnor x y) bv1[4])
              (= (bvxor x y) bv6[4]) (= (bvxnor x y) bv9[4])
              (= (bvnot x) bv3[4]))
)
