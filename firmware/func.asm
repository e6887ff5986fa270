
; ============================================================================================
; func.asm: the functions of the evaluator. Each works on A (and B for the binary ones),
; leaves its raw result in A and sets r49 on an error; the evaluator finishes the result.
;
; Logarithms, exponentials and the circular functions are worked out on fixed-point numbers
; (one integer digit and 15 decimals, 8 bytes) by pseudo-division and pseudo-multiplication,
; which need only digit shifts and decimal additions:
;   ln m:   multiply p = 1 by the factors 1 + 10^-j (p + p/10^j) while p stays <= m, and add
;           ln(1 + 10^-j) from a table for every factor taken; p ends within 1E-15 of m.
;   e^r:    take ln(1 + 10^-j) off r while it fits, and multiply p = 1 by 1 + 10^-j each time.
;   tan r:  take atan(10^-j) off r while it fits, and turn the vector (X, Y) = (1, 0) by that
;           angle each time: X, Y := X - Y/10^j, Y + X/10^j; the angle of (X, Y) is then r.
;   atan t: turn (X, Y) = (1, t) back by atan(10^-j) while Y stays >= 0, adding the angles.
; Near their zeros (arguments below 0.01) the functions use short series instead, whose
; relative error does not grow as the result gets small.
; Temporaries: the records T0..T8 (T6 is the z of poly; f_ln and f_exp use T1 and T2 and
; ln1p_series T4..T6, so their callers keep what they need elsewhere).
; ============================================================================================

; --------------------------------------------------------------------------------------------
; f_square: A := A^2. f_cube: A := A^3. f_inverse: A := 1/A. f_percent: A := A/100.
; --------------------------------------------------------------------------------------------
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

; --------------------------------------------------------------------------------------------
; Fixed-point helpers. shift_c, shift_g: C or G := itself / 10^r83 (the digits that fall out
; are lost). to_fixed: C := |A| (below 10) in fixed point. from_fixed_c: A := C, positive.
; --------------------------------------------------------------------------------------------
shift_c:
        tsb r83, 2
        jmp c, shc_odd
        bydm r15..r8
        sb r83, 2
        jmp shift_c
shc_odd:
        tsb r83, 0
        rtn z
        didm r15..r8
        rtn

shift_g:
        tsb r83, 2
        jmp c, shg_odd
        bydm r31..r24
        sb r83, 2
        jmp shift_g
shg_odd:
        tsb r83, 0
        rtn z
        didm r31..r24
        rtn

to_fixed:
        ldm r8..r15, r64..r71
        tadm r64..r71, 0
        rtn z
        ld r34, EXP_BIAS + 1            ; digits to move down: 129 - E
        sb r34, r80
        tsb r34, MANT_DIGITS
        jmp c, tfx_shift
        ldm r8..r15, 0
        rtn
tfx_shift:
        ld r83, r34
        jmp shift_c

from_fixed_c:
        ldm r64..r71, r8..r15
        ld r80, EXP_BIAS + 1
        ld r81, 0
        jmp norm_a

; --------------------------------------------------------------------------------------------
; ln_fixed: G := ln F for 1 <= F < 10 (fixed point). Clobbers C, D, H, r35, r83, iz, f.
; --------------------------------------------------------------------------------------------
ln_fixed:
        ldm r72..r79, 0
        ld r79, 0x10                    ; p := 1
        ldm r24..r31, 0
        ldw iz, ln_table
        ld r35, 0                       ; j
lnf_level:
        ldm r104..r111, (iz)+           ; ln(1 + 10^-j)
lnf_try:
        ldm r8..r15, r72..r79
        ld r83, r35
        cal shift_c
        adbm r8..r15, r72..r79          ; p + p / 10^j
        jmp c, lnf_next                 ; 10 or more
        tsbbm r88..r95, r8..r15
        jmp c, lnf_next                 ; beyond m
        ldm r72..r79, r8..r15
        adbm r24..r31, r104..r111
        jmp lnf_try
lnf_next:
        ad r35, 1
        tsb r35, MANT_DIGITS
        jmp c, lnf_level
        rtn

; --------------------------------------------------------------------------------------------
; exp_fixed: D := e^E for 0 <= E < ln 10 (fixed point). Clobbers C, E, H, r35, r83, iz, f.
; --------------------------------------------------------------------------------------------
exp_fixed:
        ldm r72..r79, 0
        ld r79, 0x10                    ; p := 1
        ldw iz, ln_table
        ld r35, 0
exf_level:
        ldm r104..r111, (iz)+
exf_try:
        tsbbm r16..r23, r104..r111
        jmp c, exf_next
        sbbm r16..r23, r104..r111
        ldm r8..r15, r72..r79
        ld r83, r35
        cal shift_c
        adbm r72..r79, r8..r15          ; p := p + p / 10^j
        jmp exf_try
exf_next:
        ad r35, 1
        tsb r35, MANT_DIGITS
        jmp c, exf_level
        rtn

; --------------------------------------------------------------------------------------------
; tan_fixed: turns (X, Y) = (1, 0) by the angle E (0 <= E < 1.6, fixed point): D := X,
; F := Y, with Y / X = tan E. Clobbers C, E, G, H, r35, r83, iz, f.
; --------------------------------------------------------------------------------------------
TAN_TAIL        equ 7                   ; the level from which one linear step does the rest
tan_fixed:
        ldm r72..r79, 0
        ld r79, 0x10                    ; X := 1
        ldm r88..r95, 0                 ; Y := 0
        ldw iz, atan_table
        ld r35, 0
tnf_level:
        ldm r104..r111, (iz)+           ; atan(10^-j)
