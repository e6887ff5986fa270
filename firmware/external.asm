
; ============================================================================================
; external.asm: code and data in external memory from address 0x1800 (data is read through
; area 0): the power-up setup, the kept state, the key scan and the key table. The font
; follows at 0x2000 and the rest of the external code and tables from 0x2400.
; ============================================================================================

        org 0x1800
; --------------------------------------------------------------------------------------------
; power_up: sets up the interrupt vector and the LCD controller, clears the display RAM,
; checks the kept state, and shows the empty calculator. Reached from reset with interrupts
; off, sp and DS set; ends in the main loop with the timer running.
; --------------------------------------------------------------------------------------------
power_up:
        ldw v3, isr_timer
        pst s6, LCD_OFF
        pst s5, LCD_ROW_PERIOD
        pst s7, LCD_ROW_LAST
        pst pe, LCD_DOWNWARD
        ldw ix, DISPLAY_LA
        pla ix
        pst tm, TIMER_ROWS
        cal clear_screen
        pst s6, LCD_ON_64
        cal check_state
        cal gr_check_state
        ld r98, 0                       ; cursor: count, phase, disabled, nowhere
        ld r99, 0
        ld r100, 0
        ld r101, 0
        ld r41, 0
        ld r42, 0
        ld r43, PR_NONE
        ld r44, 0
        ld r49, ERR_NONE
        cal k_clear
        cal render
        pst ie, IE_TIMER
        jmp main_loop

; --------------------------------------------------------------------------------------------
; check_state: keeps the settings, the memories, ANS and the history of the last run when
; the signature is there; else sets degrees, NORM, all memories 0 and an empty history, and
; writes the signature. Clobbers A, ix, iy, r34, r35, r84, f.
; --------------------------------------------------------------------------------------------
check_state:
        ldw iy, SIGNATURE
        ldw ix, sig_bytes
        ld r35, 4
cst_byte:
        ld r84, (ix)+
        ld r34, (iy+0)
        tsb r34, r84
        jmp nz, reset_state
        adw iy, 1
        sb r35, 1
        jmp nz, cst_byte
        rtn

; reset_state: the kept state of a calculator fresh from the factory (also MENU, clear all).
reset_state:
        ldw iy, ANGLE - 1
        ld r34, 0
        st +(iy), r34                   ; ANGLE: degrees
        st +(iy), r34                   ; FORMAT: NORM
        st +(iy), r34                   ; FORMAT_N
        st +(iy), r34                   ; HIST_COUNT
        st +(iy), r34                   ; HIST_HEAD
        st +(iy), r34                   ; SHOW_FORM
        cal clear_memories
        ldw iz, c_seed
        cal load_a_rom
        ldw iy, RANDOM_SEED
        cal store_a
        ldw iy, SIGNATURE - 1
        ldw ix, sig_bytes
        ld r35, 4
rs_sig:
        ld r34, (ix)+
        st +(iy), r34
        sb r35, 1
        jmp nz, rs_sig
        rtn

; clear_memories: M, M0..M9, ANS, PREANS and X := 0. Clobbers A, iy, r35, f.
clear_memories:
        cal zero_a
        ldw iy, REC_M
        ld r35, 14
cm_record:
        cal store_a
        adw iy, 1
        sb r35, 1
        jmp nz, cm_record
        rtn

; clear_history: the history becomes empty. Clobbers iy, r34.
clear_history:
        ldw iy, HIST_COUNT - 1
        ld r34, 0
        st (iy+1), r34                  ; HIST_COUNT
        st (iy+2), r34                  ; HIST_HEAD
        ldw iy, HIST_POS - 1
        ld r34, 0xFF
        st (iy+1), r34
        rtn

; --------------------------------------------------------------------------------------------
; scan_keys: strobes the matrix line by line and finds the first key down.
; Returns r84 = its key code, 0 when none is down. Leaves KC at the last strobe.
; Clobbers r85, r86, ix, f.
; --------------------------------------------------------------------------------------------
scan_keys:
        ldw ix, key_matrix
sk_line:
        ld r85, (ix)+                   ; the strobe mask, 0 at the end of the table
        tsb r85, 0
        jmp z, sk_none
        pst ky, r85
        gst r86, ky
        tsb r86, 0
        jmp nz, sk_bit
        adw ix, 8
        jmp sk_line
sk_bit:
        ld r84, (ix)+                   ; the key on KI bit 7, 6, ... 0
        biu r86
        jmp nc, sk_bit
        rtn
sk_none:
        ld r84, 0
        rtn

