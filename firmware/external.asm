
; ============================================================================================
; external.asm: code and data in external memory (from address 0x1800; data is read through
; area 0): the power-up setup, the key scan, the status line, the tables and the messages.
; ============================================================================================

        org 0x1800
; --------------------------------------------------------------------------------------------
; power_up: sets up the interrupt vector and the LCD controller, clears the display RAM,
; checks the memory M, clears the calculator and shows the title line and 0. Reached from
; reset with interrupts off, sp and DS set; ends in the main loop with the timer running.
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
        cal clear_display
        pst s6, LCD_ON_64
        cal check_memory
        ld r98, 0                       ; cursor: count, phase, disabled
        ld r99, 0
        ld r100, 0
        cal k_clear
        cal render
        pst ie, IE_TIMER
        jmp main_loop

; --------------------------------------------------------------------------------------------
; check_memory: keeps the memory M from the last run when its signature is there, else
; sets M := 0 and writes the signature. Clobbers A, r84, iy, f.
; --------------------------------------------------------------------------------------------
check_memory:
        ldw iy, MEM_SIG
        ld r84, (iy+0)
        tsb r84, SIG_BYTE0
        jmp nz, cm_reset
        ld r84, (iy+1)
        tsb r84, SIG_BYTE1
        jmp nz, cm_reset
        rtn
cm_reset:
        cal zero_a
        ldw iy, MEM_REC
        cal store_a
        ldw iy, MEM_SIG - 1
        ld r84, SIG_BYTE0
        st +(iy), r84
        ld r84, SIG_BYTE1
        st +(iy), r84
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
; show_key_code: writes "KEY nn" (nn = r44) at the end of the status line.
; Clobbers r24, r84, r85, ix, iy, f.
; --------------------------------------------------------------------------------------------
show_key_code:
        ldw ix, msg_key
        ldw iy, TEXT_STATUS + STATUS_KEY_COL - 1
        cal put_str
        ld r84, r44
        ld r85, '0'
sc_tens:
        tsb r84, 10
        jmp c, sc_units
        sb r84, 10
        ad r85, 1
        jmp sc_tens
sc_units:
        st +(iy), r85
        ad r84, '0'
        st +(iy), r84
        rtn

; --------------------------------------------------------------------------------------------
; Messages: a length byte, then the characters.
; --------------------------------------------------------------------------------------------
msg_title:
        db 12, 'V', 'E', 'L', 'M', 'O', 'R', 'A', ' ', 'C', 'A', 'L', 'C'
msg_error:
        db ERROR_LEN, 'E', 'R', 'R', 'O', 'R'
msg_key:
        db 4, 'K', 'E', 'Y', ' '

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
; key_actions: for every key code 0..62 the action (high, low byte) and its argument r85.
; The face legend of each key is in the comment; keys without a function show their code.
; --------------------------------------------------------------------------------------------
key_actions:
        db high(k_unknown), low(k_unknown), 0         ;  0 no key
        db high(k_unknown), low(k_unknown), 0         ;  1 minimise (the window's own)
        db high(k_unknown), low(k_unknown), 0         ;  2 close (the window's own)
        db high(k_off), low(k_off), 0         ;  3 OFF
        db high(k_unknown), low(k_unknown), 0         ;  4 SHIFT
        db high(k_unknown), low(k_unknown), 0         ;  5 MODE
        db high(k_unknown), low(k_unknown), 0         ;  6 left
        db high(k_unknown), low(k_unknown), 0         ;  7 up
        db high(k_unknown), low(k_unknown), 0         ;  8 down
        db high(k_unknown), low(k_unknown), 0         ;  9 right
        db high(k_unknown), low(k_unknown), 0         ; 10 sin
        db high(k_unknown), low(k_unknown), 0         ; 11 cos
        db high(k_unknown), low(k_unknown), 0         ; 12 tan
        db high(k_unknown), low(k_unknown), 0         ; 13 pi
        db high(k_unknown), low(k_unknown), 0         ; 14 log
        db high(k_unknown), low(k_unknown), 0         ; 15 ln
        db high(k_unknown), low(k_unknown), 0         ; 16 10^x
        db high(k_unknown), low(k_unknown), 0         ; 17 e^x
        db high(k_function), low(k_function), OP_SQUARE ; 18 x^2
        db high(k_function), low(k_function), OP_SQRT   ; 19 root
        db high(k_unknown), low(k_unknown), 0         ; 20 x^y
        db high(k_function), low(k_function), OP_RECIP  ; 21 1/x
        db high(k_unknown), low(k_unknown), 0         ; 22 (
        db high(k_unknown), low(k_unknown), 0         ; 23 )
        db high(k_unknown), low(k_unknown), 0         ; 24 n!
        db high(k_unknown), low(k_unknown), 0         ; 25 HYP
        db high(k_unknown), low(k_unknown), 0         ; 26 DRG
        db high(k_unknown), low(k_unknown), 0         ; 27 nPr
        db high(k_unknown), low(k_unknown), 0         ; 28 nCr
        db high(k_unknown), low(k_unknown), 0         ; 29 RND
        db high(k_unknown), low(k_unknown), 0         ; 30 MENU
        db high(k_unknown), low(k_unknown), 0         ; 31 ANS
        db high(k_unknown), low(k_unknown), 0         ; 32 SWAP
        db high(k_mem_clear), low(k_mem_clear), 0         ; 33 MC
        db high(k_mem_recall), low(k_mem_recall), 0         ; 34 MR
        db high(k_unknown), low(k_unknown), 0         ; 35 STO
        db high(k_mem_add), low(k_mem_add), OP_ADD    ; 36 M+
        db high(k_mem_add), low(k_mem_add), OP_SUB    ; 37 M-
        db high(k_unknown), low(k_unknown), 0         ; 38 RCL
        db high(k_unknown), low(k_unknown), 0         ; 39 a b/c
        db high(k_unknown), low(k_unknown), 0         ; 40 EXP
        db high(k_sign), low(k_sign), 0         ; 41 (-)
        db high(k_digit), low(k_digit), '7'       ; 42 7
        db high(k_digit), low(k_digit), '8'       ; 43 8
        db high(k_digit), low(k_digit), '9'       ; 44 9
        db high(k_delete), low(k_delete), 0         ; 45 DEL
        db high(k_clear), low(k_clear), 0         ; 46 AC
        db high(k_digit), low(k_digit), '4'       ; 47 4
        db high(k_digit), low(k_digit), '5'       ; 48 5
        db high(k_digit), low(k_digit), '6'       ; 49 6
        db high(k_operator), low(k_operator), OP_MUL    ; 50 x
        db high(k_operator), low(k_operator), OP_DIV    ; 51 /
        db high(k_digit), low(k_digit), '1'       ; 52 1
        db high(k_digit), low(k_digit), '2'       ; 53 2
        db high(k_digit), low(k_digit), '3'       ; 54 3
        db high(k_operator), low(k_operator), OP_ADD    ; 55 +
        db high(k_operator), low(k_operator), OP_SUB    ; 56 -
        db high(k_digit), low(k_digit), '0'       ; 57 0
        db high(k_point), low(k_point), 0         ; 58 .
        db high(k_sign), low(k_sign), 0         ; 59 +/-
        db high(k_percent), low(k_percent), 0         ; 60 %
        db high(k_equals), low(k_equals), 0         ; 61 =
        db high(k_unknown), low(k_unknown), 0         ; 62 test key (F8)

; --------------------------------------------------------------------------------------------
; The character set, read through area 0 by draw_text.
; --------------------------------------------------------------------------------------------
        org 0x2000