tnf_try:
        tsbbm r16..r23, r104..r111
        jmp c, tnf_next
        sbbm r16..r23, r104..r111
        ldm r8..r15, r72..r79           ; C := X / 10^j
        ld r83, r35
        cal shift_c
        ldm r24..r31, r88..r95          ; G := Y / 10^j
        ld r83, r35
        cal shift_g
        adbm r88..r95, r8..r15
        sbbm r72..r79, r24..r31
        jmp tnf_try
tnf_next:
        ad r35, 1
        tsb r35, TAN_TAIL
        jmp c, tnf_level
        ; The angle left is below 1E-6: one step (X, Y) := (X - Y E, Y + X E) with X and Y as
        ; they are now turns the vector by atan E, which is E to 3E-19, and its length does not
        ; matter. X E and Y E are summed digit by digit of E from C = X / 10^j and G = Y / 10^j.
        ldm r8..r15, r72..r79
        ld r83, r35
        cal shift_c
        ldm r24..r31, r88..r95
        ld r83, r35
        cal shift_g
tnf_tail:
        ldm r104..r111, (iz)+           ; 10^-j
tnt_try:
        tsbbm r16..r23, r104..r111
        jmp c, tnt_next
        sbbm r16..r23, r104..r111
        adbm r88..r95, r8..r15
        sbbm r72..r79, r24..r31
        jmp tnt_try
tnt_next:
        ad r35, 1
        tsb r35, MANT_DIGITS
        rtn nc
        didm r15..r8
        didm r31..r24
        jmp tnf_tail

; --------------------------------------------------------------------------------------------
; atan_fixed: E := atan F for 0 <= F <= 1 (fixed point), turning (X, Y) = (1, F) back.
; Clobbers C, D, F, G, H, r35, r83, iz, f.
; --------------------------------------------------------------------------------------------
atan_fixed:
        ldm r72..r79, 0
        ld r79, 0x10                    ; X := 1
        ldm r16..r23, 0
        ldw iz, atan_table
        ld r35, 0
atf_level:
        ldm r104..r111, (iz)+
atf_try:
        ldm r8..r15, r72..r79           ; C := X / 10^j
        ld r83, r35
        cal shift_c
        tsbbm r88..r95, r8..r15
        jmp c, atf_next                 ; Y would go below 0
        ldm r24..r31, r88..r95          ; G := Y / 10^j
        ld r83, r35
        cal shift_g
        sbbm r88..r95, r8..r15
        adbm r72..r79, r24..r31
        adbm r16..r23, r104..r111
        jmp atf_try
atf_next:
        ad r35, 1
        tsb r35, MANT_DIGITS
        jmp c, atf_level
        rtn

; --------------------------------------------------------------------------------------------
; poly: A := c0 + z (c1 + z (c2 + ...)) with z the record T6 and the coefficients at iz (a
; count, then the records from the highest degree down). Clobbers B, C, r34, r35, r39, r82,
; iy, iz, f.
; --------------------------------------------------------------------------------------------
poly:
        ld r39, (iz)+
        cal load_a_rom
py_loop:
        sb r39, 1
        rtn z
        ldw iy, REC_T6
        cal load_b
        cal fmul
        cal load_b_rom
        cal fadd
        jmp py_loop

; square_to_z: T6 := A^2 (the z of poly), T5 := A. Clobbers B, C, r34, r82, iy, f.
square_to_z:
        ldw iy, REC_T5
        cal store_a
        cal copy_a_to_b
        cal fmul
        ldw iy, REC_T6
        jmp store_a

; times_t5: A := A x T5.
times_t5:
        ldw iy, REC_T5
        cal load_b
        jmp fmul

; --------------------------------------------------------------------------------------------
; Logarithms. f_ln: A := ln A, f_log: A := log A (base 10); a domain error for A <= 0.
; Near 1 (|A - 1| < 0.01) ln A = ln1p(A - 1); else A = m 10^e with 1 <= m < 10 and
; ln A = ln m + e ln 10, log A = e + ln m / ln 10 (so the logarithm of a power of ten is
; exact).
; --------------------------------------------------------------------------------------------
f_ln:
        ld r36, 0
        jmp logarithm
f_log:
        ld r36, 1
logarithm:
        tadm r64..r71, 0
        jmp z, domain_error
        tsb r81, 0
        jmp nz, domain_error
        ld r84, r36
        ld r37, r84                     ; r37: 1 for log
        ldw iy, REC_T1
        cal store_a
        cal one_b
        cal fsub
        tadm r64..r71, 0
        rtn z                           ; ln 1 = 0
        tsb r80, EXP_BIAS - 1
        jmp nc, lg_general
        cal ln1p_series
        tsb r37, 0
        rtn z
        ldw iz, c_inv_ln10
        cal load_b_rom
        jmp fmul
lg_general:
        ldw iy, REC_T1
        cal load_a
        cal ln_parts                    ; A := ln m, r36 := e
        tsb r37, 0
        jmp z, lg_ln
        ldw iz, c_inv_ln10              ; log: e + ln m / ln 10
        cal load_b_rom
        cal fmul
        tsb r36, 0
        rtn z
        ldw iy, REC_T2
        cal store_a
        cal signed_to_a
        ldw iy, REC_T2
        cal load_b
        jmp fadd
lg_ln:
        tsb r36, 0                      ; ln: ln m + e ln 10
        rtn z
        ldw iy, REC_T2
        cal store_a
        cal signed_to_a
        ldw iz, c_ln10
        cal load_b_rom
        cal fmul
        ldw iy, REC_T2
        cal load_b
        jmp fadd

