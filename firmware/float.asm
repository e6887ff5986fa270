
; ============================================================================================
; float.asm: decimal floating point on the working numbers
;   A = mantissa r64..r71, exponent r80, sign r81
;   B = mantissa r0..r7,   exponent r32, sign r33
; (record layout and value: see defs.asm). The operations keep all 16 digits and leave a
; normalised result in A; finish rounds it to KEEP_DIGITS and checks its range. An error
; sets r49 (ERR_*) and leaves A undefined; nothing ever clears r49 but the caller.
; None of them uses ix or iz, so table walkers can call them.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; load_a / load_b: A or B := the number record at iy (RAM). Clobbers iy (moves past it).
; load_a_rom / load_b_rom: the same from the record at iz (external memory).
; store_a / store_b: the number record at iy := A or B. Clobbers iy.
; --------------------------------------------------------------------------------------------
load_a:
        ldm r64..r71, (iy)+
        ld r80, (iy)+
        ld r81, (iy)+
        rtn

load_b:
        ldm r0..r7, (iy)+
        ld r32, (iy)+
        ld r33, (iy)+
        rtn

load_a_rom:
        ldm r64..r71, (iz)+
        ld r80, (iz)+
        ld r81, (iz)+
        rtn

load_b_rom:
        ldm r0..r7, (iz)+
        ld r32, (iz)+
        ld r33, (iz)+
        rtn

store_a:
        sbw iy, 1
        stm +(iy), r64..r71
        st +(iy), r80
        st +(iy), r81
        rtn

store_b:
        sbw iy, 1
        stm +(iy), r0..r7
        st +(iy), r32
        st +(iy), r33
        rtn

; --------------------------------------------------------------------------------------------
; zero_a: A := 0. one_a: A := 1. zero_b, one_b: the same for B.
; copy_a_to_b: B := A. copy_b_to_a: A := B. swap_ab: A, B := B, A. neg_a: A := -A.
; --------------------------------------------------------------------------------------------
zero_a:
        ldm r64..r71, 0
        ld r80, EXP_ZERO
        ld r81, 0
        rtn

one_a:
        ldm r64..r71, 0
        ld r71, 0x10
        ld r80, EXP_BIAS + 1
        ld r81, 0
        rtn

zero_b:
        ldm r0..r7, 0
        ld r32, EXP_ZERO
        ld r33, 0
        rtn

one_b:
        ldm r0..r7, 0
        ld r7, 0x10
        ld r32, EXP_BIAS + 1
        ld r33, 0
        rtn

copy_a_to_b:
        ldm r0..r7, r64..r71
        ld r32, r80
        ld r33, r81
        rtn

copy_b_to_a:
        ldm r64..r71, r0..r7
        ld r80, r32
        ld r81, r33
        rtn

swap_ab:
        xcm r64..r71, r0..r7
        xc r80, r32
        xc r81, r33
        rtn

neg_a:
        tadm r64..r71, 0
        rtn z
        xr r81, 1
        rtn

; --------------------------------------------------------------------------------------------
; norm_a: shifts the mantissa of A up until d1 is not 0, lowering the exponent; a zero
; mantissa becomes the zero record, an exponent that would go below 0 too. Clobbers f.
; --------------------------------------------------------------------------------------------
norm_a:
        tadm r64..r71, 0
        jmp z, zero_a
na_byte:
        tsb r71, 0
        jmp nz, na_digit
        byum r64..r71
        sb r80, 2
        jmp c, zero_a
        jmp na_byte
na_digit:
        tan r71, 0xF0
        rtn nz
        dium r64..r71
        sb r80, 1
        jmp c, zero_a
        rtn

; --------------------------------------------------------------------------------------------
; finish: rounds A to KEEP_DIGITS digits (half away from zero), makes results below 1E-99
; zero and sets r49 := ERR_OVERFLOW for 1E+100 and above. A zero gets the zero record.
; Clobbers r34, r82, f.
; --------------------------------------------------------------------------------------------
finish:
        cal norm_a
        tadm r64..r71, 0
        rtn z
        ld r34, KEEP_DIGITS
        cal round_a
        tsb r80, EXP_MIN
        jmp c, zero_a
        tsb r80, EXP_MAX + 1
        rtn c
