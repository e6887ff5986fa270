
; ============================================================================================
; keys.asm: the key actions and the expression editor (external memory). Every action takes
; r84 = key code, r50 = its argument, r48 = SHIFT and r51 = HYP as they were before the key,
; changes the calculator state (r40..r47, the RAM state) and returns; render then redraws.
; They clobber the working registers, ix, iy, iz and f.
; ============================================================================================

        org 0x2400
; --------------------------------------------------------------------------------------------
; k_unknown: the key without a function (62, reached with F8): its code goes on line 6.
; k_off: switches the calculator off; AC wakes it, and it starts again from reset.
; --------------------------------------------------------------------------------------------
k_unknown:
        ld r44, r84
        rtn

k_off:
        off

; --------------------------------------------------------------------------------------------
; k_shift: SHIFT on or off for the next key (HYP stays). k_hyp: HYP on or off (SHIFT stays).
; --------------------------------------------------------------------------------------------
k_shift:
        tsb r48, 0
        jmp nz, ksh_hyp
        ld r41, 1
ksh_hyp:
        tsb r51, 0
        rtn z
        ld r42, 1
        rtn

k_hyp:
        tsb r48, 0                      ; SHIFT stays for the next key
        jmp z, khy_toggle
        ld r41, 1
khy_toggle:
        tsb r51, 0
        rtn nz
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_trig: sin, cos, tan (r50 = 0..2) or after SHIFT their inverses (3..5); with HYP the
; hyperbolic ones.
; --------------------------------------------------------------------------------------------
k_trig:
        ad r50, T_SIN
        tsb r51, 0
        jmp z, k_token
        ad r50, 6
        ; falls into k_token

; --------------------------------------------------------------------------------------------
; k_token: puts the token r50 into the expression at the cursor. After a result a new
; expression starts; one that starts with an operator (binary or written after its
; operand) starts from ANS.
; --------------------------------------------------------------------------------------------
k_token:
        ld r84, r50
        ld r38, r84
        cal tok_info_ix
        ld r87, (ix+0)                  ; the class
        tsb r40, ST_RESULT
        jmp nz, kt_edit
        cal new_expr
        jmp kt_start
kt_edit:
        tsb r45, 0
        jmp nz, kt_insert
kt_start:
        tsb r87, C_BINARY
        jmp z, kt_ans
        tsb r87, C_POSTFIX
        jmp nz, kt_insert
kt_ans:
        ld r84, T_ANS
        cal insert_token
kt_insert:
        ld r40, ST_EDIT
        ld r84, r50
        jmp insert_token

; --------------------------------------------------------------------------------------------
; new_expr: an empty expression being edited. Clobbers r84, iy.
; --------------------------------------------------------------------------------------------
new_expr:
        ld r40, ST_EDIT
        ld r45, 0
        ld r46, 0
        ld r47, 0
hist_forget:
        ldw iy, HIST_POS - 1
        ld r84, 0xFF
        st (iy+1), r84
        rtn

; --------------------------------------------------------------------------------------------
; insert_token: puts token r84 at the cursor and moves the cursor past it; a full
; expression (EXPR_MAX tokens) takes nothing. Clobbers r85, ix, iy, f.
; --------------------------------------------------------------------------------------------
insert_token:
        tsb r45, EXPR_MAX
        rtn nc
        ld r85, r45                     ; tokens after the cursor move up one
        sb r85, r46
        jmp z, ins_put
        ldw ix, EXPR
        adw ix, r45
        ldw iy, EXPR + 1
        adw iy, r45
        pst ds, DS_RAM
        bdn r85
        pst ds, DS_MAIN
ins_put:
        ldw iy, EXPR - 1
        adw iy, r46
        st (iy+1), r84
        ad r45, 1
        ad r46, 1
        rtn

