
; ============================================================================================
; arith.asm: decimal floating-point arithmetic on the working numbers
;   A = mantissa r64..r71, exponent r80, sign r81
;   B = mantissa r0..r7,   exponent r18, sign r19
; (record layout and value: see defs.asm). The operations leave a raw result in A;
; finish normalises it, rounds it to DIGITS significant digits and checks its range.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; load_a / load_b: A or B := the number record at iy. Clobbers iy (moves past the record).
; store_a: the number record at iy := A. Clobbers iy.
; zero_a: A := 0.
; --------------------------------------------------------------------------------------------
load_a:
        ldm r64..r71, (iy)+
        ld r80, (iy)+
        ld r81, (iy)+
        rtn

load_b:
        ldm r0..r7, (iy)+
        ld r18, (iy)+
        ld r19, (iy)+
        rtn

store_a:
        sbw iy, 1
        stm +(iy), r64..r71
        st +(iy), r80
        st +(iy), r81
        rtn

zero_a:
        ldm r64..r71, 0
        ld r80, EXP_ZERO
        ld r81, 0
        rtn

; --------------------------------------------------------------------------------------------
; calc_op: A := A (op) B, finished; r49 := 1 on an error, else 0.
; Takes r84 = OP_ADD, OP_SUB, OP_MUL, OP_DIV, OP_SQRT (of A), OP_SQUARE (of A), OP_RECIP
; (of A). Clobbers B, C, D, r84..r92, lower scratch, f.
; --------------------------------------------------------------------------------------------
calc_op:
        ld r49, 0
        tsb r84, OP_ADD
        jmp nz, co_sub
        cal fadd
        jmp finish
co_sub:
        tsb r84, OP_SUB
        jmp nz, co_mul
        xr r19, 1                       ; a - b = a + (-b)
        cal fadd
        jmp finish
co_mul:
        tsb r84, OP_MUL
        jmp nz, co_div
        cal fmul
        jmp finish
co_div:
        tsb r84, OP_DIV
        jmp nz, co_sqrt
        cal fdiv
        jmp finish
co_sqrt:
        tsb r84, OP_SQRT
        jmp nz, co_square
        cal fsqrt
        jmp finish
co_square:
        cal copy_a_to_b
        tsb r84, OP_SQUARE
        jmp nz, co_recip
        cal fmul
        jmp finish
co_recip:
        ldm r64..r71, 0                 ; A := 1, then 1 / x
        ld r71, 0x10
        ld r80, EXP_BIAS + 1
        ld r81, 0
        cal fdiv
        jmp finish

; --------------------------------------------------------------------------------------------
; copy_a_to_b: B := A.
; --------------------------------------------------------------------------------------------
copy_a_to_b:
        ldm r0..r7, r64..r71
        ld r18, r80
        ld r19, r81
        rtn

; --------------------------------------------------------------------------------------------
; finish: normalises A (d1 not 0), rounds it to DIGITS digits (half away from zero), makes
; results below 10^-64 zero and sets r49 := 1 when more than 10 integer digits would be
; needed. A zero result gets exponent EXP_ZERO and sign 0. Clobbers r16, r91, f.
; --------------------------------------------------------------------------------------------
finish:
        tadm r64..r71, 0
        jmp z, zero_a
fi_norm:
        tan r71, 0xF0
        jmp nz, fi_round
        dium r64..r71
        sb r80, 1
        jmp fi_norm
fi_round:
        ld r16, DIGITS
        cal round_digits
        tsb r80, EXP_MIN
        jmp c, zero_a
        tsb r80, EXP_MAX + 1
        rtn c
        ld r49, 1
        rtn

; --------------------------------------------------------------------------------------------
; round_digits: rounds the normalised, non-zero mantissa A to its first r16 digits (1..15),
; half away from zero; a carry out of d1 (9.99.. to 10) gives 0.1 and exponent + 1.
; Takes r16. Clobbers r91, f.
; --------------------------------------------------------------------------------------------
round_digits:
        ld r91, MANT_DIGITS - 1         ; move the deciding digit d(n+1) to the last place
        sb r91, r16
        jmp z, rd_add
rd_down:
        didm r71..r64
        sb r91, 1
        jmp nz, rd_down
