
; ============================================================================================
; prgm.asm: keystroke programs P1..P4 (external memory, after graph.asm).
;
; SHIFT MODE (PRGM) then 1..4 records the keys that follow into that program, as they work
; out their calculation; SHIFT = while recording is a pause; SHIFT MODE again ends the
; recording. SHIFT 1..4 (or MENU 8) runs a program: its keys are worked as if typed; at a
; pause it waits for the user to type and press =; AC stops it. MENU 8 also lists a program
; for editing: up and down move the marker, DEL deletes the step marked, any other key is
; put in before it (SHIFT then = a pause), AC ends.
; A program is up to PG_MAX key codes (0xFE: the pause), kept in RAM with the graph's state.
; ============================================================================================

ST_PEDIT        equ 5                   ; r40: a program listed for editing
PG_PROGS        equ 0x1500              ; P1..P4: 256 bytes each, the length then the codes
PG_MAX          equ 254
PG_PAUSE        equ 0xFE                ; the code of the pause
PG_REC          equ 0x14F0              ; not kept: the program recorded (1..4), 0 none
PG_RUN          equ 0x14F1              ; the program running or paused (1..4), 0 none
PG_PC           equ 0x14F2              ; its next step
PG_PAUSED       equ 0x14F3              ; 1 while it waits at a pause
PG_ASK          equ 0x14F4              ; 1 while SHIFT MODE waits for the program's digit
PG_EDIT         equ 0x14F5              ; the program listed (1..4)
PG_CUR          equ 0x14F6              ; the step marked
PG_TOP          equ 0x14F7              ; the first step listed
PG_LINES        equ 5                   ; steps listed at a time, lines 2..6

; pg_reset: no program running, recorded or listed. pg_clear_all: P1..P4 empty.
; Clobbers r34, iy.
pg_reset:
        ldw iy, PG_REC - 1
        ld r34, 0
        st +(iy), r34                   ; PG_REC
        st +(iy), r34                   ; PG_RUN
        st +(iy), r34                   ; PG_PC
        st +(iy), r34                   ; PG_PAUSED
        st +(iy), r34                   ; PG_ASK
        rtn

pg_clear_all:
        ld r34, 0
        ldw iy, PG_PROGS - 1
        st (iy+1), r34
        ldw iy, PG_PROGS + 0x100 - 1
        st (iy+1), r34
        ldw iy, PG_PROGS + 0x200 - 1
        st (iy+1), r34
        ldw iy, PG_PROGS + 0x300 - 1
        st (iy+1), r34
        rtn

; pg_prog_iy: iy := the program r34 (1..4) minus 1: (iy+1) its length, (iy+2).. its codes.
; Clobbers r34.
pg_prog_iy:
        ldw iy, PG_PROGS - 1
        sb r34, 1
        ad r121, r34
        rtn

; --------------------------------------------------------------------------------------------
; pg_key: called by the main loop with every key pressed (r84, kept). While a program is
; recorded the key goes into it. Returns r39 = 1 when the key is then worked as usual, 0
; when it was taken (SHIFT =, the pause). Clobbers r34..r36, r85, iy, f.
; --------------------------------------------------------------------------------------------
pg_key:
        ld r39, 1
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        tsb r34, 0
        rtn z
        tsb r41, 0                      ; SHIFT before this key
        jmp z, pk_add
        tsb r84, 5                      ; SHIFT MODE ends the recording: the SHIFT goes
        jmp z, pg_drop_shift
        tsb r84, 61
        jmp nz, pk_add
        cal pg_drop_shift               ; SHIFT =: a pause
        ld r41, 0
        ld r39, 0
        ld r85, PG_PAUSE
        jmp pg_append
pk_add:
        ld r34, r84
        ld r85, r34
        ; falls into pg_append

; pg_append: the code r85 at the end of the program recorded (a full one takes nothing).
pg_append:
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        cal pg_prog_iy
        ld r35, (iy+1)
        tsb r35, PG_MAX
        rtn nc
        ld r86, r35
        ad r86, 1
        st (iy+1), r86
        adw iy, r35
        st (iy+2), r85
        rtn

; pg_drop_shift: a SHIFT at the end of the program recorded goes.
pg_drop_shift:
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        cal pg_prog_iy
        ld r35, (iy+1)
        tsb r35, 0
        rtn z
        ld r85, r35
        adw iy, r35
        ld r36, (iy+1)
        tsb r36, 4
        rtn nz
        sb r85, 1
        sbw iy, r35
        st (iy+1), r85
        rtn

