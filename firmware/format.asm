
; ============================================================================================
; format.asm: what the text area shows (external memory): the status line, the expression
; wrapped over lines 1..5, the result or error word on line 7, and the number formats.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; build_text: fills the text area from the calculator state; r112, r113 := the line and cell
; of the cursor (r112 = 0xFF: none). Clobbers the working registers, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
build_text:
        cal fill_text
        cal status_text
        ld r112, 0xFF
        tsb r40, ST_MENU
        jmp z, menu_text
        cal expr_text
        tsb r44, 0
        jmp z, bt_result
        ldw ix, msg_key                 ; "KEY nn" at the end of line 6
        ldw iy, TEXT_NOTE + COLUMNS - 7
        cal put_msg
        ld r84, r44
        ld r85, '0'
bt_tens:
        tsb r84, 10
        jmp c, bt_units
        sb r84, 10
        ad r85, 1
        jmp bt_tens
bt_units:
        st +(iy), r85
        ad r84, '0'
        st +(iy), r84
bt_result:
        tsb r40, ST_ERROR
        jmp z, bt_error
        tsb r40, ST_RESULT
        rtn nz
        tsb r45, 0
        jmp nz, bt_value
        cal zero_a
        jmp bt_number
bt_value:
        ldw iy, REC_ANS
        cal load_a
        ldw iy, SHOW_FORM - 1
        ld r84, (iy+1)
        tsb r84, 0
        jmp z, bt_number
        cal fmt_fraction
        jmp put_result
bt_number:
        cal fmt_number
        jmp put_result
bt_error:
        ldw ix, err_words               ; 13 bytes a word: length, characters
        ld r84, r49
be_find:
        sb r84, 1
        jmp z, be_put
        adw ix, 13
        jmp be_find
be_put:
        ld r34, (ix+0)
        ldw iy, TEXT_RESULT + COLUMNS - 1
        sbw iy, r34
        jmp put_msg

; --------------------------------------------------------------------------------------------
; put_msg: copies a message (a length byte, then the characters) from ix in external memory
; into RAM after iy. Returns iy = the last byte written. Clobbers r34, ix.
; put_result: copies FMT_BUF (length r87) right-aligned into line 7. Clobbers r34, ix, iy.
; --------------------------------------------------------------------------------------------
put_msg:
        ld r34, (ix+0)
        tsb r34, 0
        rtn z
        bup r34
        rtn

put_result:
        ldw iy, TEXT_RESULT + COLUMNS - 1
        sbw iy, r87
        ldw ix, FMT_BUF - 1
        ld r34, r87
        pst ds, DS_RAM
        bup r34
        pst ds, DS_MAIN
        rtn

; --------------------------------------------------------------------------------------------
; status_text: line 0: S (SHIFT), H (HYP), the angle unit, the number format (a ? while MODE
; waits for its digit), STO or RCL while they wait for theirs, M when M is not 0.
; Clobbers A, r34, r84, r85, ix, iy, f.
; --------------------------------------------------------------------------------------------
status_text:
        ldw iy, TEXT_STATUS - 1
        tsb r41, 0
        jmp z, st_hyp
        ld r84, 'S'
        st (iy+1), r84
st_hyp:
        tsb r42, 0
        jmp z, st_angle
        ld r84, 'H'
        st (iy+2), r84
st_angle:
        ldw iy, ANGLE - 1
        ld r84, (iy+1)
        ldw ix, msg_units               ; 4 bytes a unit
        biu r84
        biu r84
        adw ix, r84
        ldw iy, TEXT_STATUS + 2
        cal put_msg
        ldw iy, FORMAT - 1
        ld r84, (iy+1)
        ld r85, (iy+2)                  ; n
        ldw ix, msg_formats             ; 5 bytes a format
st_format:
        tsb r84, 0
        jmp z, st_format_put
        adw ix, 5
        sb r84, 1
        jmp st_format
