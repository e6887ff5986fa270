
; ============================================================================================
; text.asm: the text area and the screen. The screen is always drawn from the text area
; (TEXT, 8 lines of 12 ASCII characters), so the text area is what the screen shows.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; render: rebuilds the text area from the calculator state and draws the screen.
; Takes r40..r48 and the number records. Clobbers A, registers of format_a and draw_text,
; ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
render:
        cal clear_text
        ldw ix, msg_title
        ldw iy, TEXT_TITLE - 1
        cal put_str
        tsb r43, 0
        jmp nz, rn_error
        tsb r40, OP_NONE
        jmp z, rn_main
        ldw iy, ACC_REC                 ; the pending first operand and its operator
        cal load_a
        cal format_a
        ldw iy, TEXT_PENDING + LAST_COL
        cal put_fmt_right
        ldw iy, TEXT_OPERATOR + LAST_COL - 1
        st (iy+1), r40
rn_main:
        tsb r41, 0
        jmp z, rn_value
        cal format_entry
        jmp rn_put
rn_value:
        ldw iy, X_REC
        cal load_a
        cal format_a
rn_put:
        ldw iy, TEXT_MAIN + LAST_COL
        cal put_fmt_right
        jmp rn_status
rn_error:
        ldw ix, msg_error
        ldw iy, TEXT_MAIN + COLUMNS - ERROR_LEN - 1
        cal put_str
rn_status:
        ldw iy, MEM_REC
        cal load_a
        tadm r64..r71, 0
        jmp z, rn_key
        ld r84, 'M'
        ldw iy, TEXT_STATUS + STATUS_M_COL - 1
        st (iy+1), r84
rn_key:
        tsb r44, 0
        jmp z, rn_draw
        cal show_key_code
rn_draw:
        cal draw_text
        jmp cursor_restart

; --------------------------------------------------------------------------------------------
; clear_text: fills the text area with spaces. Clobbers r84, r85, iy, f.
; --------------------------------------------------------------------------------------------
clear_text:
        ldw iy, TEXT - 1
        ld r84, ' '
        ld r85, TEXT_SIZE
ct_loop:
        st +(iy), r84
        sb r85, 1
        jmp nz, ct_loop
        rtn

; --------------------------------------------------------------------------------------------
; put_str: copies a message from external memory into RAM.
; Takes ix = the message (a length byte, then the characters), iy = destination - 1.
; Returns iy = the last byte written. Clobbers r24, ix.
; --------------------------------------------------------------------------------------------
put_str:
        ld r24, (ix+0)
        bup r24
        rtn

; --------------------------------------------------------------------------------------------
; put_fmt_right: copies the formatted text (FMT_BUF, r90 characters, 1..12) so that it ends
; at iy. Takes iy = the last text cell of the field. Clobbers r90, ix, iy.
; --------------------------------------------------------------------------------------------
put_fmt_right:
        sbw iy, r90
        ldw ix, FMT_BUF - 1
        pst ds, DS_RAM
        bup r90
        pst ds, DS_MAIN
        rtn

; --------------------------------------------------------------------------------------------
; format_entry: FMT_BUF := the open entry as typed, "-" in front when negative, "0" when
; empty; r90 := its length. Clobbers r84, ix, iy, f.
; --------------------------------------------------------------------------------------------
format_entry:
        ldw iy, FMT_BUF - 1
        tsb r46, 0
        jmp z, fe_body
        ld r84, '-'
        st +(iy), r84
fe_body:
        tsb r45, 0
        jmp nz, fe_copy
        ld r84, '0'
        st +(iy), r84
        jmp fmt_length
fe_copy:
        ldw ix, ENT_CHARS - 1
        ld r84, r45
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
fmt_length:
        ld r90, r57                     ; iy low - (FMT_BUF - 1) low: FMT_BUF stays in a page
        sb r90, low(FMT_BUF - 1)
        rtn

; --------------------------------------------------------------------------------------------
; format_a: FMT_BUF := the finished number A in plain decimal notation, at most 12
; characters: "-" when negative, the integer digits, a point and the fraction digits without
; trailing zeros; below 1 "0." and the leading zeros. When the sign and the leading zeros
; leave no room for 10 digits, the digits are rounded to the room left; r90 := the length.
; Clobbers A, r16, r17, r24, r84, r87, r91, iy, f.
; --------------------------------------------------------------------------------------------
format_a:
        ldw iy, FMT_BUF - 1
        tadm r64..r71, 0
        jmp z, fa_zero
        tsb r80, EXP_BIAS + 1
        jmp nc, fa_integer
        ld r16, r80                     ; room for digits: E - 118 - sign
        sb r16, EXP_BIAS - DIGITS
        jmp c, fa_zero
        sb r16, r81
        jmp c, fa_zero
        jmp z, fa_zero
        tsb r16, DIGITS
        jmp nc, fa_fraction
        cal round_digits
        tsb r80, EXP_BIAS + 1           ; rounded up to 1?
        jmp nc, fa_integer
