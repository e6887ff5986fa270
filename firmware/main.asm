
; ============================================================================================
; main.asm: power-up, the idle loop, the timer interrupt, the cursor and the key dispatch
; ============================================================================================

        org 0
; --------------------------------------------------------------------------------------------
; reset: the processor starts here at power-up, after the power switch and after waking from
; off. The setup itself runs from external memory (power_up).
; --------------------------------------------------------------------------------------------
reset:
        pst ie, IE_OFF
        ldw sp, STACK_TOP
        pst ds, DS_MAIN
        jmp power_up

; --------------------------------------------------------------------------------------------
; main_loop: waits for a key with wai (woken by a key or by the timer interrupt), runs the
; key's action, redraws the screen, then waits until that key is up again. A key pressed
; meanwhile (while a long calculation ran) is the next one, not part of the wait.
; --------------------------------------------------------------------------------------------
main_loop:
        pst ky, KC_ALL
        jmp k, ml_key
        wai
        jmp main_loop
ml_key:
        cal scan_keys                   ; r84 := key code, 0 if it went away
        tsb r84, 0
        jmp z, main_loop
ml_run:
        ldw iy, KEY_DOWN - 1
        st (iy+1), r84
        cal pg_key                      ; a program being recorded takes the key (prgm.asm)
        tsb r39, 0
        cal nz, dispatch_key
        cal render
ml_release:
        pst ky, KC_ALL
        jmp nk, main_loop
        cal scan_keys
        tsb r84, 0
        jmp z, main_loop
        ldw iy, KEY_DOWN - 1
        ld r34, (iy+1)
        tsb r34, r84
        jmp nz, ml_run                  ; another key: the next one
        pst ky, KC_ALL
        wai
        jmp ml_release

; --------------------------------------------------------------------------------------------
; dispatch_key: runs the action of a key through the key table (external.asm): six bytes a
; key, the action and its argument, then the action after SHIFT and its argument.
; Takes r84 = key code 1..62. The action gets r84 = the code, r50 = the argument,
; r48 = SHIFT and r51 = HYP as they were before the key (both are cleared for it).
; Returns whatever the action returns. Clobbers everything the actions clobber, ix.
; --------------------------------------------------------------------------------------------
dispatch_key:
        ld r44, 0                       ; a new key clears the key code on the note line
        ld r82, r41                     ; (through an upper register)
        ld r48, r82
        ld r82, r42
        ld r51, r82
        ld r41, 0
        ld r42, 0
        tsb r40, ST_MENU
        jmp z, menu_key
        jmp gr_hook                     ; the graph's keys (graph.asm), then dk_keys
dk_keys:
        tsb r40, ST_ERROR
        jmp nz, dk_table
        tsb r84, 46                     ; an error waits for AC, DEL or OFF
        jmp z, dk_table
        tsb r84, 45
        jmp z, dk_table
        tsb r84, 3
        rtn nz
dk_table:
        ldw ix, key_actions
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        tsb r48, 0
        jmp z, dk_normal
        adw ix, 3
dk_normal:
        ld r88, (ix)+                   ; action high, low, argument
        ld r24, (ix)+
        ld r50, (ix)+
        tsb r43, PR_NONE                ; a prompt takes a digit; any other key cancels it
        jmp z, dk_go
        tsb r88, high(k_token)
        jmp nz, dk_cancel
        tsb r24, low(k_token)
        jmp nz, dk_cancel
        tsb r50, 10
        jmp c, prompt_digit
dk_cancel:
        ld r43, PR_NONE
dk_go:
        ijmp r88, r24                   ; the action returns to our caller

; --------------------------------------------------------------------------------------------
; isr_timer: interrupt source 3, the LCD timer, every TIMER_ROWS display rows. Every
; BLINK_TICKS interrupts it turns the cursor phase over and redraws the cursor.
; Takes nothing; changes only its own registers (f, DS and iy are saved).
; --------------------------------------------------------------------------------------------
isr_timer:
        gst r97, f
        gst r53, ds
        ld r96, r57                     ; iy low
        ld r52, r121                    ; iy high
        pst ds, DS_MAIN
        ad r98, 1
        tsb r98, BLINK_TICKS
        jmp c, it_done
        ld r98, 0
        xr r99, 1
        cal draw_caret
it_done:
        ld r57, r96
        ld r121, r52
        pst ds, r53
        pst f, r97
        rti

; --------------------------------------------------------------------------------------------
; draw_caret: the insertion cursor is the empty dot column on the left of a character cell,
; 8 dots high: bit r101 of 8 display bytes, 12 apart, from address r54:r102. It is dark when
; the cursor is enabled (r100) and in its visible phase (r99 bit 0), light otherwise. No
; glyph ever darkens that column, so clearing it leaves the characters as they are.
; Clobbers r55, iy, f.
; --------------------------------------------------------------------------------------------
draw_caret:
        tsb r101, 0
        rtn z
        ld r57, r102
        ld r121, r54
        ld r55, 8
dr_row:
        or (iy), r101
        tsb r100, 0
        jmp z, dr_clear
        tan r99, 1
        jmp nz, dr_next
dr_clear:
        xr (iy), r101
dr_next:
        adw iy, ROW_BYTES
        sb r55, 1
        jmp nz, dr_row
        rtn

; --------------------------------------------------------------------------------------------
; caret_restart: moves the cursor to cell r113 of text line r112 (r112 = 0xFF: no cursor)
; and shows it at once, in its visible phase with a fresh count. The old cursor is cleared.
; Clobbers r34..r36, r55, r84, r85, r99..r102, r54, iy, f.
; --------------------------------------------------------------------------------------------
caret_restart:
        pst ie, IE_MASKED
        ld r100, 0                      ; clear the old one
        cal draw_caret
        ld r101, 0
        tsb r112, LINES
        jmp nc, cs_done
        ld r34, r112                    ; address: DISPLAY + 96 line + 3 (col / 4) + offset
        ld r102, low(DISPLAY)
        ld r54, high(DISPLAY)
cs_line:
        tsb r34, 0
        jmp z, cs_col
        ad r102, LINE_BYTES
        adc r54, 0
        sb r34, 1
        jmp cs_line
cs_col:
        ld r35, r113
        ld r84, 0
cs_div:                                 ; r35 := col mod 4, r84 := 3 (col / 4)
        tsb r35, 4
        jmp c, cs_mod
        sb r35, 4
        ad r84, 3
        jmp cs_div
cs_mod:
        ld r36, r84
        ad r102, r36
        adc r54, 0
        ldw ix, caret_masks             ; bit and byte offset of each position in a group
        adw ix, r35
        adw ix, r35
        ld r101, (ix)+
        ld r36, (ix)+
        ad r102, r36
        adc r54, 0
        ld r100, 1
cs_done:
        ld r98, 0
        ld r99, 1
        cal draw_caret
        pst ie, IE_TIMER
        rtn