st_format_put:
        ldw iy, TEXT_STATUS + 6
        cal put_msg
        ldw iy, FORMAT - 1
        ld r84, (iy+1)
        tsb r84, 0
        jmp z, st_prompt
        ad r85, '0'
        tsb r43, PR_FIX
        jmp c, st_digit
        ld r85, '?'
st_digit:
        ldw iy, TEXT_STATUS + 9
        st (iy+1), r85
st_prompt:
        tsb r43, PR_STO
        jmp z, st_sto
        tsb r43, PR_RCL
        jmp nz, st_memory
        ldw ix, msg_rcl
        jmp st_put_prompt
st_sto:
        ldw ix, msg_sto
st_put_prompt:
        ldw iy, TEXT_STATUS + 11
        cal put_msg
st_memory:
        ldw iy, REC_M
        cal load_a
        tadm r64..r71, 0
        rtn z
        ldw iy, TEXT_STATUS + 14
        ld r84, 'M'
        st (iy+1), r84
        rtn

; --------------------------------------------------------------------------------------------
; expr_text: the expression on lines 1..5, wrapped every 16 characters; while editing, the
; lines shown follow the cursor (r47 = the first line shown), and r112, r113 := its cell.
; Clobbers r34..r39, r84..r87, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
expr_text:
        cal expand_expr
        ldw iy, CARET_CHAR - 1          ; the cursor's line r35 and cell r36
        ld r35, (iy+2)
        ld r36, (iy+2)
        an r36, COLUMNS - 1
        swp r35
        an r35, 0x0F
        ld r84, (iy+1)
        swp r84
        an r84, 0xF0
        or r35, r84                     ; line := char / 16 (below 4096 characters)
        tsb r40, ST_EDIT
        jmp nz, et_copy
        ld r84, r47                     ; scroll so that the cursor's line is shown
        tsb r35, r84
        jmp nc, et_below
        ld r84, r35
        ld r47, r84
        jmp et_caret
et_below:
        ld r85, r35
        sb r85, r47
        tsb r85, EXPR_LINES
        jmp c, et_caret
        ld r84, r35
        sb r84, EXPR_LINES - 1
        ld r47, r84
et_caret:
        ld r112, r35
        sb r112, r47
        ad r112, LINE_EXPR
        ld r113, r36
et_copy:
        ldw iy, EXPAND_LEN - 1          ; characters from the first line shown on
        ld r37, (iy+1)
        ld r36, (iy+2)
        ldw ix, EXPAND - 1
        ld r84, r47
ec_skip:
        tsb r84, 0
        jmp z, ec_count
        adw ix, COLUMNS
        sb r36, COLUMNS
        sbc r37, 0
        sb r84, 1
        jmp ec_skip
ec_count:
        tsb r37, 0x80
        rtn nc                          ; none left
        ld r84, EXPR_CHARS
        tsb r37, 0
        jmp nz, ec_copy
        tsb r36, EXPR_CHARS
        jmp nc, ec_copy
        ld r84, r36
        tsb r84, 0
        rtn z
ec_copy:
        ldw iy, TEXT_EXPR - 1
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
        rtn

; --------------------------------------------------------------------------------------------
; expand_expr: EXPAND := the characters of the expression's tokens; CARET_CHAR := the number
; of characters before the cursor, EXPAND_LEN := all of them (both binary, high byte first).
; Clobbers r35..r39, r84..r87, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
expand_expr:
        ldw iz, EXPR
        ldw iy, EXPAND - 1
        ld r35, 0                       ; token
        ld r36, 0                       ; characters (r37:r36)
        ld r37, 0
        ld r86, 0
        ld r87, 0
ee_loop:
        ld r84, r35
        tsb r46, r84
        jmp nz, ee_token
        ld r86, r36                     ; the cursor is here
        ld r87, r37
ee_token:
        tsb r45, r84
        jmp z, ee_done
        pst ds, DS_RAM
        ld r38, (iz)+
        pst ds, DS_MAIN
        cal tok_text_ix
        ld r84, (ix)+