f_overflow:
        ld r49, ERR_OVERFLOW
        rtn

; --------------------------------------------------------------------------------------------
; round_a: rounds the normalised, non-zero mantissa A to its first r34 digits (1..15), half
; away from zero; a carry out of d1 (9.99.. to 10) gives 0.1 and exponent + 1.
; Takes r34. Clobbers r82, f.
; --------------------------------------------------------------------------------------------
round_a:
        ld r82, MANT_DIGITS - 1         ; move the deciding digit d(n+1) to the last place
        sb r82, r34
        jmp z, ra_add
ra_down:
        didm r71..r64
        sb r82, 1
        jmp nz, ra_down
ra_add:
        adbm r64..r71, 5                ; carries into d(n) when d(n+1) >= 5
        didm r71..r64                   ; drop d(n+1)
        ld r82, MANT_DIGITS
        sb r82, r34
ra_up:
        dium r64..r71                   ; back to the top; a carry digit falls out
        sb r82, 1
        jmp nz, ra_up
        tadm r64..r71, 0
        rtn nz
        ld r71, 0x10
        ad r80, 1
        rtn

; --------------------------------------------------------------------------------------------
; fsub: A := A - B. fadd: A := A + B (both normalised or zero). The operand with the smaller
; exponent is shifted right to the other's; a difference of 17 digits or more leaves the
; larger one. A digit that falls out of a subtrahend counts as one more unit in its last
; place, so that the rounding sees the true side of every half.
; Clobbers B (r32 ends as the shift count), r35, f.
; --------------------------------------------------------------------------------------------
fsub:
        xr r33, 1
fadd:
        tadm r0..r7, 0
        rtn z
        tadm r64..r71, 0
        jmp z, copy_b_to_a
        tsb r80, r32
        jmp nc, fa_order
        cal swap_ab                     ; make A the operand with the larger exponent
fa_order:
        sb r32, r80                     ; r32 := eb - ea, then the shift ea - eb >= 0
        cmp r32
        tsb r32, MANT_DIGITS + 1
        rtn nc
        ld r35, 0                       ; sticky: a non-zero digit fell out of B
fa_bytes:
        tsb r32, 2
        jmp c, fa_odd
        tsb r0, 0
        jmp z, fa_byte
        ld r35, 1
fa_byte:
        bydm r7..r0
        sb r32, 2
        jmp fa_bytes
fa_odd:
        tsb r32, 0
        jmp z, fa_aligned
        tan r0, 0x0F
        jmp z, fa_digit
        ld r35, 1
fa_digit:
        didm r7..r0
fa_aligned:
        tsb r81, r33
        jmp nz, fa_subtract
        adbm r64..r71, r0..r7
        rtn nc
        didm r71..r64                   ; the sum reached 1: one digit down
        or r71, 0x10
        ad r80, 1
        rtn
fa_subtract:
        tsb r35, 0
        jmp z, fa_exact
        adbm r0..r7, 1
fa_exact:
        sbbm r64..r71, r0..r7
        jmp nc, norm_a
        cmpbm r64..r71                  ; B was larger: ten's complement, B's sign
        ld r81, r33
        jmp norm_a

; --------------------------------------------------------------------------------------------
; fmul: A := A x B. The multiplicand A/10 is added into the product C once per unit of each
; multiplier digit, least significant digit first, C moving down a digit before each; the
; zero digits at the bottom of B are skipped. r49 := ERR_OVERFLOW when the exponent passes
; 255; a result below 10^-128 is 0. Clobbers B, C, r34, r82, f.
; --------------------------------------------------------------------------------------------
fmul:
        xr r81, r33
        tadm r64..r71, 0
        jmp z, zero_a
        tadm r0..r7, 0
        jmp z, zero_a
        ad r80, r32                     ; exponent: ea + eb - 128
        jmp c, fmu_big
        sb r80, EXP_BIAS
        jmp c, zero_a
        jmp fmu_go
fmu_big:
        tsb r80, EXP_BIAS               ; the sum is r80 + 256
        jmp nc, f_overflow
        ad r80, EXP_BIAS
fmu_go:
        didm r71..r64                   ; A/10 leaves room for nine additions
        ldm r8..r15, 0
        ld r34, MANT_DIGITS