rd_add:
        adbm r64..r71, 5                ; carries into d(n) when d(n+1) >= 5
        didm r71..r64                   ; drop d(n+1)
        ld r91, MANT_DIGITS
        sb r91, r16
rd_up:
        dium r64..r71                   ; back to the top; a carry digit falls out
        sb r91, 1
        jmp nz, rd_up
        tadm r64..r71, 0
        rtn nz
        ld r71, 0x10
        ad r80, 1
        rtn

; --------------------------------------------------------------------------------------------
; fadd: A := A + B (both normalised or zero). The smaller operand is shifted right to the
; larger one's exponent in the 16-digit mantissas; a difference of 16 or more leaves A.
; Clobbers B (r18 ends as the shift count), r21, f.
; --------------------------------------------------------------------------------------------
fadd:
        tadm r0..r7, 0
        rtn z
        tadm r64..r71, 0
        jmp nz, fa_both
        ldm r64..r71, r0..r7            ; A is 0: the result is B
        ld r80, r18
        ld r81, r19
        rtn
fa_both:
        tsb r80, r18
        jmp nc, fa_order
        xcm r64..r71, r0..r7            ; make A the operand with the larger exponent
        xc r80, r18
        xc r81, r19
fa_order:
        sb r18, r80                     ; r18 := eb - ea, then the shift ea - eb >= 0
        cmp r18
        tsb r18, MANT_DIGITS
        rtn nc
        ld r21, 0                       ; sticky: a non-zero digit fell out of B
        tsb r18, 0
        jmp z, fa_aligned
fa_shift:
        tan r0, 0x0F
        jmp z, fa_shift_down
        ld r21, 1
fa_shift_down:
        didm r7..r0
        sb r18, 1
        jmp nz, fa_shift
fa_aligned:
        tsb r81, r19
        jmp nz, fa_subtract
        adbm r64..r71, r0..r7
        rtn nc
        didm r71..r64                   ; the sum reached 1: one digit down
        or r71, 0x10
        ad r80, 1
        rtn
fa_subtract:
        tsb r21, 0                      ; lost digits: B is a little more than kept, so
        jmp z, fa_exact                 ; take one unit more off; the rounding then sees
        adbm r0..r7, 1                  ; the true side of every half
fa_exact:
        sbbm r64..r71, r0..r7
        rtn nc
        cmpbm r64..r71                  ; B was larger: ten's complement, B's sign
        ld r81, r19
        rtn

; --------------------------------------------------------------------------------------------
; fmul: A := A x B. The multiplicand A/10 is added into the product C once per unit of each
; multiplier digit, least significant digit first, C moving down a digit before each; the
; digits that fall out are final, so the 16 digits kept are exact.
; Clobbers B, C, r84, r85, f.
; --------------------------------------------------------------------------------------------
fmul:
        xr r81, r19
        tadm r64..r71, 0
        rtn z
        tadm r0..r7, 0
        jmp z, zero_a
        sb r80, EXP_BIAS                ; exponent: ea + eb
        ad r80, r18
        didm r71..r64                   ; A/10 leaves room for nine additions
        bydm r7..r0                     ; the 10 multiplier digits to the bottom of B
        bydm r7..r0
        bydm r7..r0
        ldm r8..r15, 0
        ld r85, DIGITS
fm_digit:
        didm r15..r8
        ld r84, r0
        an r84, 0x0F
        jmp z, fm_next
fm_add:
        adbm r8..r15, r64..r71
        sb r84, 1
        jmp nz, fm_add
fm_next:
        didm r7..r0
        sb r85, 1
        jmp nz, fm_digit
        ldm r64..r71, r8..r15
        rtn

; --------------------------------------------------------------------------------------------
; fdiv: A := A / B; r49 := 1 when B is 0. Long division: 12 quotient digits, each counted by
; subtracting B/10 from the remainder A/10 while it fits, the remainder then times 10.
; Clobbers B, C, r84, r85, f.
; --------------------------------------------------------------------------------------------
fdiv:
        tadm r0..r7, 0
        jmp nz, fd_go
        ld r49, 1
        rtn
fd_go:
        tadm r64..r71, 0
        rtn z
        xr r81, r19
        sb r80, r18                     ; exponent: ea - eb + 1
        ad r80, EXP_BIAS + 1
        didm r71..r64
        didm r7..r0
        ldm r8..r15, 0
        ld r85, 12