; --------------------------------------------------------------------------------------------
; k_prgm: SHIFT MODE: ends a recording, or asks for the program to record (1..4).
; k_run: SHIFT 1..4 (r50): runs that program; while one is recorded or runs, the digit.
; --------------------------------------------------------------------------------------------
k_prgm:
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, kp_ask
        ld r34, 0
        st (iy+1), r34
        rtn
kp_ask:
        ld r34, (iy+2)                  ; PG_RUN: not while a program runs
        tsb r34, 0
        rtn nz
        ld r34, 1
        st (iy+5), r34                  ; PG_ASK
        rtn

k_run:
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        ld r84, (iy+2)
        or r34, r84
        jmp nz, k_token
        ld r84, r50
        ld r34, r84
        ; falls into pg_start

; pg_start: runs program r34 (1..4); an empty one does nothing, and so does a program started
; by a running one (programs do not nest).
pg_start:
        ld r84, r34
        ldw iy, PG_RUN - 1
        ld r34, (iy+1)
        tsb r34, 0
        rtn nz
        ld r34, r84
        cal pg_prog_iy
        ld r35, (iy+1)
        tsb r35, 0
        rtn z
        ldw iy, PG_RUN - 1
        st (iy+1), r84                  ; PG_RUN
        ld r34, 0
        st (iy+2), r34                  ; PG_PC
        st (iy+3), r34                  ; PG_PAUSED
        ; falls into pg_continue

; pg_continue: works the program's keys from PG_PC on, until its end or a pause; AC down
; between two keys stops it (and is then taken as the next key).
pg_continue:
        pst ky, 0xC0                    ; the line of AC: KI bit 0
        gst r34, ky
        an r34, 1
        jmp nz, pg_stop
        ldw iy, PG_RUN - 1
        ld r34, (iy+1)
        ld r36, (iy+2)                  ; PG_PC
        ld r84, r36
        ad r84, 1
        st (iy+2), r84
        cal pg_prog_iy
        ld r35, (iy+1)
        ld r84, r36
        tsb r35, r84
        jmp z, pg_stop                  ; the end
        jmp c, pg_stop
        adw iy, r36
        ld r84, (iy+2)
        tsb r84, PG_PAUSE
        jmp z, pg_pause
        tsb r84, 0
        jmp z, pg_continue
        tsb r84, 63
        jmp nc, pg_continue             ; (no such key)
        cal dispatch_key
        jmp pg_continue
pg_pause:
        ldw iy, PG_PAUSED - 1
        ld r34, 1
        st (iy+1), r34
        rtn

pg_stop:
        ldw iy, PG_RUN - 1
        ld r34, 0
        st (iy+1), r34
        st (iy+3), r34                  ; PG_PAUSED
        rtn

; --------------------------------------------------------------------------------------------
; pg_hook: the programs' keys, called by gr_hook before anything else (r84 = the key).
; Returns to gr_hook's pg_back for the keys it leaves.
; --------------------------------------------------------------------------------------------
pg_hook:
        tsb r40, ST_PEDIT
        jmp z, pe_key
        ldw iy, PG_ASK - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp nz, pg_ask_key
        ldw iy, PG_PAUSED - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, pg_back
        tsb r84, 61                     ; = goes on
        jmp nz, ph_ac
        ld r34, 0
        st (iy+1), r34
        jmp pg_continue
ph_ac:
        tsb r84, 46                     ; AC stops, then clears as usual
        jmp nz, pg_back
        cal pg_stop
        ld r84, 46
        jmp pg_back

pg_ask_key:                             ; the digit of the program to record
        ld r34, 0
        st (iy+1), r34
        cal key_digit
        tsb r86, 1
        rtn c
        tsb r86, 5
        rtn nc
        ld r34, r86
        ldw iy, PG_REC - 1
        st (iy+1), r34
        cal pg_prog_iy
        ld r34, 0
        st (iy+1), r34                  ; the program starts empty
        jmp k_clear

; --------------------------------------------------------------------------------------------
; The menu's items: m_programs opens the programs' menu; m_prog_run runs program r50,
; m_prog_edit lists it for editing.
; --------------------------------------------------------------------------------------------
m_programs:
        ld r34, MENU_PROGRAMS
        ld r35, 0
        jmp menu_open

m_prog_run:                             ; from the menu: from a cleared calculator, as after AC
        cal k_clear
        ld r84, r50
        ld r34, r84
        jmp pg_start