fmu_skip:
        tsb r0, 0
        jmp nz, fmu_digit
        bydm r7..r0
        sb r34, 2
        jmp nz, fmu_skip
fmu_digit:
        didm r15..r8
        ld r82, r0
        an r82, 0x0F
        jmp z, fmu_next
fmu_add:
        adbm r8..r15, r64..r71
        sb r82, 1
        jmp nz, fmu_add
fmu_next:
        didm r7..r0
        sb r34, 1
        jmp nz, fmu_digit
        ldm r64..r71, r8..r15
        jmp norm_a

; --------------------------------------------------------------------------------------------
; fdiv: A := A / B; r49 := ERR_DIVZERO when B is 0, ERR_OVERFLOW when the exponent passes
; 255. Long division: 16 quotient digits, each counted by subtracting B/10 from the
; remainder A/10 while it fits, the remainder then times 10. Clobbers B, C, r34, r82, f.
; --------------------------------------------------------------------------------------------
fdiv:
        tadm r0..r7, 0
        jmp nz, fd_go
        ld r49, ERR_DIVZERO
        rtn
fd_go:
        tadm r64..r71, 0
        rtn z
        xr r81, r33
        sb r80, r32                     ; exponent: ea - eb + 129
        jmp c, fd_low
        tsb r80, 127
        jmp nc, f_overflow
        ad r80, EXP_BIAS + 1
        jmp fd_start
fd_low:
        sb r80, 127                     ; the difference is r80 - 256
        jmp c, zero_a
fd_start:
        didm r71..r64
        didm r7..r0
        ldm r8..r15, 0
        ld r34, MANT_DIGITS
fd_digit:
        ld r82, 0
fd_try:
        tsbbm r64..r71, r0..r7
        jmp c, fd_got
        sbbm r64..r71, r0..r7
        ad r82, 1
        jmp fd_try
fd_got:
        dium r8..r15
        or r8, r82
        dium r64..r71
        sb r34, 1
        jmp nz, fd_digit
        ldm r64..r71, r8..r15
        jmp norm_a

; --------------------------------------------------------------------------------------------
; fsqrt: A := the square root of A; r49 := ERR_DOMAIN when A is negative. Digit by digit:
; for every pair of digits brought down into the remainder R (r0..r7) the odd numbers
; Y = 20r+1, 20r+3, ... (r72..r79) are subtracted while they fit; their count is the next
; digit. 15 digits. Clobbers B, C, D, r34, r82, f.
; --------------------------------------------------------------------------------------------
fsqrt:
        tadm r64..r71, 0
        rtn z
        tsb r81, 0
        jmp z, fs_positive
        ld r49, ERR_DOMAIN
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
        ld r34, KEEP_DIGITS
fs_digit:
        byum r0..r7                     ; R := 100 R + the next pair
        ld r0, r71
        byum r64..r71
        ld r82, 0
fs_try:
        tsbbm r0..r7, r72..r79          ; R < Y: the digit is complete
        jmp c, fs_got
        sbbm r0..r7, r72..r79
        adbm r72..r79, 2
        ad r82, 1
        jmp fs_try
fs_got:
        dium r8..r15
        or r8, r82
        sbbm r72..r79, 1                ; Y := 10 (Y - 1) + 1 = 20 r' + 1
        dium r72..r79
        adbm r72..r79, 1
        sb r34, 1
        jmp nz, fs_digit
        dium r8..r15                    ; the 15 digits to the top
        ldm r64..r71, r8..r15
        rtn

; --------------------------------------------------------------------------------------------
; fcmp: compares |A| with |B| (both normalised or zero) and A with B. Returns r82 = 0 when
; A = B, 1 when A > B, 2 when A < B. Clobbers r82, f.
; --------------------------------------------------------------------------------------------
fcmp:
        tsb r81, r33
        jmp z, fc_same_sign
        ld r82, 1                       ; different signs (a zero is never negative)
        tsb r81, 0
        rtn z
        ld r82, 2
        rtn
fc_same_sign:
        cal fcmp_abs
        tsb r81, 0
        rtn z
        tsb r82, 0                      ; both negative: the order turns round
        rtn z
        xr r82, 3
        rtn