ee_char:
        ld r85, (ix)+
        st +(iy), r85
        ad r36, 1
        adc r37, 0
        sb r84, 1
        jmp nz, ee_char
        ad r35, 1
        jmp ee_loop
ee_done:
        ldw iy, CARET_CHAR - 1
        st (iy+1), r87
        st (iy+2), r86
        st (iy+3), r37
        st (iy+4), r36
        rtn

; tok_info_ix: ix := the tok_info entry of token r38 (class, precedence, routine). Clobbers r84.
tok_info_ix:
        ld r84, r38
        biu r84
        biu r84
        ldw ix, tok_info
        adw ix, r84
        rtn

; tok_text_ix: ix := the tok_text entry of token r38 (a length, the characters).
; Clobbers r38, r39.
tok_text_ix:
        ld r39, 0
        bium r38..r39
        bium r38..r39
        bium r38..r39
        ldw ix, tok_text
        adw ix, r38
        ad r120, r39
        rtn

; --------------------------------------------------------------------------------------------
; fmt_number: FMT_BUF := the finished number A in the number format (NORM, FIX n, SCI n);
; r87 := its length (at most 16). NORM shows up to 10 significant digits without trailing
; zeros, in plain notation when that fits 16 characters with at most 4 zeros after the point
; and 10 integer digits, else as d.dddE+xx. FIX n shows n decimals (fewer when 10 digits
; would not do), SCI n shows n significant digits (SCI 0: 10).
; Clobbers A, C, r34..r37, r82, r84..r86, iy, f.
; --------------------------------------------------------------------------------------------
fmt_number:
        ldw iy, FORMAT - 1
        ld r85, (iy+1)
        ld r86, (iy+2)
        ldw iy, FMT_BUF - 1
        tsb r85, 1
        jmp z, fmt_fix
        tsb r85, 2
        jmp z, fmt_sci
fmt_norm:
        tadm r64..r71, 0
        jmp z, fm_zero
        ld r34, SHOW_DIGITS
        cal round_a
        cal sig_digits                  ; r35 := k
        tsb r80, EXP_BIAS + SHOW_DIGITS + 1
        jmp nc, fn_sci
        tsb r80, EXP_BIAS - 4
        jmp c, fn_sci
        tsb r80, EXP_BIAS + 1
        jmp nc, fn_plain
        ld r36, r80                     ; below 1: sign + 2 + zeros + k must fit
        ld r84, EXP_BIAS + 2
        ad r84, r35
        tsb r81, 0
        jmp z, fn_length
        ad r84, 1
fn_length:
        sb r84, r36
        tsb r84, COLUMNS + 1
        jmp nc, fn_sci
fn_plain:
        cal fm_sign
        tsb r80, EXP_BIAS + 1
        jmp c, fn_small
        ld r36, r80
        sb r36, EXP_BIAS                ; e integer digits
fn_int:
        cal fm_digit
        sb r35, 1
        sb r36, 1
        jmp nz, fn_int
        tsb r35, 0x80
        jmp nc, fm_done                 ; all the digits were integer digits
        tsb r35, 0
        jmp z, fm_done
        cal fm_point
fn_frac:
        cal fm_digit
        sb r35, 1
        jmp nz, fn_frac
        jmp fm_done
fn_small:
        ld r84, '0'
        st +(iy), r84
        cal fm_point
        ld r36, EXP_BIAS
        sb r36, r80                     ; zeros after the point
        jmp z, fn_digits
        ld r84, '0'
fn_zeros:
        st +(iy), r84
        sb r36, 1
        jmp nz, fn_zeros
fn_digits:
        cal fm_digit
        sb r35, 1
        jmp nz, fn_digits
        jmp fm_done
fn_sci:
        cal fm_sign
        cal fm_digit
        sb r35, 1
        jmp z, fn_exp
        cal fm_point
fn_mant:
        cal fm_digit
        sb r35, 1
        jmp nz, fn_mant
fn_exp:
        cal fm_exponent
fm_done:
        ld r87, r57
        sb r87, low(FMT_BUF - 1)
        rtn