domain_error:
        ld r49, ERR_DOMAIN
        rtn

; ln_parts: A = x > 0 -> A := ln m, r36 := e (signed), where x = m 10^e, 1 <= m < 10.
; Clobbers B..H, r34, r35, r83, iz, f.
ln_parts:
        ld r36, r80
        sb r36, EXP_BIAS + 1
        ld r80, EXP_BIAS + 1
        ld r81, 0
        cal to_fixed
        ldm r88..r95, r8..r15
        cal ln_fixed
        ldm r64..r71, r24..r31
        ld r80, EXP_BIAS + 1
        ld r81, 0
        jmp norm_a

; signed_to_a: A := the signed byte r36 (-128..127). Clobbers r35, r36, r37, r83, f.
signed_to_a:
        ld r35, 0
        tsb r36, 0x80
        jmp c, sta_positive
        cmp r36
        ld r35, 1
sta_positive:
        ld r37, 0
        cal int_to_a
        tadm r64..r71, 0
        rtn z
        ld r81, r35
        rtn

; ln1p_series: A := ln(1 + w), w = A small: 2 atanh(s) with s = w / (2 + w).
; Clobbers B, C, r34, r35, r39, r82, iy, iz, f.
ln1p_series:
        ldw iy, REC_T4
        cal store_a
        ldw iz, c_two
        cal load_b_rom
        cal fadd
        cal copy_a_to_b
        ldw iy, REC_T4
        cal load_a
        cal fdiv
        cal square_to_z
        ldw iz, s_atanh
        cal poly
        cal times_t5
        ldw iz, c_two
        cal load_b_rom
        jmp fmul

; ln1p: A := ln(1 + A) for A >= 0 (the series below 0.01). Clobbers B..H, r34..r39, r83,
; iy, iz, f.
ln1p:
        tadm r64..r71, 0
        rtn z
        tsb r80, EXP_BIAS - 1
        jmp c, ln1p_series
        cal one_b
        cal fadd
        jmp f_ln

; --------------------------------------------------------------------------------------------
; Exponentials. f_exp: A := e^A; f_tenpow: A := 10^A. Both split the argument into an
; integer k and a rest r: e^x = e^r 10^k with k = floor(x / ln 10), 10^x = 10^f 10^n with
; n = floor(x), and work out the rest in fixed point. |x| >= 1000 overflows or gives 0.
; --------------------------------------------------------------------------------------------
f_exp:
        tadm r64..r71, 0
        jmp z, one_a
        cal exp_range
        tsb r49, ERR_NONE
        rtn nz
        tsb r84, 0
        rtn nz
        ldw iy, REC_T1
        cal store_a                     ; x
        ldw iz, c_inv_ln10
        cal load_b_rom
        cal fmul
        cal floor_a                     ; k
        cal exp_k
        tsb r49, ERR_NONE
        rtn nz
        tsb r84, 0
        rtn nz
        ldw iz, c_ln10                  ; r := x - k ln 10
        cal load_b_rom
        cal fmul
        cal copy_a_to_b
        ldw iy, REC_T1
        cal load_a
        cal fsub
        tsb r81, 0                      ; keep r in [0, ln 10)
        jmp z, ex_high
        ldw iz, c_ln10
        cal load_b_rom
        cal fadd
        sb r36, 1
        jmp ex_rest
ex_high:
        ldw iz, c_ln10
        cal load_b_rom
        cal fcmp
        tsb r82, 2
        jmp z, ex_rest
        cal fsub
        ad r36, 1
ex_rest:
        cal to_fixed                    ; the rest in fixed point, through D into E
        ldm r72..r79, r8..r15
        ldm r16..r23, r72..r79
        cal exp_fixed
        ldm r8..r15, r72..r79
        cal from_fixed_c
        ad r80, r36                     ; times 10^k (a signed byte)
        rtn

f_tenpow:
        tadm r64..r71, 0
        jmp z, one_a
        cal exp_range
        tsb r49, ERR_NONE
        rtn nz
        tsb r84, 0
        rtn nz
        ldw iy, REC_T1
        cal store_a
        cal floor_a                     ; n
        ldw iy, REC_T2
        cal store_a
        cal exp_k
        tsb r49, ERR_NONE
        rtn nz
        tsb r84, 0
        rtn nz
        ldw iy, REC_T2
        cal load_b
        ldw iy, REC_T1
        cal load_a
        cal fsub                        ; f := x - n in [0, 1)
        ldw iz, c_ln10
        cal load_b_rom
        cal fmul
        jmp ex_rest

; exp_range: |A| >= 1000 gives an overflow (A > 0) or A := 0 with r84 = 1; else r84 = 0.
exp_range:
        ld r84, 0
        tsb r80, EXP_BIAS + 4
        rtn c
        ld r84, 1
        tsb r81, 0
        jmp z, f_overflow
        jmp zero_a

; exp_k: r36 := the integer A (|A| <= 110) as a signed byte, A kept, r84 := 0. Beyond:
; an overflow for A > 0; for A < 0 the result is A := 0 and r84 := 1 (done).
; Clobbers C, r34, r35, r37, r38, r84..r86, f.
exp_k:
        ld r38, r81
        ld r81, 0
        cal small_int_a
        ld r81, r38
        ld r84, 0
        tsb r37, 0
        jmp nz, ek_far
        tsb r36, 111
        jmp nc, ek_far
        tsb r81, 0
        rtn z
        cmp r36
        rtn
ek_far:
        tsb r81, 0
        jmp z, f_overflow
        ld r84, 1
        jmp zero_a