; --------------------------------------------------------------------------------------------
; delete_before: removes the token before the cursor. Clobbers r85, ix, iy, f.
; --------------------------------------------------------------------------------------------
delete_before:
        tsb r46, 0
        rtn z
        ld r85, r45
        sb r85, r46
        jmp z, del_done
        ldw ix, EXPR - 1
        adw ix, r46
        ldw iy, EXPR - 2
        adw iy, r46
        pst ds, DS_RAM
        bup r85
        pst ds, DS_MAIN
del_done:
        sb r45, 1
        sb r46, 1
        rtn

; cursor_to_end: the cursor after the last token. Clobbers r84.
cursor_to_end:
        ld r84, r45
        ld r46, r84
        rtn

; --------------------------------------------------------------------------------------------
; k_del: DEL removes the token before the cursor. On a result it goes back to editing the
; expression; on an error to the token where the evaluation stopped.
; --------------------------------------------------------------------------------------------
k_del:
        tsb r40, ST_EDIT
        jmp z, delete_before
        tsb r40, ST_ERROR
        jmp z, kd_error
        ld r40, ST_EDIT
        jmp cursor_to_end
kd_error:
        ld r40, ST_EDIT
        ld r49, ERR_NONE
        ldw iy, EV_BASE
        ld r84, (iy+EV_ERRPOS)
        ld r46, r84
        tsb r45, r84
        rtn nc
        jmp cursor_to_end

; --------------------------------------------------------------------------------------------
; k_left, k_right: move the cursor. On a result they go back to editing, at the end (left)
; or at the start (right).
; --------------------------------------------------------------------------------------------
k_left:
        tsb r40, ST_EDIT
        jmp z, kl_move
        ld r40, ST_EDIT
        jmp cursor_to_end
kl_move:
        tsb r46, 0
        rtn z
        sb r46, 1
        rtn

k_right:
        tsb r40, ST_EDIT
        jmp z, kr_move
        ld r40, ST_EDIT
        ld r46, 0
        rtn
kr_move:
        ld r84, r46
        tsb r45, r84
        rtn z
        ad r46, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_up, k_down: recall the expressions of the history (newest first) for editing; down from
; the newest gives an empty expression.
; --------------------------------------------------------------------------------------------
k_up:
        ldw iy, HIST_POS - 1
        ld r84, (iy+1)
        ad r84, 1                       ; 0xFF (none) becomes 0, the newest
        ldw iy, HIST_COUNT - 1
        ld r34, (iy+1)
        tsb r84, r34
        rtn nc
        jmp hist_load

k_down:
        ldw iy, HIST_POS - 1
        ld r84, (iy+1)
        tsb r84, 0xFF
        rtn z
        tsb r84, 0
        jmp z, new_expr
        sb r84, 1
        ; falls into hist_load

; --------------------------------------------------------------------------------------------
; hist_load: the expression of history entry r84 (0 = newest) becomes the expression being
; edited, the cursor at its end. Clobbers r34, r84, r85, ix, iy, f.
; --------------------------------------------------------------------------------------------
hist_load:
        ldw iy, HIST_POS - 1
        st (iy+1), r84
        ldw iy, HIST_HEAD - 1
        ld r34, (iy+1)
        sb r34, r84
        an r34, HIST_SLOTS - 1
        cal hist_slot
        ld r84, (iy+1+H_LEN)
        ld r45, r84
        ld r46, r84
        ld r47, 0
        ld r40, ST_EDIT
        tsb r84, 0
        rtn z
        adw iy, H_TOKENS
        cal iy_to_ix
        ldw iy, EXPR - 1
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
        rtn

; --------------------------------------------------------------------------------------------
; hist_add: stores the expression, its error code, how its result is shown and the result A
; as the newest history entry; beyond HIST_SLOTS the oldest goes. Clobbers r34, r84, r85,
; ix, iy, f.
; --------------------------------------------------------------------------------------------
hist_add:
        ldw iy, EV_BASE
        ld r86, (iy+EV_FRACTION)
        ldw iy, HIST_COUNT - 1
        ld r84, (iy+1)
        ld r85, (iy+2)
        tsb r84, 0
        jmp z, ha_count
        ad r85, 1
        an r85, HIST_SLOTS - 1