; fcmp_abs: r82 := 0, 1 or 2 as |A| =, >, < |B|.
fcmp_abs:
        ld r82, 0
        tadm r64..r71, 0
        jmp nz, fca_a
        tadm r0..r7, 0
        rtn z
        ld r82, 2
        rtn
fca_a:
        ld r82, 1
        tadm r0..r7, 0
        rtn z
        tsb r80, r32
        jmp z, fca_mant
        rtn nc
        ld r82, 2
        rtn
fca_mant:
        tsbbm r64..r71, r0..r7
        jmp c, fca_less
        rtn nz
        ld r82, 0
        rtn
fca_less:
        ld r82, 2
        rtn

; --------------------------------------------------------------------------------------------
; trunc_a: A := its integer part (towards zero). Returns r35 = 1 when a non-zero digit was
; dropped (A was not an integer), else 0. Clobbers r34, r82, f.
; --------------------------------------------------------------------------------------------
trunc_a:
        ld r35, 0
        tadm r64..r71, 0
        rtn z
        tsb r80, EXP_BIAS + MANT_DIGITS
        rtn nc                          ; 16 integer digits or more
        tsb r80, EXP_BIAS + 1
        jmp nc, tr_part
        ld r35, 1                       ; below 1
        jmp zero_a
tr_part:
        ld r34, EXP_BIAS + MANT_DIGITS  ; fraction digits: 144 - E
        sb r34, r80
        ld r82, r34
tr_down:
        tan r64, 0x0F
        jmp z, tr_zero
        ld r35, 1
tr_zero:
        didm r71..r64
        sb r82, 1
        jmp nz, tr_down
tr_up:
        dium r64..r71
        sb r34, 1
        jmp nz, tr_up
        rtn

; --------------------------------------------------------------------------------------------
; floor_a: A := the largest integer not above A. Clobbers B, r34, r35, r37, r82, f.
; --------------------------------------------------------------------------------------------
floor_a:
        ld r37, r81                     ; (trunc_a may leave 0 with its sign cleared)
        cal trunc_a
        tsb r35, 0
        rtn z
        tsb r37, 0
        rtn z
        cal one_b                       ; negative with a fraction: one lower
        jmp fsub

; --------------------------------------------------------------------------------------------
; small_int_a: r37:r36 (high:low, binary) := A when A is an integer from 0 to 9999;
; r35 := 0 then, else 1 (not such an integer). Clobbers C, r34, r84..r86, f; A is kept.
; --------------------------------------------------------------------------------------------
small_int_a:
        ld r36, 0
        ld r37, 0
        ld r35, 1
        tsb r81, 0
        rtn nz
        tadm r64..r71, 0
        jmp nz, si_nonzero
        ld r35, 0
        rtn
si_nonzero:
        tsb r80, EXP_BIAS + 5
        rtn nc                          ; 10000 or more
        tsb r80, EXP_BIAS + 1
        rtn c                           ; below 1
        ldm r8..r15, r64..r71
        ld r34, r80
        sb r34, EXP_BIAS                ; integer digits, 1..4
si_digit:
        bium r36..r37                   ; v := 10 v + the next digit
        ldm r84..r85, r36..r37
        bium r36..r37
        bium r36..r37
        adm r36..r37, r84..r85
        ld r86, r15
        swp r86
        an r86, 0x0F
        ad r36, r86
        adc r37, 0
        dium r8..r15
        sb r34, 1
        jmp nz, si_digit
        tadm r8..r15, 0                 ; digits left after the point: not an integer
        rtn nz
        ld r35, 0
        rtn

; --------------------------------------------------------------------------------------------
; int_to_a: A := the binary integer r37:r36 (0..65535). Clobbers r36, r37, r83, f.
; Every bit from the top doubles A in decimal and adds the bit.
; --------------------------------------------------------------------------------------------
int_to_a:
        ldm r64..r71, 0
        ld r83, 16
ia_bit:
        bium r36..r37
        jmp c, ia_one
        mtbm r64..r71
        jmp ia_next
ia_one:
        mtbm r64..r71
        adbm r64..r71, 1
ia_next:
        sb r83, 1
        jmp nz, ia_bit
        ld r80, EXP_BIAS + MANT_DIGITS
        ld r81, 0
        jmp norm_a