; --------------------------------------------------------------------------------------------
; f_pow: A := A ^ B. A whole exponent up to 9999 is worked out by squaring and multiplying
; (exact where the result fits); other exponents as e^(y ln |x|), where x must not be
; negative unless y is a whole number (then the sign is that of (-1)^y). 0^0 is a domain
; error and 0 to a negative power a division by zero.
; --------------------------------------------------------------------------------------------
f_pow:
        ldw iy, REC_T0
        cal store_a                     ; x
        ldw iy, REC_T7
        cal store_b                     ; y
        tadm r64..r71, 0
        jmp nz, pw_x
        tadm r0..r7, 0                  ; 0^y
        jmp z, domain_error
        tsb r33, 0
        rtn z
        ld r49, ERR_DIVZERO
        rtn
pw_x:
        cal copy_b_to_a
        tadm r64..r71, 0
        jmp z, one_a                    ; x^0 = 1
        ld r39, r81                     ; the sign of y
        ld r81, 0
        cal small_int_a
        tsb r35, 0
        jmp nz, pw_real
        ldw iy, REC_T0                  ; |y| <= 9999 in r37:r36; the sign of the result
        cal load_a
        ld r84, 0
        tsb r81, 0
        jmp z, pw_abs
        tan r36, 1
        jmp z, pw_abs
        ld r84, 1
pw_abs:
        ld r81, 0
        ldw iy, REC_T3
        cal store_a                     ; base := |x|
        cal one_a
        ldw iy, REC_T2
        cal store_a                     ; R := 1
pw_bit:
        an r37, 0xFF                    ; (clears C)
        rodm r37..r36
        jmp nc, pw_square
        ldw iy, REC_T2
        cal load_a
        ldw iy, REC_T3
        cal load_b
        cal fmul                        ; R := R x base
        tsb r49, ERR_NONE
        jmp nz, pw_over
        tsb r80, EXP_MAX + 1
        jmp nc, pw_over
        ldw iy, REC_T2
        cal store_a
pw_square:
        tadm r36..r37, 0
        jmp z, pw_done
        ldw iy, REC_T3
        cal load_a
        cal copy_a_to_b
        cal fmul                        ; base := base^2
        tsb r49, ERR_NONE
        jmp nz, pw_over
        tsb r80, EXP_MAX + 1
        jmp nc, pw_over
        ldw iy, REC_T3
        cal store_a
        jmp pw_bit
pw_over:                                ; beyond 1E+100: an overflow, or 0 for y < 0
        ld r49, ERR_NONE
        tsb r39, 0
        jmp nz, zero_a
        jmp f_overflow
pw_done:
        ldw iy, REC_T2
        cal load_a
        tsb r39, 0
        jmp z, pw_sign
        cal copy_a_to_b
        cal one_a
        cal fdiv
pw_sign:
        tsb r84, 0
        rtn z
        jmp neg_a
pw_real:
        ldw iy, FN_SIGN - 1
        ld r84, 0
        st (iy+1), r84
        ldw iy, REC_T0
        cal load_a
        tsb r81, 0
        jmp z, pw_log
        ldw iy, REC_T7                  ; x < 0: y must be whole; odd y gives a minus
        cal load_a
        ld r81, 0
        cal trunc_a
        tsb r35, 0
        jmp nz, domain_error
        ldw iz, c_half
        cal load_b_rom
        cal fmul
        cal trunc_a
        ldw iy, FN_SIGN - 1
        st (iy+1), r35
        ldw iy, REC_T0
        cal load_a
pw_log:
        ld r81, 0
        cal f_ln
        ldw iy, REC_T7
        cal load_b
        cal fmul
        tsb r49, ERR_NONE
        rtn nz
        cal f_exp
apply_fn_sign:
        ldw iy, FN_SIGN - 1
        ld r84, (iy+1)
        tsb r84, 0
        rtn z
        jmp neg_a

; --------------------------------------------------------------------------------------------
; f_xroot: A := the A-th root of B, B^(1/A) = e^(ln |B| / A); a negative B needs an odd whole
; A. f_cbrt: A := the cube root of A.
; --------------------------------------------------------------------------------------------
f_cbrt:
        cal copy_a_to_b
        ldw iz, c_three
        cal load_a_rom
f_xroot:
        ldw iy, REC_T0
        cal store_a                     ; x
        ldw iy, REC_T1
        cal store_b                     ; y
        tadm r64..r71, 0
        jmp z, domain_error
        ldw iy, FN_SIGN - 1
        ld r84, 0
        st (iy+1), r84
        tadm r0..r7, 0
        jmp nz, xr_y
        tsb r81, 0                      ; the root of 0: 0, or 1/0 for x < 0
        jmp z, zero_a
        ld r49, ERR_DIVZERO
        rtn
xr_y:
        tsb r33, 0
        jmp z, xr_log
        ld r81, 0                       ; y < 0: x odd and whole
        cal small_int_a
        tsb r35, 0
        jmp nz, domain_error
        tan r36, 1
        jmp z, domain_error
        ldw iy, FN_SIGN - 1
        ld r84, 1
        st (iy+1), r84
xr_log:
        ldw iy, REC_T1
        cal load_a
        ld r81, 0
        cal f_ln
        ldw iy, REC_T0
        cal load_b
        cal fdiv
        cal f_exp
        jmp apply_fn_sign

