
; ============================================================================================
; main.asm: power-up, the idle loop, the timer interrupt and the key dispatch
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
; key's action, redraws the screen, then waits until every key is up again.
; --------------------------------------------------------------------------------------------
main_loop:
        pst ky, KC_ALL
        jmp k, ml_key
        wai
        jmp main_loop
ml_key:
        cal scan_keys                   ; r84 := key code, 0 if it went away
        tsb r84, 0
        jmp z, ml_release
        cal dispatch_key
        cal render
ml_release:
        pst ky, KC_ALL
        jmp nk, main_loop
        wai
        jmp ml_release

; --------------------------------------------------------------------------------------------
; dispatch_key: runs the action of a key through the key table.
; Takes r84 = key code 1..62. The action gets r84 = the code and r85 = r50 = the table
; argument.
; Returns whatever the action returns. Clobbers everything the actions clobber, ix.
; --------------------------------------------------------------------------------------------
dispatch_key:
        ld r44, 0                       ; a new key clears the key code on the status line
        ldw ix, key_actions             ; 3 bytes a key: action high, action low, argument
        adw ix, r84
        adw ix, r84
        adw ix, r84
        ld r88, (ix)+
        ld r24, (ix)+
        ld r85, (ix)+
        ld r50, r85                     ; the argument again, where calls leave it alone
        ijmp r88, r24                   ; the action returns to our caller

; --------------------------------------------------------------------------------------------
; isr_timer: interrupt source 3, the LCD timer, every TIMER_ROWS display rows. Every
; BLINK_TICKS interrupts it turns the cursor phase over and redraws the cursor.
; Takes nothing; changes only its own registers r96..r101, r22, r23 (f, DS and iy are saved).
; --------------------------------------------------------------------------------------------
isr_timer:
        gst r97, f
        gst r23, ds
        ld r96, r57                     ; iy low
        ld r22, r121                    ; iy high
        pst ds, DS_MAIN
        ad r98, 1
        tsb r98, BLINK_TICKS
        jmp c, it_done
        ld r98, 0
        xr r99, 1
        cal draw_cursor
it_done:
        ld r57, r96
        ld r121, r22
        pst ds, r23
        pst f, r97
        rti

; --------------------------------------------------------------------------------------------
; draw_cursor: writes the cursor's dot row: dark when the cursor is enabled and in its
; visible phase, light otherwise.
; Takes r99 phase (bit 0), r100 enabled. Clobbers r101, iy, f.
; --------------------------------------------------------------------------------------------
draw_cursor:
        ld r101, CURSOR_OFF
        tsb r100, 0
        jmp z, dc_put
        tan r99, 1
        jmp z, dc_put
        ld r101, CURSOR_ON
dc_put:
        ldw iy, CURSOR_BYTE - 1
        st (iy+1), r101
        rtn

; --------------------------------------------------------------------------------------------
; cursor_restart: shows the cursor at once (visible phase, fresh count) if an entry is open
; and no ERROR is shown, else hides it. Takes r41, r43. Clobbers r101, iy, f.
; --------------------------------------------------------------------------------------------
cursor_restart:
        pst ie, IE_MASKED
        ld r100, 0
        tsb r43, 0
        jmp nz, cr_draw
        tsb r41, 0
        jmp z, cr_draw
        ld r100, 1
cr_draw:
        ld r98, 0
        ld r99, 1
        cal draw_cursor
        pst ie, IE_TIMER
        rtn
