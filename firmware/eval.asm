
; ============================================================================================
; eval.asm: the evaluator (external memory). It reads a list of tokens from left to right,
; keeping the numbers on a value stack (VSTACK) and the operators that wait for their right
; operand on an operator stack (OSTACK): an operator first works out those on the stack
; that bind at least as tightly (all binary operators are left-associative), then waits
; itself. Prefix operators (functions, the negative sign) wait like binary ones; operators
; written after their operand (x^2, 1/x, n!, %) work at once on the value before them. A
; value after a value (2pi, 3(4), 2sin30) multiplies. Brackets left open close at the end.
;
; Inputs (EV_BASE): EV_LEN tokens at EV_PTR. Outputs: A = the value (finished) or r49 = an
; error code with EV_ERRPOS = the token where it was found; EV_FRACTION = 1 when the
; expression holds a fraction. The variable X is the record REC_X.
; Clobbers everything but the state registers r40..r48, r50, r51.
; ============================================================================================

evaluate:
        ldw iy, EV_BASE
        ld r84, 0
        st (iy+EV_INDEX), r84
        st (iy+EV_VSP), r84
        st (iy+EV_OSP), r84
        st (iy+EV_FRACTION), r84
        st (iy+EV_ERRPOS), r84
        ld r84, 1
        st (iy+EV_EXPECT), r84
        ld r49, ERR_NONE
ev_loop:
        cal ev_peek                     ; r38 := the token, r84 := its class
        tsb r38, 0xFF
        jmp z, ev_end
        ldw iy, EV_BASE
        ld r85, (iy+EV_EXPECT)
        tsb r85, 0
        jmp z, ev_operator
        ; --- an operand is expected
        tsb r84, C_VALUE
        jmp c, ev_literal
        jmp z, ev_value
        tsb r84, C_OPEN
        jmp z, ev_wait
        tsb r84, C_PREFIX
        jmp z, ev_wait
        tsb r84, C_BINARY
        jmp nz, ev_syntax
        tsb r38, T_ADD                  ; a sign: + does nothing, - is the negative sign
        jmp z, ev_skip
        tsb r38, T_SUB
        jmp nz, ev_syntax
        ld r38, T_NEG
ev_wait:
        cal op_push
        tsb r49, ERR_NONE
        jmp nz, ev_stop
ev_skip:
        cal ev_next
        jmp ev_loop
ev_literal:
        cal parse_literal
        jmp ev_operand
ev_value:
        cal value_of
        cal ev_next
ev_operand:
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        cal val_push
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        ldw iy, EV_BASE
        ld r84, 0
        st (iy+EV_EXPECT), r84
        jmp ev_loop

        ; --- an operator is expected
ev_operator:
        tsb r84, C_BINARY
        jmp z, ev_binary
        tsb r84, C_POSTFIX
        jmp z, ev_postfix
        tsb r84, C_CLOSE
        jmp z, ev_close
        tsb r84, C_OPEN + 1             ; a number, a value or a bracket: times
        jmp c, ev_times
        tsb r84, C_PREFIX
        jmp nz, ev_syntax
        tsb r38, T_NEG
        jmp z, ev_syntax
ev_times:
        ld r38, T_MUL
        cal ev_reduce_for
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        ld r38, T_MUL
        cal op_push
        jmp ev_expect
ev_binary:
        cal ev_reduce_for
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        cal ev_peek
        cal op_push
        cal ev_next
ev_expect:
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        ldw iy, EV_BASE
        ld r84, 1
        st (iy+EV_EXPECT), r84
        jmp ev_loop
ev_postfix:
        cal tok_info_ix
        ld r88, (ix+2)
        ld r24, (ix+3)
        cal val_pop_a
        cal call_handler
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        cal finish
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        cal ev_peek
        tsb r38, T_PERCENT
        jmp nz, ev_post_push
        or r81, 2                       ; the value came from %
ev_post_push:
        cal val_push
        cal ev_next
        jmp ev_loop
ev_close:
        ld r84, P_ADD
        cal reduce
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        tsb r84, 0
        jmp z, ev_syntax                ; no bracket open
        cal op_pop
        cal ev_next
        jmp ev_loop

ev_end:
        ldw iy, EV_BASE
        ld r85, (iy+EV_EXPECT)
        tsb r85, 0
        jmp nz, ev_syntax               ; empty, or an operator waits for its operand
ev_end_reduce:
        ld r84, P_ADD
        cal reduce
        tsb r49, ERR_NONE
        jmp nz, ev_stop
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        tsb r84, 0
        jmp z, ev_result
        cal op_pop                      ; a bracket left open closes here
        jmp ev_end_reduce