ha_count:
        tsb r84, HIST_SLOTS
        jmp nc, ha_store
        ad r84, 1
ha_store:
        st (iy+1), r84
        st (iy+2), r85
        ld r34, r85
        cal hist_slot
        ld r84, r45
        st (iy+1+H_LEN), r84
        ld r84, r49
        st (iy+1+H_ERROR), r84
        st (iy+1+H_FORM), r86
        adw iy, 1+H_RESULT
        cal store_a
        tsb r45, 0
        rtn z
        ld r84, r45
        ldw ix, EXPR - 1
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
        rtn

; hist_slot: iy := the address of history slot r34 (0..15) minus 1. Clobbers r34, f.
hist_slot:
        ldw iy, HISTORY - 1
hsl_loop:
        tsb r34, 0
        rtn z
        adw iy, 64
        adw iy, 64
        sb r34, 1
        jmp hsl_loop

; iy_to_ix: ix := iy. Clobbers r34, r82.
iy_to_ix:
        ld r82, r57
        ld r56, r82
        ld r34, r121
        ld r120, r34
        rtn

; --------------------------------------------------------------------------------------------
; k_equals: works out the expression; the result becomes ANS (the one before PREANS) and
; the expression goes into the history. An empty expression does nothing.
; --------------------------------------------------------------------------------------------
k_equals:
        tsb r45, 0
        rtn z
        ld r49, ERR_NONE
        cal eval_expr
        cal hist_add
        cal hist_forget
        tsb r49, ERR_NONE
        jmp z, ke_done
        ld r40, ST_ERROR
        rtn
ke_done:
        cal set_ans
        ldw iy, EV_BASE
        ld r84, (iy+EV_FRACTION)
        ldw iy, SHOW_FORM - 1
        st (iy+1), r84
        ld r40, ST_RESULT
        rtn

; eval_expr: A := the value of the expression being edited (r49, EV_ERRPOS on an error).
eval_expr:
        ldw iy, EV_BASE
        ld r84, r45
        st (iy+EV_LEN), r84
        ld r84, high(EXPR)
        st (iy+EV_PTR_HI), r84
        ld r84, low(EXPR)
        st (iy+EV_PTR_LO), r84
        jmp evaluate

; set_ans: PREANS := ANS, ANS := A. Clobbers B, iy.
set_ans:
        ldw iy, REC_ANS
        cal load_b
        ldw iy, REC_PREANS
        cal store_b
        ldw iy, REC_ANS
        jmp store_a

; --------------------------------------------------------------------------------------------
; edit_done: when an expression is being edited, works it out as = does. Returns r49 (an
; error shows). Used by the keys that act on the value shown.
; shown_value: A := the value shown: ANS, or 0 after AC.
; --------------------------------------------------------------------------------------------
edit_done:
        ld r49, ERR_NONE
        tsb r40, ST_EDIT
        rtn nz
        tsb r45, 0
        rtn z
        jmp k_equals

shown_value:
        tsb r45, 0
        jmp z, zero_a
        ldw iy, REC_ANS
        jmp load_a

; --------------------------------------------------------------------------------------------
; k_clear: AC. An empty expression, 0 shown; clears an error, a prompt and the menu. The
; memories, ANS and the history stay.
; --------------------------------------------------------------------------------------------
k_clear:
        ld r40, ST_RESULT
        ld r43, PR_NONE
        ld r45, 0
        ld r46, 0
        ld r47, 0
        ld r49, ERR_NONE
        jmp hist_forget

; --------------------------------------------------------------------------------------------
; k_sign: +/-. On a result, works out -ANS. While editing, puts a negative sign in front of
; the number before the cursor, or takes it away; with no number there it writes one.
; --------------------------------------------------------------------------------------------
k_sign:
        tsb r40, ST_EDIT
        jmp z, ksg_edit
        tsb r45, 0
        jmp z, ksg_edit
        cal new_expr
        ld r84, T_NEG
        cal insert_token
        ld r84, T_ANS
        cal insert_token
        jmp k_equals