; --------------------------------------------------------------------------------------------
; Circular functions. trig_reduce: A = x in the angle unit -> A := r in radians, |r| <= pi/4
; (a little more at most), r36 := the quadrant q mod 4, where x = q quarter turns + r. In
; degrees and grads q = round(x / 90) or round(x / 100) and x - 90 q is exact; in radians the
; quarter turn pi/2 is taken off in three pieces, the first two exact in every product,
; so that r keeps its relative accuracy up to |x| < 1E10. |x| >= 1E10 is a domain error.
; --------------------------------------------------------------------------------------------
trig_reduce:
        tsb r80, EXP_BIAS + 11
        jmp nc, domain_error
        ldw iy, REC_T0
        cal store_a                     ; x
        ldw iy, ANGLE - 1
        ld r34, (iy+1)
        ldw iz, c_inv_90
        tsb r34, 0
        jmp z, tr_quadrants
        ldw iz, c_inv_100
        tsb r34, 2
        jmp z, tr_quadrants
        ldw iz, c_two_over_pi
tr_quadrants:
        cal load_b_rom
        cal fmul
        ldw iz, c_half                  ; q := floor(x / quarter + 0.5)
        cal load_b_rom
        cal fadd
        cal floor_a
        ldw iy, REC_T1
        cal store_a                     ; q
        cal quadrant_mod4               ; r36
        ldw iy, ANGLE - 1
        ld r34, (iy+1)
        tsb r34, 1
        jmp z, tr_radians
        ldw iz, c_quadrant_deg          ; x - 90 q, then to radians
        tsb r34, 0
        jmp z, tr_degrees
        ldw iz, c_quadrant_grad
tr_degrees:
        cal load_b_rom
        ldw iy, REC_T1
        cal load_a
        cal fmul
        cal copy_a_to_b
        ldw iy, REC_T0
        cal load_a
        cal fsub
        ldw iz, c_rad_from_deg
        ldw iy, ANGLE - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, tr_convert
        ldw iz, c_rad_from_grad
tr_convert:
        cal load_b_rom
        jmp fmul
tr_radians:
        ldw iz, c_pio2_1
        cal tr_piece
        ldw iz, c_pio2_2
        cal tr_piece
        ldw iz, c_pio2_3
tr_piece:                               ; T0 := T0 - q x the piece at iz
        cal load_a_rom
        ldw iy, REC_T1                  ; q multiplies: it has the fewer digits
        cal load_b
        cal fmul
        cal copy_a_to_b
        ldw iy, REC_T0
        cal load_a
        cal fsub
        ldw iy, REC_T0
        jmp store_a

; quadrant_mod4: r36 := A mod 4 for the whole number A (from A mod 100). Clobbers B, C, T2,
; r34, r35, r37, r82, r84..r86, f.
quadrant_mod4:
        ld r36, 0
        tadm r64..r71, 0
        rtn z
        ldw iy, REC_T2
        cal store_a
        sb r80, 2
        cal floor_a
        tadm r64..r71, 0
        jmp z, qm_rest
        ad r80, 2
qm_rest:
        cal copy_a_to_b
        ldw iy, REC_T2
        cal load_a
        cal fsub
        cal small_int_a
        an r36, 3
        rtn

; --------------------------------------------------------------------------------------------
; sincos: T3 := sin r, T4 := cos r for A = r (radians, |r| < 1.6). Below 0.01 the series;
; else the turned vector (X, Y): sin = Y / |(X, Y)|, cos = X / |(X, Y)|. Takes r118: 0 both
; are wanted, 1 only sin, 2 only cos (the other may then be left undone). Keeps r36.
; --------------------------------------------------------------------------------------------
sincos:
        tsb r80, EXP_BIAS - 1
        jmp nc, scs_fixed
        cal square_to_z
        ldw iz, s_sin
        cal poly
        cal times_t5
        ldw iy, REC_T3
        cal store_a
        ldw iz, s_cos
        cal poly
        ldw iy, REC_T4
        jmp store_a
scs_fixed:
        ld r37, r81                     ; the sign of r
        ld r81, 0
        cal to_fixed
        ldm r72..r79, r8..r15
        ldm r16..r23, r72..r79
        cal tan_fixed
        ldm r8..r15, r72..r79
        cal from_fixed_c
        ldw iy, REC_T4
        cal store_a                     ; X
        ldm r8..r15, r88..r95
        cal from_fixed_c
        ld r81, r37
        ldw iy, REC_T3
        cal store_a                     ; Y, signed
        cal copy_a_to_b
        cal fmul
        ldw iy, REC_T6
        cal store_a
        ldw iy, REC_T4
        cal load_a
        cal copy_a_to_b
        cal fmul
        ldw iy, REC_T6
        cal load_b
        cal fadd
        cal fsqrt
        ldw iy, REC_T6
        cal store_a                     ; |(X, Y)|
        tsb r118, 2
        jmp z, scs_cos                  ; only cos is wanted
        cal copy_a_to_b
        ldw iy, REC_T3
        cal load_a
        cal fdiv
        ldw iy, REC_T3
        cal store_a
        tsb r118, 1
        rtn z                           ; only sin is wanted
scs_cos:
        ldw iy, REC_T6
        cal load_b
        ldw iy, REC_T4
        cal load_a
        cal fdiv
        ldw iy, REC_T4
        jmp store_a

; sincos_wanted: r118 := 1 (sin) in quadrants 0 and 2 (r36), 2 (cos) in 1 and 3, as
; sin_quadrant takes them; sincos_wanted_cos: the same for cos, a quadrant on.
sincos_wanted_cos:
        ld r118, 2
        tan r36, 1
        rtn z
        ld r118, 1
        rtn
sincos_wanted:
        ld r118, 1
        tan r36, 1
        rtn z
        ld r118, 2
        rtn

; f_sin, f_cos: by the quadrant, sin r, cos r, -sin r, -cos r (cos: one quadrant on).
f_cos:
        cal trig_reduce
        tsb r49, ERR_NONE
        rtn nz
        cal sincos_wanted_cos
        cal sincos
        ad r36, 1
        jmp sin_quadrant