fm_zero:
        ld r84, '0'
        st +(iy), r84
        jmp fm_done

; fmt_fix: FIX n (r86 = n).
fmt_fix:
        tsb r80, EXP_BIAS + SHOW_DIGITS + 1
        jmp nc, fmt_norm                ; 10^10 and more: as NORM shows it
        cal fix_round                   ; r35 := the decimals shown
        cal fm_sign
        tsb r80, EXP_BIAS + 1
        jmp c, ff_small
        ld r36, r80
        sb r36, EXP_BIAS
ff_int:
        cal fm_digit
        sb r36, 1
        jmp nz, ff_int
        jmp ff_decimals
ff_small:
        ld r84, '0'
        st +(iy), r84
ff_decimals:
        tsb r35, 0
        jmp z, fm_done
        cal fm_point
        ld r36, EXP_BIAS                ; zeros after the point: -e, at most all of them
        sb r36, r80
        jmp c, ff_digits
ff_zeros:
        tsb r36, 0
        jmp z, ff_digits
        ld r84, '0'
        st +(iy), r84
        sb r36, 1
        sb r35, 1
        jmp nz, ff_zeros
        jmp fm_done
ff_digits:
        cal fm_digit
        sb r35, 1
        jmp nz, ff_digits
        jmp fm_done

; fix_round: rounds A to the n = r86 decimals FIX shows (fewer when more than 10 digits
; would be needed); r35 := the decimals shown. A becomes 0 or one unit of the last decimal
; when it is below that. Clobbers C, r34, r36, r82, f.
fix_round:
        ld r35, r86
        ld r36, r80
        sb r36, EXP_BIAS                ; e (signed)
        jmp c, fr_keep
        ld r84, SHOW_DIGITS             ; decimals := min(n, 10 - e)
        sb r84, r36
        tsb r35, r84
        jmp c, fr_keep
        ld r35, r84
fr_keep:
        tadm r64..r71, 0
        rtn z
        ld r84, r35                     ; digits kept: e + decimals
        ad r84, r36
        jmp z, fr_half
        tsb r84, 0x80
        jmp nc, zero_a
        ld r34, r84
        jmp round_a
fr_half:                                ; below one unit of the last decimal: 0 or 1 unit
        tsb r71, 0x50
        jmp c, zero_a
        ldm r64..r71, 0
        ld r71, 0x10
        ad r80, 1
        rtn

; fmt_sci: SCI n (r86 = n, 0 for 10).
fmt_sci:
        ld r35, r86
        tsb r35, 0
        jmp nz, fs_digits
        ld r35, SHOW_DIGITS
fs_digits:
        tadm r64..r71, 0
        jmp nz, fs_round
        ld r80, EXP_BIAS + 1            ; 0 shows E+00
        jmp fs_write
fs_round:
        ld r84, r35
        ld r34, r84
        cal round_a
fs_write:
        cal fm_sign
        cal fm_digit
        sb r35, 1
        jmp z, fn_exp
        cal fm_point
fs_mant:
        cal fm_digit
        sb r35, 1
        jmp nz, fs_mant
        jmp fn_exp

; --------------------------------------------------------------------------------------------
; round_shown: rounds A to what the number format shows (RND). Clobbers C, r34..r36, r82,
; r84..r86, f.
; --------------------------------------------------------------------------------------------
round_shown:
        tadm r64..r71, 0
        rtn z
        ldw iy, FORMAT - 1
        ld r85, (iy+1)
        ld r86, (iy+2)
        tsb r85, 1
        jmp z, rs_fix
        ld r34, SHOW_DIGITS
        tsb r85, 2
        jmp nz, round_a
        tsb r86, 0
        jmp z, round_a
        ld r34, r86
        jmp round_a
rs_fix:
        tsb r80, EXP_BIAS + SHOW_DIGITS + 1
        jmp nc, rs_ten
        cal fix_round
        jmp norm_a
rs_ten:
        ld r34, SHOW_DIGITS
        jmp round_a

