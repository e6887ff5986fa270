
; ============================================================================================
; tables.asm: the tokens, the messages (external memory).
; ============================================================================================

; --------------------------------------------------------------------------------------------
; tok_info: for every token (defs.asm) its class, its precedence and the routine that works
; it out (A := f(A), or A := A op B for the binary ones), 4 bytes.
; --------------------------------------------------------------------------------------------
tok_info:
        db C_DIGIT, 0, 0, 0                                 ;  0 0
        db C_DIGIT, 0, 0, 0                                 ;  1 1
        db C_DIGIT, 0, 0, 0                                 ;  2 2
        db C_DIGIT, 0, 0, 0                                 ;  3 3
        db C_DIGIT, 0, 0, 0                                 ;  4 4
        db C_DIGIT, 0, 0, 0                                 ;  5 5
        db C_DIGIT, 0, 0, 0                                 ;  6 6
        db C_DIGIT, 0, 0, 0                                 ;  7 7
        db C_DIGIT, 0, 0, 0                                 ;  8 8
        db C_DIGIT, 0, 0, 0                                 ;  9 9
        db C_POINT, 0, 0, 0                                 ; 10 point
        db C_EXP, 0, 0, 0                                   ; 11 EXP
        db C_FRAC, 0, 0, 0                                  ; 12 fraction mark
        db C_PREFIX, P_PREFIX, high(neg_a), low(neg_a)      ; 13 negative sign
        db C_OPEN, P_OPEN, 0, 0                             ; 14 (
        db C_CLOSE, 0, 0, 0                                 ; 15 )
        db C_BINARY, P_ADD, high(fadd), low(fadd)           ; 16 +
        db C_BINARY, P_ADD, high(fsub), low(fsub)           ; 17 -
        db C_BINARY, P_MUL, high(fmul), low(fmul)           ; 18 times
        db C_BINARY, P_MUL, high(fdiv), low(fdiv)           ; 19 divided by
        db C_BINARY, P_POW, high(f_pow), low(f_pow)         ; 20 x^y
        db C_BINARY, P_POW, high(f_xroot), low(f_xroot)     ; 21 x-th root
        db C_BINARY, P_PERM, high(f_npr), low(f_npr)        ; 22 nPr
        db C_BINARY, P_PERM, high(f_ncr), low(f_ncr)        ; 23 nCr
        db C_POSTFIX, 0, high(f_square), low(f_square)      ; 24 x^2
        db C_POSTFIX, 0, high(f_cube), low(f_cube)          ; 25 x^3
        db C_POSTFIX, 0, high(f_inverse), low(f_inverse)    ; 26 1/x
        db C_POSTFIX, 0, high(f_fact), low(f_fact)          ; 27 n!
        db C_POSTFIX, 0, high(f_percent), low(f_percent)    ; 28 %
        db C_VALUE, 0, 0, 0                                 ; 29 pi
        db C_VALUE, 0, 0, 0                                 ; 30 e
        db C_VALUE, 0, 0, 0                                 ; 31 ANS
        db C_VALUE, 0, 0, 0                                 ; 32 M
        db C_VALUE, 0, 0, 0                                 ; 33 random
        db C_VALUE, 0, 0, 0                                 ; 34 X
        db C_VALUE, 0, 0, 0                                 ; 35 M0
        db C_VALUE, 0, 0, 0                                 ; 36 M1
        db C_VALUE, 0, 0, 0                                 ; 37 M2
        db C_VALUE, 0, 0, 0                                 ; 38 M3
        db C_VALUE, 0, 0, 0                                 ; 39 M4
        db C_VALUE, 0, 0, 0                                 ; 40 M5
        db C_VALUE, 0, 0, 0                                 ; 41 M6
        db C_VALUE, 0, 0, 0                                 ; 42 M7
        db C_VALUE, 0, 0, 0                                 ; 43 M8
        db C_VALUE, 0, 0, 0                                 ; 44 M9
        db C_PREFIX, P_PREFIX, high(f_sin), low(f_sin)      ; 45 sin
        db C_PREFIX, P_PREFIX, high(f_cos), low(f_cos)      ; 46 cos
        db C_PREFIX, P_PREFIX, high(f_tan), low(f_tan)      ; 47 tan
        db C_PREFIX, P_PREFIX, high(f_asin), low(f_asin)    ; 48 sin^-1
        db C_PREFIX, P_PREFIX, high(f_acos), low(f_acos)    ; 49 cos^-1
        db C_PREFIX, P_PREFIX, high(f_atan), low(f_atan)    ; 50 tan^-1
        db C_PREFIX, P_PREFIX, high(f_sinh), low(f_sinh)    ; 51 sinh
        db C_PREFIX, P_PREFIX, high(f_cosh), low(f_cosh)    ; 52 cosh
        db C_PREFIX, P_PREFIX, high(f_tanh), low(f_tanh)    ; 53 tanh
        db C_PREFIX, P_PREFIX, high(f_asinh), low(f_asinh)  ; 54 sinh^-1
        db C_PREFIX, P_PREFIX, high(f_acosh), low(f_acosh)  ; 55 cosh^-1
        db C_PREFIX, P_PREFIX, high(f_atanh), low(f_atanh)  ; 56 tanh^-1
        db C_PREFIX, P_PREFIX, high(f_log), low(f_log)      ; 57 log
        db C_PREFIX, P_PREFIX, high(f_ln), low(f_ln)        ; 58 ln
        db C_PREFIX, P_PREFIX, high(f_tenpow), low(f_tenpow); 59 10^x
        db C_PREFIX, P_PREFIX, high(f_exp), low(f_exp)      ; 60 e^x
        db C_PREFIX, P_PREFIX, high(fsqrt), low(fsqrt)      ; 61 square root
        db C_PREFIX, P_PREFIX, high(f_cbrt), low(f_cbrt)    ; 62 cube root