ksg_edit:
        ld r40, ST_EDIT
        ld r84, r46
        ld r36, r84                     ; back over the digits and the point
ksg_back:
        tsb r36, 0
        jmp z, ksg_found
        ldw iy, EXPR - 1
        adw iy, r36
        ld r84, (iy+0)
        tsb r84, T_POINT + 1
        jmp nc, ksg_found
        sb r36, 1
        jmp ksg_back
ksg_found:
        ld r86, r46                     ; the cursor's distance from there
        sb r86, r36
        ld r84, r36
        ld r46, r84
        tsb r36, 0
        jmp z, ksg_insert
        ldw iy, EXPR - 1
        adw iy, r36
        ld r84, (iy+0)
        tsb r84, T_NEG
        jmp nz, ksg_insert
        cal delete_before
        jmp ksg_cursor
ksg_insert:
        ld r84, T_NEG
        cal insert_token
ksg_cursor:
        ad r46, r86
        rtn

; --------------------------------------------------------------------------------------------
; k_mode: MODE cycles the number format NORM, FIX, SCI; after FIX and SCI a digit key sets
; n (any other key keeps the last n).
; prompt_digit: the digit r50 for the prompt r43 (MODE, STO or RCL).
; --------------------------------------------------------------------------------------------
k_mode:
        ldw iy, FORMAT - 1
        ld r84, (iy+1)
        ad r84, 1
        tsb r84, 3
        jmp c, km_set
        ld r84, 0
km_set:
        st (iy+1), r84
        tsb r84, 0
        rtn z
        ld r43, r84
        ad r43, PR_FIX - 1
        rtn

prompt_digit:
        ld r84, r43
        ld r43, PR_NONE
        tsb r84, PR_STO
        jmp z, pd_sto
        tsb r84, PR_RCL
        jmp z, pd_rcl
        ldw iy, FORMAT_N - 1
        ld r84, r50
        st (iy+1), r84
        rtn
pd_sto:
        cal shown_value
        cal mem_iy
        jmp store_a
pd_rcl:
        ad r50, T_MEM0
        jmp k_recall

; mem_iy: iy := the record of memory r50 (0..9). Clobbers r84, f.
mem_iy:
        ldw iy, REC_MEM
        ld r84, r50
mi_loop:
        tsb r84, 0
        rtn z
        adw iy, REC_SIZE
        sb r84, 1
        jmp mi_loop