fa_fraction:
        cal fa_sign
        ld r84, '0'
        st +(iy), r84
        ld r84, '.'
        st +(iy), r84
        ld r17, EXP_BIAS                ; leading zeros: -e
        sb r17, r80
        jmp z, fa_digits
        ld r84, '0'
fa_zeros:
        st +(iy), r84
        sb r17, 1
        jmp nz, fa_zeros
fa_digits:
        cal fa_digit
        sb r16, 1
        jmp nz, fa_digits
        jmp fa_strip
fa_integer:
        cal fa_sign
        ld r17, r80                     ; integer digits: e
        sb r17, EXP_BIAS
        ld r16, DIGITS
        ld r87, 0                       ; no point yet
fa_int_digit:
        cal fa_digit
        sb r16, 1
        jmp z, fa_end
        sb r17, 1
        jmp nz, fa_int_digit
        ld r84, '.'
        st +(iy), r84
        ld r87, 1
        jmp fa_int_digit
fa_end:
        tsb r87, 0
        jmp z, fmt_length
fa_strip:
        ld r24, (iy+0)                  ; drop trailing zeros, then a bare point
        tsb r24, '0'
        jmp nz, fa_point
        sbw iy, 1
        jmp fa_strip
fa_point:
        tsb r24, '.'
        jmp nz, fmt_length
        sbw iy, 1
        jmp fmt_length
fa_zero:
        ld r84, '0'
        st +(iy), r84
        jmp fmt_length

; fa_sign: writes "-" at iy when A is negative. fa_digit: writes the first digit of A and
; moves the mantissa up a digit. Both take iy = the last byte written and move it on.
fa_sign:
        tsb r81, 0
        rtn z
        ld r84, '-'
        st +(iy), r84
        rtn
fa_digit:
        ld r24, r71
        did r24
        ad r24, '0'
        st +(iy), r24
        dium r64..r71
        rtn

; --------------------------------------------------------------------------------------------
; draw_text: draws all 96 characters of the text area into the display RAM from the font.
; Character c of line l, dot row k, goes to DISPLAY + 96 l + 12 k + c.
; Clobbers r26..r29, r88, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
draw_text:
        ldw iz, TEXT
        ldw iy, DISPLAY - 1
        ld r26, LINES
dt_line:
        ld r27, COLUMNS
dt_cell:
        pst ds, DS_RAM                  ; iz reads the text area
        ld r28, (iz)+
        pst ds, DS_MAIN                 ; ix reads the font
        sb r28, CHAR_FIRST
        jmp c, dt_other
        tsb r28, CHAR_COUNT
        jmp c, dt_glyph
dt_other:
        ld r28, '?' - CHAR_FIRST
dt_glyph:
        ld r29, 0                       ; ix := font + 8 x glyph
        bium r28..r29
        bium r28..r29
        bium r28..r29
        ldw ix, font
        adw ix, r28
        ad r120, r29
        ld r88, (ix)+                   ; dot rows 0..7 at iy + 1 + 12 k
        st (iy+1), r88
        ld r88, (ix)+
        st (iy+13), r88
        ld r88, (ix)+
        st (iy+25), r88
        ld r88, (ix)+
        st (iy+37), r88
        ld r88, (ix)+
        st (iy+49), r88
        ld r88, (ix)+
        st (iy+61), r88
        ld r88, (ix)+
        st (iy+73), r88
        ld r88, (ix)+
        st (iy+85), r88
        adw iy, 1
        sb r27, 1
        jmp nz, dt_cell
        adw iy, LINE_BYTES - COLUMNS
        sb r26, 1
        jmp nz, dt_line
        rtn

; --------------------------------------------------------------------------------------------
; clear_display: fills the display RAM with 0 (all dots light). Clobbers A, r84, iy, f.
; --------------------------------------------------------------------------------------------
clear_display:
        ldm r64..r71, 0
        ldw iy, DISPLAY - 1
        ld r84, DISPLAY_CHUNKS
cd_loop:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, cd_loop
        rtn
