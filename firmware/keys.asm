
; ============================================================================================
; keys.asm: the key actions. Each takes r84 = key code and r85 = r50 = its table argument
; (r50 survives the calls, r85 does not), changes
; the calculator state (r40..r48 and the number records) and returns; render then redraws.
; They clobber the working registers (A, B, C, D, scratch), ix, iy and f.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; k_unknown: a key without a function: its code goes on the status line.
; --------------------------------------------------------------------------------------------
k_unknown:
        ld r44, r84
        rtn

; --------------------------------------------------------------------------------------------
; k_digit: appends the digit r85 (ASCII) to the entry, opening one if needed. A lone leading
; 0 is replaced; digits beyond MAX_ENTRY are ignored.
; --------------------------------------------------------------------------------------------
k_digit:
        tsb r43, 0
        rtn nz
        cal open_entry
        tsb r45, 1                      ; the entry is exactly "0"?
        jmp nz, kg_room
        ldw iy, ENT_CHARS
        ld r86, (iy+0)
        tsb r86, '0'
        jmp nz, kg_room
        ld r45, 0
        ld r47, 0
kg_room:
        tsb r47, MAX_ENTRY
        rtn nc
        cal entry_append
        ad r47, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_point: appends the decimal point ("0." on an empty entry); a second point is ignored.
; --------------------------------------------------------------------------------------------
k_point:
        tsb r43, 0
        rtn nz
        cal open_entry
        tsb r48, 0
        rtn nz
        tsb r45, 0
        jmp nz, kp_add
        ld r85, '0'
        cal entry_append
        ad r47, 1
kp_add:
        ld r85, '.'
        cal entry_append
        ld r48, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_delete: removes the last character of the open entry.
; --------------------------------------------------------------------------------------------
k_delete:
        tsb r43, 0
        rtn nz
        tsb r41, 0
        rtn z
        tsb r45, 0
        jmp z, kd_empty
        ldw iy, ENT_CHARS - 1
        adw iy, r45
        ld r86, (iy+0)
        sb r45, 1
        tsb r86, '.'
        jmp nz, kd_digit
        ld r48, 0
        jmp kd_left
kd_digit:
        sb r47, 1
kd_left:
        tsb r45, 0
        rtn nz
kd_empty:
        ld r46, 0
        rtn

; --------------------------------------------------------------------------------------------
; k_sign: the +/- key. Changes the sign of the open entry; right after an operator it opens
; an entry "-0"; otherwise it negates the value shown.
; --------------------------------------------------------------------------------------------
k_sign:
        tsb r43, 0
        rtn nz
        tsb r41, 0
        jmp z, ks_value
        xr r46, 1
        rtn
ks_value:
        tsb r40, OP_NONE
        jmp z, ks_negate
        tsb r42, 0
        jmp nz, ks_negate
        cal open_entry
        ld r46, 1
        rtn
ks_negate:
        ldw iy, X_REC
        cal load_a
        tadm r64..r71, 0
        jmp z, ks_keep
        xr r81, 1
ks_keep:
        ldw iy, X_REC
        cal store_a
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_operator: + - x / (r85 = OP_ADD, OP_SUB, OP_MUL, OP_DIV). Works out the pending
; operation if a new operand was given (left to right, no precedence), then waits for the
; next operand. Two operators in a row: the second one counts.
; --------------------------------------------------------------------------------------------
k_operator:
        tsb r43, 0
        rtn nz
        cal close_entry
        tsb r42, 0
        jmp z, ko_set
        tsb r40, OP_NONE
        jmp z, ko_first
        cal eval_pending
        tsb r43, 0
        rtn nz
        jmp ko_set
ko_first:
        ldw iy, X_REC                   ; ACC := X
        cal load_a
        ldw iy, ACC_REC
        cal store_a
ko_set:
        ld r85, r50
        ld r40, r85
        ld r42, 0
        jmp show_acc

; --------------------------------------------------------------------------------------------
; k_equals: works out the pending operation; without a new operand the first operand is
; used again (5 + = gives 10).
; --------------------------------------------------------------------------------------------
k_equals:
        tsb r43, 0
        rtn nz
        cal close_entry
        tsb r40, OP_NONE
        jmp z, ke_done
        cal eval_pending
        tsb r43, 0
        rtn nz
        ld r40, OP_NONE
        cal show_acc
ke_done:
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_percent: x % alone is x / 100; a + x % and a - x % add or take x percent of a;
; a x x % is a x x / 100; a / x % is a / x x 100. Ends the calculation like =.
; --------------------------------------------------------------------------------------------
k_percent:
        tsb r43, 0
        rtn nz
        cal close_entry
        ld r84, r40
        tsb r84, OP_NONE
        jmp nz, kc_pending
        ldw iy, X_REC                   ; x / 100
        cal load_a
        cal div100
        jmp store_x_checked
kc_pending:
        ldw iy, ACC_REC
        cal load_a
        ldw iy, X_REC
        cal load_b
        tsb r84, OP_DIV
        jmp nz, kc_times
        cal calc_op                     ; a / x x 100
        cal mul100
        jmp kc_result