f_sin:
        cal trig_reduce
        tsb r49, ERR_NONE
        rtn nz
        cal sincos_wanted
        cal sincos
sin_quadrant:
        ldw iy, REC_T3
        tan r36, 1
        jmp z, sq_load
        ldw iy, REC_T4
sq_load:
        cal load_a
        tan r36, 2
        rtn z
        jmp neg_a

; f_tan: sin r / cos r in quadrants 0 and 2, -cos r / sin r in 1 and 3 (tan 90 degrees is a
; domain error).
f_tan:
        cal trig_reduce
        tsb r49, ERR_NONE
        rtn nz
        ld r118, 0
        cal sincos
        ldw iy, REC_T4
        cal load_b
        ldw iy, REC_T3
        cal load_a
        tan r36, 1
        jmp z, fdiv
        tadm r64..r71, 0
        jmp z, domain_error
        cal swap_ab
        cal fdiv
        jmp neg_a

; --------------------------------------------------------------------------------------------
; Inverse circular functions, worked out in radians and shown in the angle unit.
; atan_rad: A := atan A for A >= 0 (beyond 1: pi/2 - atan(1/A)).
; asin_rad: A := asin A for 0 <= A <= 1: atan(A / sqrt((1 - A)(1 + A))).
; --------------------------------------------------------------------------------------------
atan_rad:
        cal one_b
        cal fcmp_abs
        tsb r82, 1
        jmp nz, atan_small
        cal copy_a_to_b
        cal one_a
        cal fdiv
        cal atan_small
        cal copy_a_to_b
        ldw iz, c_pi_over_2
        cal load_a_rom
        jmp fsub
atan_small:
        tsb r80, EXP_BIAS - 1
        jmp nc, ats_fixed
        cal square_to_z
        ldw iz, s_atan
        cal poly
        jmp times_t5
ats_fixed:
        cal to_fixed
        ldm r88..r95, r8..r15
        cal atan_fixed
        ldm r64..r71, r16..r23
        ld r80, EXP_BIAS + 1
        ld r81, 0
        jmp norm_a

asin_rad:
        cal one_b
        cal fcmp_abs
        tsb r82, 0
        jmp nz, asr_below
        ldw iz, c_pi_over_2
        jmp load_a_rom
asr_below:
        ldw iy, REC_T2
        cal store_a                     ; u
        cal one_b
        cal fsub
        cal neg_a
        ldw iy, REC_T1
        cal store_a                     ; 1 - u
        ldw iy, REC_T2
        cal load_a
        cal one_b
        cal fadd
        ldw iy, REC_T1
        cal load_b
        cal fmul
        cal fsqrt
        cal copy_a_to_b
        ldw iy, REC_T2
        cal load_a
        cal fdiv
        jmp atan_rad

; rad_to_unit: A := A radians in the angle unit.
rad_to_unit:
        ldw iy, ANGLE - 1
        ld r34, (iy+1)
        tsb r34, 1
        rtn z
        ldw iz, c_deg_from_rad
        tsb r34, 0
        jmp z, rtu_convert
        ldw iz, c_grad_from_rad
rtu_convert:
        cal load_b_rom
        jmp fmul

; take_sign: FN_SIGN := the sign of A, A := |A|. Clobbers r84, iy.
take_sign:
        ldw iy, FN_SIGN - 1
        st (iy+1), r81
        ld r81, 0
        rtn

; f_atan: atan x.
f_atan:
        cal take_sign
        cal atan_rad
        cal rad_to_unit
        jmp apply_fn_sign

; f_asin: asin x, |x| <= 1.
f_asin:
        cal one_b
        cal fcmp_abs
        tsb r82, 1
        jmp z, domain_error
        cal take_sign
        cal asin_rad
        cal rad_to_unit
        jmp apply_fn_sign

; f_acos: acos x, |x| <= 1: pi/2 -+ asin |x| up to |x| = 0.5, beyond that
; 2 asin sqrt((1 - |x|) / 2), taken from pi for x < 0.
f_acos:
        cal one_b
        cal fcmp_abs
        tsb r82, 1
        jmp z, domain_error
        cal take_sign
        ldw iz, c_half
        cal load_b_rom
        cal fcmp_abs
        tsb r82, 1
        jmp z, ac_half
        cal asin_rad                    ; |x| <= 0.5
        ldw iy, FN_SIGN - 1
        ld r84, (iy+1)
        tsb r84, 0
        jmp nz, ac_plus
        cal neg_a
ac_plus:
        ldw iz, c_pi_over_2
        cal load_b_rom
        cal fadd
        jmp rad_to_unit
ac_half:
        cal neg_a
        cal one_b
        cal fadd                        ; 1 - |x|
        ldw iz, c_half
        cal load_b_rom
        cal fmul
        cal fsqrt
        cal asin_rad
        cal copy_a_to_b
        cal fadd                        ; 2 asin
        ldw iy, FN_SIGN - 1
        ld r84, (iy+1)
        tsb r84, 0
        jmp z, rad_to_unit
        cal neg_a
        ldw iz, c_pi
        cal load_b_rom
        cal fadd
        jmp rad_to_unit

