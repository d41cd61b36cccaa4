; Every bitwise and indexed operator on fixed operands: x = 1100, y = 1010.
(benchmark bitwise
:logic QF_BV
:extrafuns ((x BitVec[4]) (y BitVec[4]))
:status sat
:formula (and (= x bv12[4]) (= y bv10[4])
              (= (bvand x y) bv8[4]) (= (bvnand x y) bv7[4])
              (= (bvor x y) bv14[4]) (= (bvnor x y) bv1[4])
              (= (bvxor x y) bv6[4]) (= (bvxnor x y) bv9[4])
              (= (bvnot x) bv3[4])
              (= (repeat[2] x) bv204[8]) (= (zero_extend[4] x) bv12[8])
              (= (sign_extend[4] x) bv252[8]) (= (rotate_left[1] x) bv9[4])
              (= (rotate_right[1] x) bv6[4]) (= (extract[2:1] x) bv2[2]))
)