kc_times:
        ld r84, OP_MUL                  ; a x x / 100
        cal calc_op
        cal div100
        tsb r40, OP_MUL
        jmp z, kc_result
        cal finish                      ; a +- (a x x / 100)
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, X_REC
        cal store_a
        cal eval_pending
        tsb r43, 0
        rtn nz
        jmp kc_done
kc_result:
        cal finish
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, ACC_REC
        cal store_a
kc_done:
        ld r40, OP_NONE
        ld r42, 1
        jmp show_acc

; --------------------------------------------------------------------------------------------
; k_function: a function of the value shown: r85 = OP_SQRT, OP_SQUARE or OP_RECIP.
; --------------------------------------------------------------------------------------------
k_function:
        tsb r43, 0
        rtn nz
        cal close_entry
        ldw iy, X_REC
        cal load_a
        ld r84, r50
        cal calc_op
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, X_REC
        cal store_a
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; k_clear: AC. Clears the calculation, the ERROR and the status line; the memory stays.
; --------------------------------------------------------------------------------------------
k_clear:
        ld r40, OP_NONE
        ld r42, 0
        ld r43, 0
        ld r44, 0
        cal zero_a
        ldw iy, ACC_REC
        cal store_a
        ldw iy, X_REC
        cal store_a
        ld r41, 0
        jmp open_entry

; --------------------------------------------------------------------------------------------
; k_off: switches the calculator off; AC wakes it, and it starts again from reset.
; --------------------------------------------------------------------------------------------
k_off:
        off

; --------------------------------------------------------------------------------------------
; Memory keys. k_mem_clear: M := 0. k_mem_recall: shows M. k_mem_add: M := M + x or
; M - x (r85 = OP_ADD or OP_SUB), x the value shown.
; --------------------------------------------------------------------------------------------
k_mem_clear:
        cal zero_a
        ldw iy, MEM_REC
        jmp store_a

k_mem_recall:
        tsb r43, 0
        rtn nz
        ldw iy, MEM_REC
        cal load_a
        ldw iy, X_REC
        cal store_a
        ld r41, 0
        ld r42, 1
        rtn

k_mem_add:
        tsb r43, 0
        rtn nz
        cal close_entry
        ldw iy, MEM_REC
        cal load_a
        ldw iy, X_REC
        cal load_b
        ld r84, r50
        cal calc_op
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, MEM_REC
        cal store_a
        ld r42, 1
        rtn

; ============================================================================================
; Helpers of the key actions
; ============================================================================================

; --------------------------------------------------------------------------------------------
; open_entry: opens an empty entry unless one is open. Takes/changes r41, r45..r48.
; --------------------------------------------------------------------------------------------
open_entry:
        tsb r41, 0
        rtn nz
        ld r41, 1
        ld r45, 0
        ld r46, 0
        ld r47, 0
        ld r48, 0
        rtn

; --------------------------------------------------------------------------------------------
; entry_append: appends the character r85 to the entry. Changes r45. Clobbers iy.
; --------------------------------------------------------------------------------------------
entry_append:
        ldw iy, ENT_CHARS - 1
        adw iy, r45
        st +(iy), r85
        ad r45, 1
        rtn

; --------------------------------------------------------------------------------------------
; close_entry: if an entry is open, its value becomes X and counts as a new operand (r42).
; Also clears the arithmetic error r49 for the action that follows. Clobbers A, iy, r49, scratch, f.
; --------------------------------------------------------------------------------------------
close_entry:
        ld r49, 0
        tsb r41, 0
        rtn z
        cal parse_entry
        cal finish
        ldw iy, X_REC
        cal store_a
        ld r41, 0
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; eval_pending: ACC := ACC (op r40) X, and X := the result; an error shows ERROR instead.
; Clobbers A, B, C, D, iy, scratch, f.
; --------------------------------------------------------------------------------------------
eval_pending:
        ldw iy, ACC_REC
        cal load_a
        ldw iy, X_REC
        cal load_b
        ld r84, r40
        cal calc_op
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, ACC_REC
        cal store_a
        ldw iy, X_REC
        jmp store_a

; --------------------------------------------------------------------------------------------
; show_acc: X := ACC, so the main line shows the first operand or the result.
; Clobbers A, iy.
; --------------------------------------------------------------------------------------------
show_acc:
        ldw iy, ACC_REC
        cal load_a
        ldw iy, X_REC
        jmp store_a

; --------------------------------------------------------------------------------------------
; store_x_checked: finishes A; on an overflow shows ERROR, else X := A.
; --------------------------------------------------------------------------------------------
store_x_checked:
        cal finish
        tsb r49, 0
        jmp nz, enter_error
        ldw iy, X_REC
        cal store_a
        ld r42, 1
        rtn

; --------------------------------------------------------------------------------------------
; enter_error: ERROR until AC: no operation pending, no entry open.
; --------------------------------------------------------------------------------------------
enter_error:
        ld r43, 1
        ld r40, OP_NONE
        ld r41, 0
        ld r42, 0
        rtn