; --------------------------------------------------------------------------------------------
; The pieces of a number: fm_sign writes "-" when A is negative; fm_digit writes the first
; digit of A and moves the mantissa up a digit; fm_point writes "."; fm_exponent writes
; E, the sign and two digits of the exponent of d.ddd (three for 100, where a number just
; below 1E+100 rounds to). All take iy = the last byte written
; and move it on. sig_digits: r35 := the significant digits of A (without trailing zeros).
; --------------------------------------------------------------------------------------------
fm_sign:
        tsb r81, 0
        rtn z
        ld r84, '-'
        st +(iy), r84
        rtn

fm_digit:
        ld r37, r71
        swp r37
        an r37, 0x0F
        ad r37, '0'
        st +(iy), r37
        dium r64..r71
        rtn

fm_point:
        ld r84, '.'
        st +(iy), r84
        rtn

fm_exponent:
        ld r84, 'E'
        st +(iy), r84
        ld r36, r80
        sb r36, EXP_BIAS + 1
        ld r84, '+'
        jmp nc, fe_sign
        cmp r36
        ld r84, '-'
fe_sign:
        st +(iy), r84
        tsb r36, 100                    ; 9.9999999996E+99 rounds to 1E+100 on the display
        jmp c, fe_two
        ld r84, '1'
        st +(iy), r84
        sb r36, 100
fe_two:
        ld r84, '0'
fe_tens:
        tsb r36, 10
        jmp c, fe_units
        sb r36, 10
        ad r84, 1
        jmp fe_tens
fe_units:
        st +(iy), r84
        ld r84, r36
        ad r84, '0'
        st +(iy), r84
        rtn

sig_digits:
        ldm r8..r15, r64..r71
        ld r35, MANT_DIGITS
sd_trail:
        tan r8, 0x0F
        rtn nz
        didm r15..r8
        sb r35, 1
        jmp sd_trail

; --------------------------------------------------------------------------------------------
; fmt_fraction: FMT_BUF := A as a fraction, r87 := its length: "w⌟n⌟d" (SHOW_FORM 1, a
; mixed number) or "n⌟d" (2, improper); a whole number alone. The fraction is the first
; convergent of A's continued fraction within 1E-12 of it, with d at most 99999; when there
; is none, or it needs more than 16 characters, A is shown as fmt_number shows it.
; Clobbers A..C, T0..T8, r34..r38, r82, r84..r87, iy, f.
; --------------------------------------------------------------------------------------------
fmt_fraction:
        ldw iy, REC_T0
        cal store_a                     ; A as it is, for the fallback
        ld r38, r81                     ; the sign
        ld r81, 0
        ldw iy, REC_T1
        cal store_a                     ; v := x := |A|
        ldw iy, REC_T8
        cal store_a
        cal zero_a
        ldw iy, REC_T3
        cal store_a                     ; h'' := 0
        ldw iy, REC_T4
        cal store_a                     ; k' := 0
        cal one_a
        ldw iy, REC_T2
        cal store_a                     ; h' := 1
        ldw iy, REC_T5
        cal store_a                     ; k'' := 1
        ld r36, 24                      ; steps at most