; --------------------------------------------------------------------------------------------
; tok_text: for every token the characters it shows: a length, then up to 7 characters.
; --------------------------------------------------------------------------------------------
tok_text:
        db 1, '0', 0, 0, 0, 0, 0, 0                         ;  0 0
        db 1, '1', 0, 0, 0, 0, 0, 0                         ;  1 1
        db 1, '2', 0, 0, 0, 0, 0, 0                         ;  2 2
        db 1, '3', 0, 0, 0, 0, 0, 0                         ;  3 3
        db 1, '4', 0, 0, 0, 0, 0, 0                         ;  4 4
        db 1, '5', 0, 0, 0, 0, 0, 0                         ;  5 5
        db 1, '6', 0, 0, 0, 0, 0, 0                         ;  6 6
        db 1, '7', 0, 0, 0, 0, 0, 0                         ;  7 7
        db 1, '8', 0, 0, 0, 0, 0, 0                         ;  8 8
        db 1, '9', 0, 0, 0, 0, 0, 0                         ;  9 9
        db 1, '.', 0, 0, 0, 0, 0, 0                         ; 10 point
        db 1, 'E', 0, 0, 0, 0, 0, 0                         ; 11 EXP
        db 1, CH_FRAC, 0, 0, 0, 0, 0, 0                     ; 12 fraction mark
        db 1, CH_NEG, 0, 0, 0, 0, 0, 0                      ; 13 negative sign
        db 1, '(', 0, 0, 0, 0, 0, 0                         ; 14 (
        db 1, ')', 0, 0, 0, 0, 0, 0                         ; 15 )
        db 1, '+', 0, 0, 0, 0, 0, 0                         ; 16 +
        db 1, '-', 0, 0, 0, 0, 0, 0                         ; 17 -
        db 1, CH_TIMES, 0, 0, 0, 0, 0, 0                    ; 18 times
        db 1, CH_DIVIDE, 0, 0, 0, 0, 0, 0                   ; 19 divided by
        db 1, '^', 0, 0, 0, 0, 0, 0                         ; 20 x^y
        db 2, CH_RAISED_X, CH_ROOT, 0, 0, 0, 0, 0           ; 21 x-th root
        db 1, 'P', 0, 0, 0, 0, 0, 0                         ; 22 nPr
        db 1, 'C', 0, 0, 0, 0, 0, 0                         ; 23 nCr
        db 1, CH_SQUARE, 0, 0, 0, 0, 0, 0                   ; 24 x^2
        db 1, CH_CUBE, 0, 0, 0, 0, 0, 0                     ; 25 x^3
        db 1, CH_INVERSE, 0, 0, 0, 0, 0, 0                  ; 26 1/x
        db 1, '!', 0, 0, 0, 0, 0, 0                         ; 27 n!
        db 1, '%', 0, 0, 0, 0, 0, 0                         ; 28 %
        db 1, CH_PI, 0, 0, 0, 0, 0, 0                       ; 29 pi
        db 1, 'e', 0, 0, 0, 0, 0, 0                         ; 30 e
        db 3, 'A', 'n', 's', 0, 0, 0, 0                     ; 31 ANS
        db 1, 'M', 0, 0, 0, 0, 0, 0                         ; 32 M
        db 4, 'R', 'a', 'n', '#', 0, 0, 0                   ; 33 random
        db 1, 'X', 0, 0, 0, 0, 0, 0                         ; 34 X
        db 2, 'M', '0', 0, 0, 0, 0, 0                       ; 35 M0
        db 2, 'M', '1', 0, 0, 0, 0, 0                       ; 36 M1
        db 2, 'M', '2', 0, 0, 0, 0, 0                       ; 37 M2
        db 2, 'M', '3', 0, 0, 0, 0, 0                       ; 38 M3
        db 2, 'M', '4', 0, 0, 0, 0, 0                       ; 39 M4
        db 2, 'M', '5', 0, 0, 0, 0, 0                       ; 40 M5
        db 2, 'M', '6', 0, 0, 0, 0, 0                       ; 41 M6
        db 2, 'M', '7', 0, 0, 0, 0, 0                       ; 42 M7
        db 2, 'M', '8', 0, 0, 0, 0, 0                       ; 43 M8
        db 2, 'M', '9', 0, 0, 0, 0, 0                       ; 44 M9
        db 3, 's', 'i', 'n', 0, 0, 0, 0                     ; 45 sin
        db 3, 'c', 'o', 's', 0, 0, 0, 0                     ; 46 cos
        db 3, 't', 'a', 'n', 0, 0, 0, 0                     ; 47 tan
        db 4, 's', 'i', 'n', CH_INVERSE, 0, 0, 0            ; 48 sin^-1
        db 4, 'c', 'o', 's', CH_INVERSE, 0, 0, 0            ; 49 cos^-1
        db 4, 't', 'a', 'n', CH_INVERSE, 0, 0, 0            ; 50 tan^-1
        db 4, 's', 'i', 'n', 'h', 0, 0, 0                   ; 51 sinh
        db 4, 'c', 'o', 's', 'h', 0, 0, 0                   ; 52 cosh
        db 4, 't', 'a', 'n', 'h', 0, 0, 0                   ; 53 tanh
        db 5, 's', 'i', 'n', 'h', CH_INVERSE, 0, 0          ; 54 sinh^-1
        db 5, 'c', 'o', 's', 'h', CH_INVERSE, 0, 0          ; 55 cosh^-1
        db 5, 't', 'a', 'n', 'h', CH_INVERSE, 0, 0          ; 56 tanh^-1
        db 3, 'l', 'o', 'g', 0, 0, 0, 0                     ; 57 log
        db 2, 'l', 'n', 0, 0, 0, 0, 0                       ; 58 ln
        db 3, '1', '0', '^', 0, 0, 0, 0                     ; 59 10^x
        db 2, 'e', '^', 0, 0, 0, 0, 0                       ; 60 e^x
        db 1, CH_ROOT, 0, 0, 0, 0, 0, 0                     ; 61 square root
        db 2, CH_CUBE, CH_ROOT, 0, 0, 0, 0, 0               ; 62 cube root