ev_result:
        cal val_pop_a
        jmp finish

ev_syntax:
        ld r49, ERR_SYNTAX
ev_stop:
        ldw iy, EV_BASE
        ld r84, (iy+EV_INDEX)
        st (iy+EV_ERRPOS), r84
        rtn

; --------------------------------------------------------------------------------------------
; ev_peek: r38 := the token at EV_INDEX and r84 := its class (both 0xFF past the end).
; ev_next: EV_INDEX moves on. Both clobber r34, iy, ix, f.
; --------------------------------------------------------------------------------------------
ev_peek:
        ldw iy, EV_BASE
        ld r38, (iy+EV_INDEX)
        ld r84, (iy+EV_LEN)
        tsb r38, r84
        jmp c, ep_token
        ld r38, 0xFF
        ld r84, 0xFF
        rtn
ep_token:
        ld r34, (iy+EV_PTR_HI)
        ld r84, (iy+EV_PTR_LO)
        ld r121, r34
        ld r57, r84
        adw iy, r38
        ld r38, (iy+0)
        cal tok_info_ix
        ld r84, (ix+0)
        rtn

ev_next:
        ldw iy, EV_BASE
        ld r34, (iy+EV_INDEX)
        ad r34, 1
        st (iy+EV_INDEX), r34
        rtn

; --------------------------------------------------------------------------------------------
; ev_reduce_for: works out the waiting operators that bind at least as tightly as the
; operator r38. reduce: works out the waiting operators of precedence r84 and more, down to
; an open bracket. Both stop on an error (r49).
; --------------------------------------------------------------------------------------------
ev_reduce_for:
        cal tok_info_ix
        ld r84, (ix+1)
reduce:
        ldw iy, EV_BASE
        st (iy+EV_MINPREC), r84
rd_loop:
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        tsb r84, 0
        rtn z
        cal op_top
        tsb r38, T_OPEN
        rtn z
        cal tok_info_ix
        ld r84, (ix+1)
        ldw iy, EV_BASE
        ld r34, (iy+EV_MINPREC)
        tsb r84, r34
        rtn c
        cal apply_top
        tsb r49, ERR_NONE
        rtn nz
        jmp rd_loop

; --------------------------------------------------------------------------------------------
; apply_top: takes the operator off the top of the operator stack and works it out on the
; values on top of the value stack. The right operand of + and - that came from % is a
; percentage of the left one (200+10% is 220).
; --------------------------------------------------------------------------------------------
apply_top:
        cal op_pop
        ldw iy, EV_BASE
        ld r84, r38
        st (iy+EV_OP), r84
        cal tok_info_ix
        ld r84, (ix+0)
        ld r88, (ix+2)
        ld r24, (ix+3)
        tsb r84, C_BINARY
        jmp nz, at_unary
        cal val_pop_b
        cal val_pop_a
        tan r33, 2
        jmp z, at_binary
        an r33, 1
        ldw iy, EV_BASE
        ld r84, (iy+EV_OP)
        tsb r84, T_ADD
        jmp z, at_percent
        tsb r84, T_SUB
        jmp nz, at_binary
at_percent:
        ldw iy, REC_T9                  ; B := A x B
        cal store_a
        cal fmul
        cal copy_a_to_b
        ldw iy, REC_T9
        cal load_a
at_binary:
        an r33, 1
        cal call_handler
        jmp at_finish
at_unary:
        cal val_pop_a
        cal call_handler
at_finish:
        tsb r49, ERR_NONE
        rtn nz
        cal finish
        tsb r49, ERR_NONE
        rtn nz
        jmp val_push

; call_handler: calls the routine at r88:r24 (it returns to our caller).
call_handler:
        ijmp r88, r24

; --------------------------------------------------------------------------------------------
; The stacks. val_push: A onto the value stack (r49 := ERR_STACK when full). val_pop_a,
; val_pop_b: the top value into A (the % mark taken off) or B (the mark kept in r33 bit 1).
; op_push: the token r38 onto the operator stack; op_pop, op_top: r38 := the top token,
; taken off or left. They clobber r34, r84, iy, f.
; --------------------------------------------------------------------------------------------
val_push:
        ldw iy, EV_BASE
        ld r84, (iy+EV_VSP)
        tsb r84, VSTACK_MAX
        jmp nc, stack_full
        ad r84, 1
        st (iy+EV_VSP), r84
        sb r84, 1
        cal val_iy
        jmp store_a