; --------------------------------------------------------------------------------------------
; k_sto: STO then a digit key stores the value shown into M0..M9 (an expression being
; edited is worked out first). k_rcl: RCL then a digit key recalls it.
; k_recall: puts the value token r50 (M, M0..M9, Ran#) into the expression; as a new
; expression of its own it is worked out at once.
; --------------------------------------------------------------------------------------------
k_sto:
        cal edit_done
        tsb r49, ERR_NONE
        rtn nz
        ld r43, PR_STO
        rtn

k_rcl:
        ld r43, PR_RCL
        rtn

k_recall:
        tsb r40, ST_RESULT
        jmp z, krc_new
        tsb r45, 0
        jmp nz, k_token
krc_new:
        cal k_token
        jmp k_equals

; --------------------------------------------------------------------------------------------
; Memory M. k_mem_clear: M := 0. k_mem_add: M := M + x (r50 = 0) or M - x (r50 = 1), x the
; value shown (an expression being edited is worked out first).
; --------------------------------------------------------------------------------------------
k_mem_clear:
        cal zero_a
        ldw iy, REC_M
        jmp store_a

k_mem_add:
        cal edit_done
        tsb r49, ERR_NONE
        rtn nz
        cal shown_value
        cal copy_a_to_b
        tsb r50, 0
        jmp z, kma_add
        xr r33, 1
kma_add:
        ldw iy, REC_M
        cal load_a
        cal fadd
        cal finish
        tsb r49, ERR_NONE
        jmp nz, kma_error
        ldw iy, REC_M
        jmp store_a
kma_error:
        ld r40, ST_ERROR
        ldw iy, EV_BASE
        ld r84, 0
        st (iy+EV_ERRPOS), r84
        rtn

; --------------------------------------------------------------------------------------------
; k_swap: SWAP exchanges ANS and PREANS, the last two results, and shows the new ANS.
; --------------------------------------------------------------------------------------------
k_swap:
        ldw iy, REC_ANS
        cal load_a
        ldw iy, REC_PREANS
        cal load_b
        ldw iy, REC_ANS
        cal store_b
        ldw iy, REC_PREANS
        cal store_a
        cal new_expr
        ld r84, T_ANS
        cal insert_token
        ld r40, ST_RESULT
        ld r84, 0
        ldw iy, SHOW_FORM - 1
        st (iy+1), r84
        rtn

; --------------------------------------------------------------------------------------------
; k_drg: DRG cycles the angle unit degrees, radians, grads and converts the value shown.
; --------------------------------------------------------------------------------------------
k_drg:
        ldw iy, ANGLE - 1
        ld r84, (iy+1)
        ld r36, r84                     ; the old unit
        ad r84, 1
        tsb r84, 3
        jmp c, kdr_set
        ld r84, 0
kdr_set:
        st (iy+1), r84
        tsb r40, ST_RESULT
        rtn nz
        tsb r45, 0
        rtn z
        ldw iy, REC_ANS
        cal load_a
        ldw iz, c_deg_to_rad            ; degrees to radians, radians to grads, grads to
drg_table:                              ; degrees: one factor each
        tsb r36, 0
        jmp z, kdr_factor
        adw iz, REC_SIZE
        sb r36, 1
        jmp drg_table
kdr_factor:
        cal load_b_rom
        cal fmul
        cal finish
        tsb r49, ERR_NONE
        jmp nz, kma_error
        ldw iy, REC_ANS
        jmp store_a

; --------------------------------------------------------------------------------------------
; k_rnd: RND rounds the value shown (ANS) to what the number format shows.
; --------------------------------------------------------------------------------------------
k_rnd:
        cal edit_done
        tsb r49, ERR_NONE
        rtn nz
        tsb r45, 0
        rtn z
        ldw iy, REC_ANS
        cal load_a
        cal round_shown
        ldw iy, REC_ANS
        jmp store_a

; --------------------------------------------------------------------------------------------
; k_frac: a b/c. While editing it writes the fraction mark (3 a b/c 4 is three quarters,
; 1 a b/c 2 a b/c 3 is one and two thirds); on a result it turns the decimal into a fraction
; and back. k_improper: d/c shows the result as an improper fraction, or mixed again.
; --------------------------------------------------------------------------------------------
k_frac:
        tsb r40, ST_EDIT
        jmp z, kf_token
        tsb r45, 0
        jmp nz, kf_toggle
kf_token:
        ld r50, T_FRAC
        jmp k_token
kf_toggle:
        ldw iy, SHOW_FORM - 1
        ld r84, (iy+1)
        tsb r84, 0
        ld r84, 1
        jmp z, kf_set
        ld r84, 0
kf_set:
        st (iy+1), r84
        rtn

k_improper:
        tsb r40, ST_RESULT
        rtn nz
        tsb r45, 0
        rtn z
        ldw iy, SHOW_FORM - 1
        ld r84, (iy+1)
        tsb r84, 2
        ld r84, 2
        jmp nz, kf_set
        ld r84, 1
        jmp kf_set

; --------------------------------------------------------------------------------------------
; k_menu: opens the menu (menu.asm).
; --------------------------------------------------------------------------------------------
k_menu:
        ld r40, ST_MENU
        ld r84, 0
        ldw iy, MENU_ITEM - 1
        st (iy+1), r84                  ; MENU_ITEM
        st (iy+2), r84                  ; MENU_LEVEL
        st (iy+3), r84                  ; MENU_FIRST
        rtn