; --------------------------------------------------------------------------------------------
; Messages: a length byte, then the characters.
; --------------------------------------------------------------------------------------------
msg_key:
        db 4, 'K', 'E', 'Y', ' '
msg_sto:
        db 3, 'S', 'T', 'O'
msg_rcl:
        db 3, 'R', 'C', 'L'
msg_units:                              ; 4 bytes a unit
        db 3, 'D', 'E', 'G'
        db 3, 'R', 'A', 'D'
        db 3, 'G', 'R', 'A'
msg_formats:                            ; 5 bytes a format
        db 4, 'N', 'O', 'R', 'M'
        db 3, 'F', 'I', 'X', 0
        db 3, 'S', 'C', 'I', 0
err_words:                              ; by error code 1.., 13 bytes each
        db 8, 'O', 'V', 'E', 'R', 'F', 'L', 'O', 'W', 0, 0, 0, 0
        db 12, 'D', 'O', 'M', 'A', 'I', 'N', ' ', 'E', 'R', 'R', 'O', 'R'
        db 11, 'D', 'I', 'V', ' ', 'B', 'Y', ' ', 'Z', 'E', 'R', 'O', 0
        db 12, 'S', 'Y', 'N', 'T', 'A', 'X', ' ', 'E', 'R', 'R', 'O', 'R'
        db 11, 'T', 'O', 'O', ' ', 'C', 'O', 'M', 'P', 'L', 'E', 'X', 0