; --------------------------------------------------------------------------------------------
; Hyperbolic functions and their inverses. sinh x = x P(x^2) below 0.5, else
; (e^|x| - e^-|x|) / 2, and e^(|x| - ln 2) beyond 35 (where e^-|x| no longer counts);
; cosh x = (e^|x| + e^-|x|) / 2 likewise; tanh x = S / sqrt(1 + S^2) below 0.5 with S the
; series of sinh, (e^2|x| - 1) / (e^2|x| + 1) up to 20, 1 beyond. The inverses go through
; ln1p, whose argument is worked out without cancellation:
; asinh |x| = ln1p(|x| + x^2 / (1 + sqrt(1 + x^2))), acosh x = ln1p(d + sqrt(d (2 + d)))
; with d = x - 1, atanh |x| = ln1p(2 |x| / (1 - |x|)) / 2; beyond 1E10 ln(2 |x|).
; --------------------------------------------------------------------------------------------
f_sinh:
        cal take_sign
        ldw iz, c_half
        cal load_b_rom
        cal fcmp_abs
        tsb r82, 2
        jmp nz, sh_exp
        cal sinh_series
        jmp apply_fn_sign
sh_exp:
        cal half_exp_pair
        tsb r49, ERR_NONE
        rtn nz
        cal fsub
        ldw iz, c_half
        cal load_b_rom
        cal fmul
        jmp apply_fn_sign

f_cosh:
        ld r81, 0
        cal half_exp_pair
        tsb r49, ERR_NONE
        rtn nz
        cal fadd
        ldw iz, c_half
        cal load_b_rom
        jmp fmul

; half_exp_pair: A := e^|x|, B := e^-|x| for A = |x|; beyond 35, A := 2 e^(|x| - ln 2)
; (the caller halves it) and B := 0. Keeps FN_SIGN.
half_exp_pair:
        ldw iz, c_35
        cal load_b_rom
        cal fcmp_abs
        tsb r82, 1
        jmp nz, hep_both
        ldw iz, c_ln2
        cal load_b_rom
        cal fsub
        cal f_exp
        ldw iz, c_two
        cal load_b_rom
        cal fmul
        jmp zero_b
hep_both:
        cal f_exp
        ldw iy, REC_T2
        cal store_a
        cal copy_a_to_b
        cal one_a
        cal fdiv
        cal copy_a_to_b
        ldw iy, REC_T2
        jmp load_a

; sinh_series: A := sinh A = A P(A^2), for |A| < 0.5.
sinh_series:
        cal square_to_z
        ldw iz, s_sinh
        cal poly
        jmp times_t5

f_tanh:
        cal take_sign
        ldw iz, c_twenty
        cal load_b_rom
        cal fcmp_abs
        tsb r82, 1
        jmp nz, th_below
        cal one_a
        jmp apply_fn_sign
th_below:
        ldw iz, c_half
        cal load_b_rom
        cal fcmp_abs
        tsb r82, 2
        jmp nz, th_exp
        cal sinh_series                 ; S / sqrt(1 + S^2)
        ldw iy, REC_T2
        cal store_a
        cal copy_a_to_b
        cal fmul
        cal one_b
        cal fadd
        cal fsqrt
        cal copy_a_to_b
        ldw iy, REC_T2
        cal load_a
        cal fdiv
        jmp apply_fn_sign
th_exp:
        cal copy_a_to_b
        cal fadd
        cal f_exp                       ; E := e^2|x|
        ldw iy, REC_T2
        cal store_a
        cal one_b
        cal fadd
        ldw iy, REC_T3
        cal store_a                     ; E + 1
        ldw iy, REC_T2
        cal load_a
        cal one_b
        cal fsub
        ldw iy, REC_T3
        cal load_b
        cal fdiv
        jmp apply_fn_sign

f_asinh:
        cal take_sign
        tsb r80, EXP_BIAS + 11
        jmp c, ash_near
        cal ln_twice                    ; beyond 1E10: ln 2|x|
        jmp apply_fn_sign
ash_near:
        ldw iy, REC_T2
        cal store_a                     ; |x|
        cal copy_a_to_b
        cal fmul
        ldw iy, REC_T3
        cal store_a                     ; x^2
        cal one_b
        cal fadd
        cal fsqrt
        cal one_b
        cal fadd
        cal copy_a_to_b
        ldw iy, REC_T3
        cal load_a
        cal fdiv
        ldw iy, REC_T2
        cal load_b
        cal fadd
        cal ln1p
        jmp apply_fn_sign

; ln_twice: A := ln 2A.
ln_twice:
        cal f_ln
        ldw iz, c_ln2
        cal load_b_rom
        jmp fadd

f_acosh:
        cal one_b
        cal fcmp
        tsb r82, 2
        jmp z, domain_error
        tsb r80, EXP_BIAS + 11
        jmp nc, ln_twice
        cal one_b
        cal fsub                        ; d
        ldw iy, REC_T2
        cal store_a
        ldw iz, c_two
        cal load_b_rom
        cal fadd
        ldw iy, REC_T2
        cal load_b
        cal fmul
        cal fsqrt
        ldw iy, REC_T2
        cal load_b
        cal fadd
        jmp ln1p

f_atanh:
        cal one_b
        cal fcmp_abs
        tsb r82, 2
        jmp nz, domain_error
        cal take_sign
        ldw iy, REC_T2
        cal store_a                     ; |x|
        cal neg_a
        cal one_b
        cal fadd
        cal copy_a_to_b                 ; 1 - |x|
        ldw iy, REC_T2
        cal load_a
        cal fdiv
        ldw iz, c_two
        cal load_b_rom
        cal fmul
        cal ln1p
        ldw iz, c_half
        cal load_b_rom
        cal fmul
        jmp apply_fn_sign