stack_full:
        ld r49, ERR_STACK
        rtn

val_pop_a:
        cal val_pop_iy
        cal load_a
        an r81, 1
        rtn

val_pop_b:
        cal val_pop_iy
        jmp load_b

val_pop_iy:
        ldw iy, EV_BASE
        ld r84, (iy+EV_VSP)
        sb r84, 1
        st (iy+EV_VSP), r84
val_iy:                                 ; iy := VSTACK + 10 r84
        ldw iy, VSTACK
vi_loop:
        tsb r84, 0
        rtn z
        adw iy, REC_SIZE
        sb r84, 1
        jmp vi_loop

op_push:
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        tsb r84, OSTACK_MAX
        jmp nc, stack_full
        ad r84, 1
        st (iy+EV_OSP), r84
        ldw iy, OSTACK - 2
        adw iy, r84
        st (iy+1), r38
        rtn

op_pop:
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        sb r84, 1
        st (iy+EV_OSP), r84
        ldw iy, OSTACK
        adw iy, r84
        ld r38, (iy+0)
        rtn

op_top:
        ldw iy, EV_BASE
        ld r84, (iy+EV_OSP)
        ldw iy, OSTACK - 1
        adw iy, r84
        ld r38, (iy+0)
        rtn

; --------------------------------------------------------------------------------------------
; value_of: A := the value of the value token r38 (pi, e, ANS, M, M0..M9, X, Ran#).
; --------------------------------------------------------------------------------------------
value_of:
        tsb r38, T_PI
        jmp nz, vo_e
        ldw iz, c_pi
        jmp load_a_rom
vo_e:
        tsb r38, T_E
        jmp nz, vo_ans
        ldw iz, c_e
        jmp load_a_rom
vo_ans:
        ldw iy, REC_ANS
        tsb r38, T_ANS
        jmp z, load_a
        ldw iy, REC_M
        tsb r38, T_M
        jmp z, load_a
        ldw iy, REC_X
        tsb r38, T_X
        jmp z, load_a
        tsb r38, T_RAND
        jmp z, random
        ldw iy, REC_MEM                 ; M0..M9
        sb r38, T_MEM0
vo_mem:
        tsb r38, 0
        jmp z, load_a
        adw iy, REC_SIZE
        sb r38, 1
        jmp vo_mem

; --------------------------------------------------------------------------------------------
; random: A := the next number of the random generator, in [0, 1): the seed s becomes the
; fraction of 9821 s + 0.211327 (the generator is kept across runs).
; --------------------------------------------------------------------------------------------
random:
        ldw iy, RANDOM_SEED
        cal load_a
        ldw iz, c_9821
        cal load_b_rom
        cal fmul
        ldw iz, c_0211327
        cal load_b_rom
        cal fadd
        ldw iy, REC_T9
        cal store_a
        cal trunc_a
        cal copy_a_to_b
        ldw iy, REC_T9
        cal load_a
        cal fsub
        cal finish
        ldw iy, RANDOM_SEED
        jmp store_a

; --------------------------------------------------------------------------------------------
; parse_literal: A := the number written from token EV_INDEX on, which moves past it:
; digits with a point, then E and the exponent (a sign, 1 to 3 digits; E alone means 1E);
; or whole numbers joined by the fraction mark: a/b or a + b/c.
; --------------------------------------------------------------------------------------------
parse_literal:
        cal parse_decimal
        tsb r49, ERR_NONE
        rtn nz
        cal ev_peek
        tsb r38, T_FRAC
        jmp z, pl_fraction
        tsb r38, T_EXP
        jmp z, pl_exponent
        tsb r35, 0                      ; a point alone
        jmp z, pl_syntax
        jmp finish
pl_syntax:
        ld r49, ERR_SYNTAX
        rtn

pl_exponent:
        tsb r35, 0
        jmp nz, pl_mantissa
        tsb r85, 0
        jmp nz, pl_syntax
        cal one_a                       ; E5 is 1E5
pl_mantissa:
        ldw iy, REC_T7
        cal store_a
        cal ev_next
        ld r36, 0                       ; the exponent (binary r37:r36) and its sign
        ld r37, 0
        ld r87, 0
        cal ev_peek
        tsb r38, T_NEG
        jmp z, pl_minus
        tsb r38, T_SUB
        jmp z, pl_minus
        tsb r38, T_ADD
        jmp nz, pl_digits
        jmp pl_signed
pl_minus:
        ld r87, 1
pl_signed:
        cal ev_next
pl_digits:
        ld r86, 0                       ; digits read
pl_digit:
        cal ev_peek
        tsb r38, 10
        jmp nc, pl_exp_done
        ad r86, 1
        tsb r86, 4
        jmp nc, pl_exp_next             ; beyond 3 digits: more than any exponent needs
        bium r36..r37                   ; v := 10 v + the digit
        ldm r84..r85, r36..r37
        bium r36..r37
        bium r36..r37
        adm r36..r37, r84..r85
        ld r84, r38
        ad r36, r84
        adc r37, 0
pl_exp_next:
        cal ev_next
        jmp pl_digit
pl_exp_done:
        tsb r86, 0
        jmp z, pl_syntax
        tsb r86, 4
        jmp c, pl_apply
        ld r36, 0xE7                    ; 999
        ld r37, 0x03
pl_apply:
        ldw iy, REC_T7
        cal load_a
        tadm r64..r71, 0
        jmp z, pl_end
        tsb r87, 0
        jmp nz, pl_down
        ad r80, r36
        adc r37, 0
        tsb r37, 0
        jmp z, pl_end
        jmp f_overflow
pl_down:
        sb r80, r36
        adc r37, 0
        tsb r37, 0
        jmp nz, zero_a
pl_end:
        cal ev_peek                     ; nothing may follow an exponent but an operator
        tsb r84, C_FRAC + 1
        jmp c, pl_syntax
        jmp finish

pl_fraction:
        tsb r35, 0                      ; the whole number: digits, no point
        jmp z, pl_syntax
        tsb r85, 0
        jmp nz, pl_syntax
        ldw iy, EV_BASE
        ld r84, 1
        st (iy+EV_FRACTION), r84
        ldw iy, REC_T7
        cal store_a
        cal ev_next
        cal pl_part
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, REC_T8
        cal store_a
        cal ev_peek
        tsb r38, T_FRAC
        jmp z, pl_mixed
        cal copy_a_to_b                 ; a / b
        ldw iy, REC_T7
        cal load_a
        cal fdiv
        jmp pl_frac_end
pl_mixed:
        cal ev_next
        cal pl_part
        tsb r49, ERR_NONE
        rtn nz
        cal copy_a_to_b                 ; a + b / c
        ldw iy, REC_T8
        cal load_a
        cal fdiv
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, REC_T7
        cal load_b
        cal fadd
pl_frac_end:
        tsb r49, ERR_NONE
        rtn nz
        cal ev_peek
        tsb r84, C_FRAC + 1
        jmp c, pl_syntax
        jmp finish

; pl_part: A := a whole number of the fraction (digits, no point).
pl_part:
        cal parse_decimal
        tsb r49, ERR_NONE
        rtn nz
        tsb r35, 0
        jmp z, pl_syntax
        tsb r85, 0
        jmp nz, pl_syntax
        rtn

; --------------------------------------------------------------------------------------------
; parse_decimal: A := the digits and the point from token EV_INDEX on (EV_INDEX moves past
; them). Leading zeros only move the exponent; beyond 16 significant digits the digits are
; dropped. Returns r35 = 1 when a digit was read, r85 = 1 when a point was; a second point
; sets r49 := ERR_SYNTAX. Clobbers r34, r38, r84, r86, r87, ix, iy, f.
; --------------------------------------------------------------------------------------------
parse_decimal:
        cal zero_a
        ld r85, 0
        ld r86, 0
        ld r87, 0
        ld r35, 0
pd_loop:
        cal ev_peek
        tsb r38, T_POINT
        jmp z, pd_point
        tsb r38, 10
        jmp nc, pd_place
        ld r35, 1
        tsb r38, 0
        jmp nz, pd_significant
        tsb r87, 0
        jmp nz, pd_significant
        tsb r85, 0                      ; a leading zero: after the point it scales
        jmp z, pd_next
        sb r80, 1
        jmp pd_next
pd_significant:
        ld r87, 1
        tsb r86, MANT_DIGITS
        jmp nc, pd_dropped
        dium r64..r71
        or r64, r38
        ad r86, 1
pd_dropped:
        tsb r85, 0
        jmp nz, pd_next
        ad r80, 1
        jmp pd_next
pd_point:
        tsb r85, 0
        jmp z, pd_first_point
        ld r49, ERR_SYNTAX
        rtn
pd_first_point:
        ld r85, 1
pd_next:
        cal ev_next
        jmp pd_loop
pd_place:
        tsb r86, 0
        jmp z, zero_a
pd_up:
        tsb r86, MANT_DIGITS
        rtn nc
        dium r64..r71
        ad r86, 1
        jmp pd_up