m_prog_edit:
        ld r40, ST_PEDIT
        ld r84, r50
        ldw iy, PG_EDIT - 1
        st (iy+1), r84
        ld r34, 0
        st (iy+2), r34                  ; PG_CUR
        st (iy+3), r34                  ; PG_TOP
        rtn

; --------------------------------------------------------------------------------------------
; pe_key: a key while a program is listed.
; --------------------------------------------------------------------------------------------
pe_key:
        tsb r84, 46
        jmp z, k_clear                  ; AC: back to the calculator
        ldw iy, PG_EDIT - 1
        ld r34, (iy+1)
        ld r36, (iy+2)                  ; the step marked
        cal pg_prog_iy
        ld r35, (iy+1)                  ; the length
        tsb r84, 7
        jmp z, pe_up
        tsb r84, 8
        jmp z, pe_down
        tsb r84, 45
        jmp z, pe_delete
        ; any other key goes in before the step marked; = after a SHIFT makes it a pause
        tsb r84, 61
        jmp nz, pe_insert
        tsb r36, 0
        jmp z, pe_insert
        adw iy, r36
        ld r85, (iy+1)                  ; the step before the marker
        tsb r85, 4
        jmp nz, pe_insert_again
        ld r85, PG_PAUSE
        st (iy+1), r85
        rtn
pe_insert_again:
        sbw iy, r36
pe_insert:
        tsb r35, PG_MAX
        rtn nc
        ld r85, r35
        ad r85, 1
        st (iy+1), r85                  ; one more
        ld r85, r35
        sb r85, r36                     ; the steps after the marker move up one
        jmp z, pe_put
        cal iy_to_ix
        adw ix, r35
        adw ix, 2                       ; one past the last code ...
        adw iy, r35
        adw iy, 3                       ; ... and one past where it goes
        pst ds, DS_RAM
        bdn r85
        pst ds, DS_MAIN
        ldw iy, PG_EDIT - 1
        ld r34, (iy+1)
        cal pg_prog_iy
pe_put:
        adw iy, r36
        st (iy+2), r84
        ad r36, 1
        jmp pe_mark
pe_up:
        tsb r36, 0
        rtn z
        sb r36, 1
        jmp pe_mark
pe_down:
        ld r84, r36
        tsb r35, r84
        rtn z
        ad r36, 1
        jmp pe_mark
pe_delete:
        ld r84, r36
        tsb r35, r84
        rtn z                           ; at the end: nothing to delete
        ld r85, r35
        sb r85, 1
        st (iy+1), r85                  ; one fewer
        sb r85, r36                     ; the steps after the one marked move down one
        jmp z, pe_mark
        adw iy, r36
        adw iy, 1
        cal iy_to_ix
        adw ix, 1
        pst ds, DS_RAM
        bup r85
        pst ds, DS_MAIN
        ; falls into pe_mark

; pe_mark: PG_CUR := r36, PG_TOP moved so that it is listed.
pe_mark:
        ldw iy, PG_CUR - 1
        st (iy+1), r36
        ld r34, (iy+2)                  ; PG_TOP
        ld r84, r36
        tsb r34, r84
        jmp c, pm_below
        st (iy+2), r84                  ; above the first listed
        rtn
pm_below:
        ld r85, r34
        ad r85, PG_LINES - 1
        tsb r85, r36
        rtn nc
        sb r84, PG_LINES - 1
        st (iy+2), r84
        rtn

; --------------------------------------------------------------------------------------------
; pg_text: what the programs show: the listing (lines 1..7) of the program edited; else on
; line 6 the question of SHIFT MODE, the recording with its steps, or the pause.
; Clobbers the working registers, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
pg_text:
        tsb r40, ST_PEDIT
        jmp z, pe_text
        ldw iy, PG_ASK - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, pt_rec
        ldw ix, pg_msg_ask
        jmp pt_note
pt_rec:
        ldw iy, PG_REC - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, pt_pause
        ld r84, r34
        ldw ix, pg_msg_rec
        ldw iy, TEXT_NOTE - 1
        cal put_msg
        ld r34, r84
        ad r34, '0'
        st +(iy), r34
        ld r34, r84
        cal pg_prog_iy
        ld r84, (iy+1)
        ldw iy, TEXT_NOTE + COLUMNS - 4
        jmp pg_put_number
