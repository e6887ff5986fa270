
; ============================================================================================
; func.asm: the functions of the evaluator. Each works on A (and B for the binary ones),
; leaves its raw result in A and sets r49 on an error; the evaluator finishes the result.
; ============================================================================================

; f_square: A := A^2. f_cube: A := A^3. f_inverse: A := 1/A. f_percent: A := A/100.
f_square:
        cal copy_a_to_b
        jmp fmul

f_cube:
        ldw iy, REC_T0
        cal store_a
        cal copy_a_to_b
        cal fmul
        ldw iy, REC_T0
        cal load_b
        jmp fmul

f_inverse:
        cal copy_a_to_b
        cal one_a
        jmp fdiv

f_percent:
        tadm r64..r71, 0
        rtn z
        sb r80, 2
        rtn

; Not written yet: a domain error.
f_pow:
f_xroot:
f_npr:
f_ncr:
f_fact:
f_sin:
f_cos:
f_tan:
f_asin:
f_acos:
f_atan:
f_sinh:
f_cosh:
f_tanh:
f_asinh:
f_acosh:
f_atanh:
f_log:
f_ln:
f_tenpow:
f_exp:
f_cbrt:
        ld r49, ERR_DOMAIN
        rtn