fd_digit:
        ld r84, 0
fd_try:
        tsbbm r64..r71, r0..r7
        jmp c, fd_got
        sbbm r64..r71, r0..r7
        ad r84, 1
        jmp fd_try
fd_got:
        dium r8..r15
        or r8, r84
        dium r64..r71
        sb r85, 1
        jmp nz, fd_digit
        byum r8..r15                    ; the 12 digits to the top
        byum r8..r15
        ldm r64..r71, r8..r15
        rtn

; --------------------------------------------------------------------------------------------
; fsqrt: A := the square root of A; r49 := 1 when A is negative. Digit by digit: for every
; pair of digits brought down into the remainder R (r0..r7) the odd numbers Y = 20r+1,
; 20r+3, ... (r72..r79) are subtracted while they fit; their count is the next digit.
; Clobbers B, C, D, r84, r85, f.
; --------------------------------------------------------------------------------------------
fsqrt:
        tadm r64..r71, 0
        rtn z
        tsb r81, 0
        jmp z, fs_positive
        ld r49, 1
        rtn
fs_positive:
        tan r80, 1                      ; odd exponent: one digit down, exponent + 1
        jmp z, fs_even
        didm r71..r64
        ad r80, 1
fs_even:
        an r80, 0xFE                    ; (an clears C for rod)
        rod r80                         ; exponent: e / 2
        ad r80, EXP_HALF
        ldm r0..r7, 0
        ldm r72..r79, 0
        ld r72, 1
        ldm r8..r15, 0
        ld r85, DIGITS + 1
fs_digit:
        byum r0..r7                     ; R := 100 R + the next pair
        ld r0, r71
        byum r64..r71
        ld r84, 0
fs_try:
        tsbbm r0..r7, r72..r79
        jmp c, fs_got
        sbbm r0..r7, r72..r79
        adbm r72..r79, 2
        ad r84, 1
        jmp fs_try
fs_got:
        dium r8..r15
        or r8, r84
        sbbm r72..r79, 1                ; Y := 10 (Y - 1) + 1 = 20 r' + 1
        dium r72..r79
        adbm r72..r79, 1
        sb r85, 1
        jmp nz, fs_digit
        byum r8..r15                    ; the 11 digits to the top
        byum r8..r15
        dium r8..r15
        ldm r64..r71, r8..r15
        rtn

; --------------------------------------------------------------------------------------------
; div100 / mul100: A := A / 100 or A x 100 (exponent only; range checked by finish).
; --------------------------------------------------------------------------------------------
div100:
        tadm r64..r71, 0
        rtn z
        sb r80, 2
        rtn

mul100:
        tadm r64..r71, 0
        rtn z
        ad r80, 2
        rtn

; --------------------------------------------------------------------------------------------
; parse_entry: A := the value of the open entry (ENT_CHARS, r45 characters, sign r46).
; Leading zeros only move the exponent. Clobbers iy, r24, r84..r87, r20, f.
; --------------------------------------------------------------------------------------------
parse_entry:
        ldm r64..r71, 0
        ld r80, EXP_BIAS
        ld r81, r46
        ld r84, 0                       ; a significant digit seen
        ld r85, 0                       ; the point seen
        ld r20, 0                       ; significant digits
        ld r86, r45                     ; characters left
        ldw iy, ENT_CHARS
        tsb r86, 0
        jmp z, pe_place
pe_char:
        ld r24, (iy)+
        tsb r24, '.'
        jmp nz, pe_digit
        ld r85, 1
        jmp pe_next
pe_digit:
        sb r24, '0'
        jmp nz, pe_significant
        tsb r84, 0
        jmp nz, pe_significant
        tsb r85, 0                      ; a leading zero: after the point it scales
        jmp z, pe_next
        sb r80, 1
        jmp pe_next
pe_significant:
        ld r84, 1
        dium r64..r71
        or r64, r24
        ad r20, 1
        tsb r85, 0
        jmp nz, pe_next
        ad r80, 1
pe_next:
        sb r86, 1
        jmp nz, pe_char
pe_place:
        tsb r20, 0
        jmp z, zero_a
        ld r86, MANT_DIGITS
        sb r86, r20
        rtn z
pe_up:
        dium r64..r71
        sb r86, 1
        jmp nz, pe_up
        rtn