pt_pause:
        ldw iy, PG_PAUSED - 1
        ld r34, (iy+1)
        tsb r34, 0
        rtn z
        ldw iy, PG_RUN - 1
        ld r84, (iy+1)
        ldw ix, pg_msg_pause
        ldw iy, TEXT_NOTE - 1
        cal put_msg
        ldw iy, TEXT_NOTE
        ad r84, '0'
        st (iy+1), r84
        rtn
pt_note:
        ldw iy, TEXT_NOTE - 1
        jmp put_msg

; pg_put_number: r84 (0..255) as three digits after iy. Clobbers r34, r84, iy.
pg_put_number:
        ld r34, '0'
ppn_100:
        tsb r84, 100
        jmp c, ppn_put100
        sb r84, 100
        ad r34, 1
        jmp ppn_100
ppn_put100:
        st +(iy), r34
        ld r34, '0'
ppn_10:
        tsb r84, 10
        jmp c, ppn_put10
        sb r84, 10
        ad r34, 1
        jmp ppn_10
ppn_put10:
        st +(iy), r34
        ad r84, '0'
        st +(iy), r84
        rtn

; pe_text: line 1 "Pn  nnn STEPS", lines 2..6 the steps from PG_TOP (the marked one with
; the marker), "END" after the last, line 7 the keys.
pe_text:
        ld r112, 0xFF                   ; no cursor
        ldm r64..r71, 0x10              ; lines 1..7 blank: 8 spaces at a time
        bium r64..r71
        ldw iy, TEXT_EXPR - 1
        ld r84, 14
pt_blank:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, pt_blank
        ldw iy, TEXT_EXPR - 1           ; line 1
        ld r84, 'P'
        st +(iy), r84
        ldw iy, PG_EDIT - 1
        ld r34, (iy+1)
        ld r84, r34
        ad r84, '0'
        ldw iy, TEXT_EXPR
        st +(iy), r84
        cal pg_prog_iy
        ld r84, (iy+1)
        ldw iy, TEXT_EXPR + 2
        cal pg_put_number
        ldw ix, pg_msg_steps
        cal put_msg
        ldw ix, pg_msg_keys
        ldw iy, TEXT_RESULT - 1
        cal put_msg
        ldw iy, PG_TOP - 1
        ld r36, (iy+1)                  ; the step listed
        ld r37, 0x20                    ; the low byte of its line (line 2)
pe_line:
        ldw iy, PG_EDIT - 1
        ld r34, (iy+1)
        ld r84, (iy+2)                  ; PG_CUR
        cal pg_prog_iy
        ld r35, (iy+1)                  ; the length
        adw iy, r36
        ld r85, (iy+2)                  ; the code
        ldw iy, TEXT
        ld r86, r37
        ld r57, r86
        sbw iy, 1
        tsb r36, r84
        jmp nz, pl_number
        ld r84, CH_RIGHT                ; the marker
        st (iy+1), r84
pl_number:
        ld r84, r36
        tsb r35, r84
        jmp c, pl_next                  ; beyond the end
        jmp z, pel_end
        adw iy, 1
        ad r84, 1
        cal pg_put_number               ; the step's number, 1..
        adw iy, 1
        tsb r85, PG_PAUSE
        jmp nz, pl_key
        ldw ix, pg_msg_pause_step
        jmp pl_name
pl_key:
        tsb r85, 64
        jmp nc, pl_next
        ldw ix, key_names
        ld r34, r85
pl_find:
        tsb r34, 0
        jmp z, pl_name
        adw ix, 6
        sb r34, 1
        jmp pl_find
pl_name:
        cal put_msg
        jmp pl_next
pel_end:
        ldw ix, pg_msg_end
        adw iy, 4
        cal put_msg
pl_next:
        ad r36, 1
        ad r37, COLUMNS
        tsb r37, 0x70                   ; line 7
        jmp c, pe_line
        rtn

pg_msg_ask:
        db 12, 'P', 'R', 'O', 'G', 'R', 'A', 'M', ' ', '1', '-', '4', '?'
pg_msg_rec:
        db 5, 'R', 'E', 'C', ' ', 'P'
pg_msg_pause:
        db 16, 'P', ' ', ' ', 'P', 'A', 'U', 'S', 'E', ' ', ' ', 't', 'y', 'p', 'e', ' ', '='
pg_msg_steps:
        db 6, ' ', 'S', 'T', 'E', 'P', 'S'
pg_msg_keys:
        db 14, CH_UP, CH_DOWN, ' ', 'D', 'E', 'L', ' ', ' ', 'A', 'C', ':', 'E', 'N', 'D'