; --------------------------------------------------------------------------------------------
; key_matrix: for each strobe mask the key codes sensed on KI bits 7..0 (0: no key there).
; A mask senses exactly its own line; the table ends with a 0 mask.
; --------------------------------------------------------------------------------------------
key_matrix:
        db 0x81,  0,  6,  7, 14, 15, 16, 17,  0
        db 0x82,  0,  5,  8, 18, 19, 20, 21,  0
        db 0x84,  0,  4,  9, 22, 23, 24, 25,  0
        db 0x88,  0,  3,  0, 26, 27, 28, 29,  0
        db 0x60,  0,  0,  0, 10, 11, 12, 13,  0
        db 0x41, 62,  0,  0,  0,  0,  0,  0,  0
        db 0x42, 30, 31, 32, 42, 43, 44, 45, 61
        db 0x44, 33, 34, 35, 47, 48, 49, 50, 51
        db 0x48, 36, 37, 38, 52, 53, 54, 55, 56
        db 0x50, 39, 40, 41, 57, 58, 59, 60,  0
        db 0xC0,  0,  0,  0,  0,  0,  0,  0, 46
        db 0

; --------------------------------------------------------------------------------------------
; key_actions: for every key code 0..62 the action (high, low byte) and its argument r50,
; then the same after SHIFT. The face legends of each key are in the comment.
; --------------------------------------------------------------------------------------------
key_actions:
        db high(k_unknown), low(k_unknown), 0, high(k_unknown), low(k_unknown), 0           ;  0
        db high(k_unknown), low(k_unknown), 0, high(k_unknown), low(k_unknown), 0           ;  1
        db high(k_unknown), low(k_unknown), 0, high(k_unknown), low(k_unknown), 0           ;  2
        db high(k_off), low(k_off), 0, high(k_off), low(k_off), 0                           ;  3 OFF
        db high(k_shift), low(k_shift), 0, high(k_shift), low(k_shift), 0                   ;  4 SHIFT
        db high(k_mode), low(k_mode), 0, high(k_prgm), low(k_prgm), 0                       ;  5 MODE, PRGM
        db high(k_left), low(k_left), 0, high(k_left), low(k_left), 0                       ;  6 left
        db high(k_up), low(k_up), 0, high(k_up), low(k_up), 0                               ;  7 up
        db high(k_down), low(k_down), 0, high(k_down), low(k_down), 0                       ;  8 down
        db high(k_right), low(k_right), 0, high(k_right), low(k_right), 0                   ;  9 right
        db high(k_trig), low(k_trig), 0, high(k_trig), low(k_trig), 3                       ; 10 sin, asin
        db high(k_trig), low(k_trig), 1, high(k_trig), low(k_trig), 4                       ; 11 cos, acos
        db high(k_trig), low(k_trig), 2, high(k_trig), low(k_trig), 5                       ; 12 tan, atan
        db high(k_token), low(k_token), T_PI, high(k_token), low(k_token), T_E              ; 13 pi, e
        db high(k_token), low(k_token), T_LOG, high(k_token), low(k_token), T_LOG           ; 14 log
        db high(k_token), low(k_token), T_LN, high(k_token), low(k_token), T_LN             ; 15 ln
        db high(k_token), low(k_token), T_TENPOW, high(k_token), low(k_token), T_TENPOW     ; 16 10^x
        db high(k_token), low(k_token), T_EXPPOW, high(k_token), low(k_token), T_EXPPOW     ; 17 e^x
        db high(k_token), low(k_token), T_SQUARE, high(k_token), low(k_token), T_CUBE       ; 18 x^2, x^3
        db high(k_token), low(k_token), T_SQRT, high(k_token), low(k_token), T_CBRT         ; 19 root, cube root
        db high(k_token), low(k_token), T_POW, high(k_token), low(k_token), T_XROOT         ; 20 x^y, x-th root
        db high(k_token), low(k_token), T_INVERSE, high(k_token), low(k_token), T_INVERSE   ; 21 1/x
        db high(k_token), low(k_token), T_OPEN, high(k_token), low(k_token), T_OPEN         ; 22 (
        db high(k_token), low(k_token), T_CLOSE, high(k_token), low(k_token), T_CLOSE       ; 23 )
        db high(k_token), low(k_token), T_FACT, high(k_token), low(k_token), T_FACT         ; 24 n!
        db high(k_hyp), low(k_hyp), 0, high(k_hyp), low(k_hyp), 0                           ; 25 HYP
        db high(k_drg), low(k_drg), 0, high(k_drg), low(k_drg), 0                           ; 26 DRG
        db high(k_token), low(k_token), T_NPR, high(k_token), low(k_token), T_NPR           ; 27 nPr
        db high(k_token), low(k_token), T_NCR, high(k_token), low(k_token), T_NCR           ; 28 nCr
        db high(k_rnd), low(k_rnd), 0, high(k_recall), low(k_recall), T_RAND                ; 29 RND, Ran#
        db high(k_menu), low(k_menu), 0, high(k_menu), low(k_menu), 0                       ; 30 MENU
        db high(k_token), low(k_token), T_ANS, high(k_token), low(k_token), T_X             ; 31 ANS, X
        db high(k_swap), low(k_swap), 0, high(k_swap), low(k_swap), 0                       ; 32 SWAP
        db high(k_mem_clear), low(k_mem_clear), 0, high(k_mem_clear), low(k_mem_clear), 0   ; 33 MC
        db high(k_recall), low(k_recall), T_M, high(k_recall), low(k_recall), T_M           ; 34 MR
        db high(k_sto), low(k_sto), 0, high(k_sto), low(k_sto), 0                           ; 35 STO
        db high(k_mem_add), low(k_mem_add), 0, high(k_mem_add), low(k_mem_add), 0           ; 36 M+
        db high(k_mem_add), low(k_mem_add), 1, high(k_mem_add), low(k_mem_add), 1           ; 37 M-
        db high(k_rcl), low(k_rcl), 0, high(k_rcl), low(k_rcl), 0                           ; 38 RCL
        db high(k_frac), low(k_frac), 0, high(k_improper), low(k_improper), 0               ; 39 a b/c, d/c
        db high(k_token), low(k_token), T_EXP, high(k_token), low(k_token), T_EXP           ; 40 EXP
        db high(k_token), low(k_token), T_NEG, high(k_token), low(k_token), T_NEG           ; 41 (-)
        db high(k_token), low(k_token), 7, high(k_token), low(k_token), 7                   ; 42 7
        db high(k_token), low(k_token), 8, high(k_token), low(k_token), 8                   ; 43 8
        db high(k_token), low(k_token), 9, high(k_token), low(k_token), 9                   ; 44 9
        db high(k_del), low(k_del), 0, high(k_del), low(k_del), 0                           ; 45 DEL
        db high(k_clear), low(k_clear), 0, high(k_clear), low(k_clear), 0                   ; 46 AC
        db high(k_token), low(k_token), 4, high(k_run), low(k_run), 4                       ; 47 4, P4
        db high(k_token), low(k_token), 5, high(k_token), low(k_token), 5                   ; 48 5
        db high(k_token), low(k_token), 6, high(k_token), low(k_token), 6                   ; 49 6
        db high(k_token), low(k_token), T_MUL, high(k_token), low(k_token), T_MUL           ; 50 x
        db high(k_token), low(k_token), T_DIV, high(k_token), low(k_token), T_DIV           ; 51 /
        db high(k_token), low(k_token), 1, high(k_run), low(k_run), 1                       ; 52 1, P1
        db high(k_token), low(k_token), 2, high(k_run), low(k_run), 2                       ; 53 2, P2
        db high(k_token), low(k_token), 3, high(k_run), low(k_run), 3                       ; 54 3, P3
        db high(k_token), low(k_token), T_ADD, high(k_token), low(k_token), T_ADD           ; 55 +
        db high(k_token), low(k_token), T_SUB, high(k_token), low(k_token), T_SUB           ; 56 -
        db high(k_token), low(k_token), 0, high(k_token), low(k_token), 0                   ; 57 0
        db high(k_token), low(k_token), T_POINT, high(k_token), low(k_token), T_POINT       ; 58 .
        db high(k_sign), low(k_sign), 0, high(k_sign), low(k_sign), 0                       ; 59 +/-
        db high(k_token), low(k_token), T_PERCENT, high(k_token), low(k_token), T_PERCENT   ; 60 %
        db high(k_equals), low(k_equals), 0, high(k_equals), low(k_equals), 0               ; 61 =
        db high(k_unknown), low(k_unknown), 0, high(k_unknown), low(k_unknown), 0           ; 62 (F8)

; --------------------------------------------------------------------------------------------
; Small tables of the screen code.
; --------------------------------------------------------------------------------------------
sig_bytes:
        db 'V', 'S', 'C', '2'
draw_masks:                             ; the masks of draw_line, 8 bytes each
        db 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01
        db 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0
        db 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F
        db 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0
caret_masks:                            ; cell 0..3 of a group: the cursor's bit and byte
        db 0x80, 0, 0x02, 0, 0x08, 1, 0x20, 2

; --------------------------------------------------------------------------------------------
; The character set, read through area 0 by draw_line (font.asm follows).
; --------------------------------------------------------------------------------------------
        org 0x2000