; --------------------------------------------------------------------------------------------
; Counting. f_fact: n! for the whole numbers 0 to 69 (70 and more overflow).
; f_npr: n (n-1) ... (n-r+1). f_ncr: the same for r' = min(r, n - r) factors, divided by r'!:
; the two products are kept apart, each scaled down by 1E+100 when it passes 1E+72, and
; divided once at the end; the loop stops as soon as their ratio is sure to overflow.
; n and r must be whole with 0 <= r <= n.
; --------------------------------------------------------------------------------------------
f_fact:
        tsb r81, 0
        jmp nz, domain_error
        cal trunc_a
        tsb r35, 0
        jmp nz, domain_error
        cal small_int_a
        tsb r35, 0
        jmp nz, f_overflow              ; 10000 and more
        tsb r37, 0
        jmp nz, f_overflow
        tsb r36, 70
        jmp nc, f_overflow
        ld r84, r36
        ld r38, r84                     ; k := n
        cal one_a
        ldw iy, REC_T2
        cal store_a
fc_loop:
        tsb r38, 2
        jmp c, fc_done
        ld r84, r38
        ld r36, r84
        ld r37, 0
        cal int_to_a
        cal copy_a_to_b                 ; the small factor as the multiplier: fmul skips its
        ldw iy, REC_T2                  ; zero digits
        cal load_a
        cal fmul
        ldw iy, REC_T2
        cal store_a
        sb r38, 1
        jmp fc_loop
fc_done:
        ldw iy, REC_T2
        jmp load_a

; perm_args: checks n = A and r = B (whole, 0 <= r <= n); T0 := n, T1 := r.
perm_args:
        ldw iy, REC_T0
        cal store_a
        ldw iy, REC_T1
        cal store_b
        tsb r81, 0
        jmp nz, domain_error
        tsb r33, 0
        jmp nz, domain_error
        cal fcmp
        tsb r82, 2
        jmp z, domain_error
        cal trunc_a
        tsb r35, 0
        jmp nz, domain_error
        cal copy_b_to_a
        cal trunc_a
        tsb r35, 0
        jmp nz, domain_error
        rtn

f_npr:
        cal perm_args
        tsb r49, ERR_NONE
        rtn nz
        cal one_a
        ldw iy, REC_T2
        cal store_a
np_loop:
        ldw iy, REC_T1
        cal load_a
        tadm r64..r71, 0
        jmp z, np_done
        cal one_b
        cal fsub
        ldw iy, REC_T1
        cal store_a
        ldw iy, REC_T0
        cal load_b
        ldw iy, REC_T2
        cal load_a
        cal fmul
        tsb r80, EXP_MAX + 1
        jmp nc, f_overflow
        ldw iy, REC_T2
        cal store_a
        ldw iy, REC_T0
        cal load_a
        cal one_b
        cal fsub
        ldw iy, REC_T0
        cal store_a
        jmp np_loop
np_done:
        ldw iy, REC_T2
        jmp load_a

f_ncr:
        cal perm_args
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, REC_T1                  ; r' := min(r, n - r)
        cal load_b
        ldw iy, REC_T0
        cal load_a
        cal fsub
        ldw iy, REC_T1
        cal load_b
        cal fcmp
        tsb r82, 2
        jmp z, nc_count
        cal copy_b_to_a
nc_count:
        cal small_int_a                 ; C(n, r') >= 2^r' passes 1E+100 from r' = 333 on
        tsb r35, 0
        jmp nz, f_overflow
        tsb r36, low(333)
        tsbc r37, high(333)
        jmp nc, f_overflow
        cal one_a
        ldw iy, REC_T2
        cal store_a                     ; N
        ldw iy, REC_T3
        cal store_a                     ; D
        ldw iy, REC_T4
        cal store_a                     ; u := 1
        ld r38, 0                       ; N and D are kept as themselves / 10^(100 r38),
        ld r39, 0                       ; / 10^(100 r39)
nc_loop:
        tadm r36..r37, 0
        jmp z, nc_done
        sbm r36..r37, 1
        ldw iy, REC_T0                  ; N := N t, t := t - 1
        cal load_b
        ldw iy, REC_T2
        cal load_a
        cal fmul
        tsb r80, EXP_BIAS + 73
        jmp c, nc_n
        sb r80, 100                     ; N passed 1E+72: N / 1E+100
        ad r38, 1
nc_n:
        ldw iy, REC_T2
        cal store_a
        ldw iy, REC_T0
        cal load_a
        cal one_b
        cal fsub
        ldw iy, REC_T0
        cal store_a
        ldw iy, REC_T4                  ; D := D u, u := u + 1
        cal load_b
        ldw iy, REC_T3
        cal load_a
        cal fmul
        tsb r80, EXP_BIAS + 73
        jmp c, nc_d
        sb r80, 100
        ad r39, 1
nc_d:
        ldw iy, REC_T3
        cal store_a
        ldw iy, REC_T4
        cal load_a
        cal one_b
        cal fadd
        ldw iy, REC_T4
        cal store_a
        ld r84, r38                     ; N / D >= 1E+100 for sure: stop
        sb r84, r39
        tsb r84, 2
        jmp nc, f_overflow
        tsb r84, 1
        jmp nz, nc_loop
        ldw iy, REC_T2                  ; one step of 1E+100 apart: compare the exponents
        ld r34, (iy+8)
        ldw iy, REC_T3
        ld r84, (iy+8)
        ad r84, 1
        tsb r34, r84
        jmp c, nc_loop
        jmp f_overflow
nc_done:
        ldw iy, REC_T3
        cal load_b
        ldw iy, REC_T2
        cal load_a
        cal fdiv
        ld r84, r38
        sb r84, r39
        rtn z
        tsb r80, EXP_BIAS + 1           ; times 1E+100
        jmp nc, f_overflow
        ad r80, 100
        rtn