pg_msg_end:
        db 3, 'E', 'N', 'D'
pg_msg_pause_step:
        db 5, 'P', 'A', 'U', 'S', 'E'

; key_names: for every key code 0..63 its name in a listing: a length and 5 characters.
key_names:
        db 1, '?', 0, 0, 0, 0   ; 0
        db 1, '?', 0, 0, 0, 0   ; 1
        db 1, '?', 0, 0, 0, 0   ; 2
        db 3, 'O', 'F', 'F', 0, 0   ; 3
        db 5, 'S', 'H', 'I', 'F', 'T'   ; 4
        db 4, 'M', 'O', 'D', 'E', 0   ; 5
        db 1, 140, 0, 0, 0, 0   ; 6
        db 1, 138, 0, 0, 0, 0   ; 7
        db 1, 139, 0, 0, 0, 0   ; 8
        db 1, 141, 0, 0, 0, 0   ; 9
        db 3, 's', 'i', 'n', 0, 0   ; 10
        db 3, 'c', 'o', 's', 0, 0   ; 11
        db 3, 't', 'a', 'n', 0, 0   ; 12
        db 1, 135, 0, 0, 0, 0   ; 13
        db 3, 'l', 'o', 'g', 0, 0   ; 14
        db 2, 'l', 'n', 0, 0, 0   ; 15
        db 4, '1', '0', '^', 'x', 0   ; 16
        db 3, 'e', '^', 'x', 0, 0   ; 17
        db 2, 'x', 132, 0, 0, 0   ; 18
        db 1, 136, 0, 0, 0, 0   ; 19
        db 3, 'x', '^', 'y', 0, 0   ; 20
        db 2, 'x', 134, 0, 0, 0   ; 21
        db 1, '(', 0, 0, 0, 0   ; 22
        db 1, ')', 0, 0, 0, 0   ; 23
        db 2, 'n', '!', 0, 0, 0   ; 24
        db 3, 'H', 'Y', 'P', 0, 0   ; 25
        db 3, 'D', 'R', 'G', 0, 0   ; 26
        db 3, 'n', 'P', 'r', 0, 0   ; 27
        db 3, 'n', 'C', 'r', 0, 0   ; 28
        db 3, 'R', 'N', 'D', 0, 0   ; 29
        db 4, 'M', 'E', 'N', 'U', 0   ; 30
        db 3, 'A', 'N', 'S', 0, 0   ; 31
        db 4, 'S', 'W', 'A', 'P', 0   ; 32
        db 2, 'M', 'C', 0, 0, 0   ; 33
        db 2, 'M', 'R', 0, 0, 0   ; 34
        db 3, 'S', 'T', 'O', 0, 0   ; 35
        db 2, 'M', '+', 0, 0, 0   ; 36
        db 2, 'M', '-', 0, 0, 0   ; 37
        db 3, 'R', 'C', 'L', 0, 0   ; 38
        db 5, 'a', ' ', 'b', '/', 'c'   ; 39
        db 3, 'E', 'X', 'P', 0, 0   ; 40
        db 3, '(', 131, ')', 0, 0   ; 41
        db 1, '7', 0, 0, 0, 0   ; 42
        db 1, '8', 0, 0, 0, 0   ; 43
        db 1, '9', 0, 0, 0, 0   ; 44
        db 3, 'D', 'E', 'L', 0, 0   ; 45
        db 2, 'A', 'C', 0, 0, 0   ; 46
        db 1, '4', 0, 0, 0, 0   ; 47
        db 1, '5', 0, 0, 0, 0   ; 48
        db 1, '6', 0, 0, 0, 0   ; 49
        db 1, 128, 0, 0, 0, 0   ; 50
        db 1, 129, 0, 0, 0, 0   ; 51
        db 1, '1', 0, 0, 0, 0   ; 52
        db 1, '2', 0, 0, 0, 0   ; 53
        db 1, '3', 0, 0, 0, 0   ; 54
        db 1, '+', 0, 0, 0, 0   ; 55
        db 1, '-', 0, 0, 0, 0   ; 56
        db 1, '0', 0, 0, 0, 0   ; 57
        db 1, '.', 0, 0, 0, 0   ; 58
        db 3, '+', '/', '-', 0, 0   ; 59
        db 1, '%', 0, 0, 0, 0   ; 60
        db 1, '=', 0, 0, 0, 0   ; 61
        db 2, 'F', '8', 0, 0, 0   ; 62
        db 1, '?', 0, 0, 0, 0   ; 63