ff_step:
        ldw iy, REC_T1
        cal load_a
        cal floor_a                     ; a := floor v
        ldw iy, REC_T6
        cal store_a
        ldw iy, REC_T2                  ; h := a h' + h''
        cal load_b
        cal fmul
        ldw iy, REC_T3
        cal load_b
        cal fadd
        ldw iy, REC_T7
        cal store_a                     ; (h kept in T7 for now)
        ldw iy, REC_T2
        cal load_b
        ldw iy, REC_T3
        cal store_b                     ; h'' := h'
        ldw iy, REC_T2
        cal store_a                     ; h' := h
        tsb r80, EXP_BIAS + SHOW_DIGITS + 1
        jmp nc, ff_none                 ; 10^10 and more
        ldw iy, REC_T6                  ; k := a k' + k''
        cal load_a
        ldw iy, REC_T4
        cal load_b
        cal fmul
        ldw iy, REC_T5
        cal load_b
        cal fadd
        ldw iy, REC_T4
        cal load_b
        ldw iy, REC_T5
        cal store_b                     ; k'' := k'
        ldw iy, REC_T4
        cal store_a                     ; k' := k
        tsb r80, EXP_BIAS + 6
        jmp nc, ff_none                 ; 100000 and more
        cal copy_a_to_b                 ; close enough: |h / k - x| <= x 1E-12
        ldw iy, REC_T2
        cal load_a
        cal fdiv
        ldw iy, REC_T8
        cal load_b
        cal fsub
        tadm r64..r71, 0
        jmp z, ff_found
        ld r34, r80
        ad r34, 13
        ldw iy, REC_T8
        ld r84, (iy+8)
        tsb r34, r84
        jmp c, ff_found
        ldw iy, REC_T6                  ; v := 1 / (v - a)
        cal load_b
        ldw iy, REC_T1
        cal load_a
        cal fsub
        tadm r64..r71, 0
        jmp z, ff_found
        cal copy_a_to_b
        cal one_a
        cal fdiv
        ldw iy, REC_T1
        cal store_a
        sb r36, 1
        jmp nz, ff_step
ff_none:
        ldw iy, REC_T0
        cal load_a
        jmp fmt_number
ff_found:                               ; h / k in T2 / T4; r86: the last byte written
        ld r86, low(FMT_BUF - 1)
        tsb r38, 0
        jmp z, ff_form
        ld r84, '-'
        cal ff_put
ff_form:
        ldw iy, SHOW_FORM - 1
        ld r84, (iy+1)
        tsb r84, 2
        jmp z, ff_improper
        ldw iy, REC_T2                  ; w := floor(h / k), n := h - w k
        cal load_a
        ldw iy, REC_T4
        cal load_b
        cal fdiv
        cal floor_a
        ldw iy, REC_T6
        cal store_a
        ldw iy, REC_T4
        cal load_b
        cal fmul
        cal copy_a_to_b
        ldw iy, REC_T2
        cal load_a
        cal fsub
        ldw iy, REC_T2
        cal store_a                     ; the numerator left
        ldw iy, REC_T6
        cal load_a
        tadm r64..r71, 0
        jmp z, ff_improper              ; below 1: n/d alone
        cal ff_whole
        ldw iy, REC_T2
        cal load_a
        tadm r64..r71, 0
        jmp z, ff_end                   ; a whole number
        ld r84, CH_FRAC
        cal ff_put
ff_improper:
        ldw iy, REC_T4                  ; d = 1: a whole number
        cal load_a
        cal one_b
        cal fcmp
        tsb r82, 0
        jmp z, ff_numerator
        ldw iy, REC_T2
        cal load_a
        cal ff_whole
        ld r84, CH_FRAC
        cal ff_put
        ldw iy, REC_T4
        cal load_a
        cal ff_whole
ff_end:
        ld r34, r86
        sb r34, low(FMT_BUF - 1)
        ld r87, r34
        tsb r34, COLUMNS + 1
        rtn c
        jmp ff_none
ff_numerator:
        ldw iy, REC_T2
        cal load_a
        cal ff_whole
        jmp ff_end

; ff_put: writes the character r84 after byte r86 of the buffer (FMT_BUF's page).
; ff_whole: writes the whole number A (0 .. 9999999999) there. Both move r86 on.
ff_put:
        ldw iy, FMT_BUF
        ld r57, r86
        st +(iy), r84
        ld r86, r57
        rtn
ff_whole:
        ldw iy, FMT_BUF
        ld r57, r86
        tadm r64..r71, 0
        jmp nz, fw_digits
        ld r84, '0'
        st +(iy), r84
        ld r86, r57
        rtn
fw_digits:
        ld r36, r80
        sb r36, EXP_BIAS
fw_digit:
        cal fm_digit
        sb r36, 1
        jmp nz, fw_digit
        ld r86, r57
        rtn
