
; ============================================================================================
; menu.asm: the menu (external memory). MENU opens the main menu; up and down move the
; marker, = (or right, or the item's digit) takes the item, left goes back to the main
; menu, AC leaves. A menu is a title and a list of items (menu_list); an item is a routine,
; its argument and its text, so a new item or a new menu is a line in a table.
; ============================================================================================

MENU_MAIN       equ 0                   ; levels: the menus of menu_list ...
MENU_ANGLE      equ 1
MENU_FORMAT     equ 2
MENU_PROGRAMS   equ 3                   ; the programs (prgm.asm)
MENU_MESSAGE    equ 4                   ; ... and two screens: a message (MENU_ITEM says
MENU_ABOUT      equ 5                   ; which) and About
MENU_LINES      equ 5                   ; items shown at a time, lines 2..6
ITEM_SIZE       equ 18                  ; routine high, low, argument, length, 14 characters

; --------------------------------------------------------------------------------------------
; menu_key: a key in the menu (r84 = key code). Clobbers the working registers, ix, iy, iz,
; f.
; --------------------------------------------------------------------------------------------
menu_key:
        tsb r84, 46                     ; AC
        jmp z, menu_leave
        tsb r84, 3                      ; OFF
        jmp z, k_off
        ldw iy, MENU_ITEM - 1
        ld r34, (iy+2)                  ; level
        tsb r34, MENU_MESSAGE
        jmp nc, menu_main_open          ; a message or About: any key goes back
        cal menu_descriptor             ; iz := the items, r85 := their number
        ldw iy, MENU_ITEM - 1
        ld r35, (iy+1)                  ; the item selected
        tsb r84, 7
        jmp z, mk_up
        tsb r84, 8
        jmp z, mk_down
        tsb r84, 6
        jmp z, mk_back
        tsb r84, 9
        jmp z, mk_take
        tsb r84, 61
        jmp z, mk_take
        cal key_digit                   ; the digit keys 1..9 take that item
        tsb r86, 10
        rtn nc
        tsb r86, 0
        rtn z
        ld r35, r86
        sb r35, 1
        tsb r35, r85
        rtn nc
        cal mk_store
        jmp mk_take
mk_up:
        tsb r35, 0
        jmp nz, mk_up_one
        ld r35, r85                     ; from the first to the last
mk_up_one:
        sb r35, 1
        jmp mk_store
mk_down:
        ad r35, 1
        tsb r35, r85
        jmp c, mk_store
        ld r35, 0
mk_store:                               ; item := r35, scrolled into the lines shown
        ldw iy, MENU_ITEM - 1
        st (iy+1), r35
        ld r36, (iy+3)
        ld r86, r35
        sb r86, r36
        jmp nc, mk_below
        st (iy+3), r35
        rtn
mk_below:
        tsb r86, MENU_LINES
        rtn c
        ld r86, r35
        sb r86, MENU_LINES - 1
        st (iy+3), r86
        rtn
mk_back:
        tsb r34, MENU_MAIN
        jmp z, menu_leave
menu_main_open:
        ld r34, MENU_MAIN
        ld r35, 0
menu_open:                              ; level r34, item r35 selected
        ldw iy, MENU_ITEM - 1
        st (iy+2), r34
        ld r36, 0
        st (iy+3), r36
        jmp mk_store
mk_take:                                ; the routine of item r35, with its argument in r50
        tsb r35, 0
        jmp z, mk_item
        adw iz, ITEM_SIZE
        sb r35, 1
        jmp mk_take
mk_item:
        ld r88, (iz)+
        ld r24, (iz)+
        ld r50, (iz)+
        ijmp r88, r24

; menu_leave: back to the calculator.
menu_leave:
        ld r40, ST_EDIT
        tsb r45, 0
        rtn nz
        ld r40, ST_RESULT
        rtn

; --------------------------------------------------------------------------------------------
; The items' routines (r50 = the argument).
; --------------------------------------------------------------------------------------------
m_angles:
        ldw iy, ANGLE - 1
        ld r35, (iy+1)
        ld r34, MENU_ANGLE
        jmp menu_open

m_formats:
        ldw iy, FORMAT - 1
        ld r35, (iy+1)
        ld r34, MENU_FORMAT
        jmp menu_open

m_set_angle:
        ld r84, r50
        ldw iy, ANGLE - 1
        st (iy+1), r84
        jmp menu_leave

m_set_format:                           ; FIX and SCI then wait for their digit
        ld r84, r50
        ldw iy, FORMAT - 1
        st (iy+1), r84
        tsb r50, 0
        jmp z, menu_leave
        ld r43, r84
        ad r43, PR_FIX - 1
        jmp menu_leave

m_clear_memories:
        cal clear_memories
        ld r35, 0
        jmp m_message

m_clear_history:
        cal clear_history
        ld r35, 1
m_message:
        ld r34, MENU_MESSAGE
        ldw iy, MENU_ITEM - 1
        st (iy+2), r34
        st (iy+1), r35
        rtn

m_about:
        ld r34, MENU_ABOUT
        ldw iy, MENU_ITEM - 1
        st (iy+2), r34
        rtn

; --------------------------------------------------------------------------------------------
; menu_descriptor: for the menu r34: ix := its title, iz := its items, r85 := their number.
; Clobbers r36, r37, r86, r87, f.
; --------------------------------------------------------------------------------------------
menu_descriptor:
        ldw ix, menu_list
        ld r85, r34
md_find:
        tsb r85, 0
        jmp z, md_found
        adw ix, 6
        sb r85, 1
        jmp md_find
md_found:
        ld r36, (ix)+
        ld r86, (ix)+
        ld r37, (ix)+
        ld r87, (ix)+
        ld r85, (ix)+
        ld r122, r37
        ld r58, r87
        ld r120, r36
        ld r56, r86
        rtn

; key_digit: r86 := the digit 0..9 of key r84, or 0xFF for any other key. Clobbers ix.
key_digit:
        ldw ix, key_actions
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        adw ix, r84
        ld r86, (ix+0)
        tsb r86, high(k_token)
        jmp nz, kdg_none
        ld r86, (ix+1)
        tsb r86, low(k_token)
        jmp nz, kdg_none
        ld r86, (ix+2)
        tsb r86, 10
        rtn c
kdg_none:
        ld r86, 0xFF
        rtn

; --------------------------------------------------------------------------------------------
; menu_text: lines 1..7 of the menu: its title, up to five items (the selected one marked),
; and what the keys do; or the message, or About.
; --------------------------------------------------------------------------------------------
menu_text:
        ldw iy, MENU_ITEM - 1
        ld r34, (iy+2)
        tsb r34, MENU_MESSAGE
        jmp z, mt_message
        tsb r34, MENU_ABOUT
        jmp z, mt_about
        cal menu_descriptor             ; the title on line 1
        ld r37, r85                     ; the number of items
        ldw iy, TEXT_EXPR - 1
        cal put_msg
        ldw iy, MENU_ITEM - 1
        ld r35, (iy+3)                  ; the first item shown
        ld r38, (iy+1)                  ; the selected one
        ld r87, r35                     ; k
mt_skip:
        tsb r35, 0
        jmp z, mt_items
        adw iz, ITEM_SIZE
        sb r35, 1
        jmp mt_skip
mt_items:
        ld r86, 0x20                    ; low byte of line 2 (TEXT + 32)
        ld r36, MENU_LINES
mt_item:
        tsb r87, r37
        jmp nc, mt_hint
        ldw iy, TEXT
        ld r57, r86
        sbw iy, 1
        tsb r38, r87
        jmp nz, mt_number
        ld r84, CH_RIGHT                ; the marker
        st (iy+1), r84
mt_number:
        tsb r87, 9
        jmp nc, mt_label
        ld r34, r87
        ad r34, '1'
        st (iy+2), r34
mt_label:
        adw iy, 3
        ld r84, r58                     ; ix := the item's text (iz + 3)
        ld r56, r84
        ld r34, r122
        ld r120, r34
        adw ix, 3
        cal put_msg
        adw iz, ITEM_SIZE
        ad r87, 1
        ad r86, COLUMNS
        sb r36, 1
        jmp nz, mt_item
mt_hint:
        ldw ix, msg_menu_keys
        ldw iy, TEXT_RESULT - 1
        jmp put_msg
mt_message:
        ldw iy, MENU_ITEM - 1
        ld r84, (iy+1)
        ldw ix, msg_memories_cleared
        tsb r84, 0
        jmp z, mt_put_message
        ldw ix, msg_history_cleared
mt_put_message:
        ldw iy, TEXT + 47               ; line 3
        cal put_msg
mt_any_key:
        ldw ix, msg_any_key
        ldw iy, TEXT_RESULT - 1
        jmp put_msg
mt_about:
        ldw ix, about_text - 1          ; five lines of 16 characters from line 1
        ldw iy, TEXT_EXPR - 1
        ld r36, EXPR_CHARS
        bup r36
        jmp mt_any_key

; --------------------------------------------------------------------------------------------
; The menus: for each level a title, its items and their number (6 bytes). An item is the
; routine (high, low), its argument, and its text (a length, then up to 13 characters: the
; marker and the digit take the line's first three columns; 14 bytes kept).
; --------------------------------------------------------------------------------------------
menu_list:
        dw msg_menu, menu_main
        db 8, 0
        dw msg_angle_unit, menu_angles
        db 3, 0
        dw msg_number_format, menu_formats
        db 3, 0
        dw msg_programs, menu_programs
        db 8, 0
menu_main:
        db high(m_angles), low(m_angles), 0, 10, 'A', 'n', 'g', 'l', 'e', ' ', 'u', 'n', 'i', 't', 0, 0, 0, 0
        db high(m_formats), low(m_formats), 0, 13, 'N', 'u', 'm', 'b', 'e', 'r', ' ', 'f', 'o', 'r', 'm', 'a', 't', 0
        db high(m_clear_memories), low(m_clear_memories), 0, 12, 'C', 'l', 'e', 'a', 'r', ' ', 'm', 'e', 'm', 'o', 'r', 'y', 0, 0
        db high(m_clear_history), low(m_clear_history), 0, 13, 'C', 'l', 'e', 'a', 'r', ' ', 'h', 'i', 's', 't', 'o', 'r', 'y', 0
        db high(m_about), low(m_about), 0, 5, 'A', 'b', 'o', 'u', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_graph), low(m_graph), 0, 5, 'G', 'r', 'a', 'p', 'h', 0, 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_range), low(m_range), 0, 5, 'R', 'a', 'n', 'g', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_programs), low(m_programs), 0, 8, 'P', 'r', 'o', 'g', 'r', 'a', 'm', 's', 0, 0, 0, 0, 0, 0
menu_programs:
        db high(m_prog_run), low(m_prog_run), 1, 6, 'R', 'u', 'n', ' ', 'P', '1', 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_run), low(m_prog_run), 2, 6, 'R', 'u', 'n', ' ', 'P', '2', 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_run), low(m_prog_run), 3, 6, 'R', 'u', 'n', ' ', 'P', '3', 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_run), low(m_prog_run), 4, 6, 'R', 'u', 'n', ' ', 'P', '4', 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_edit), low(m_prog_edit), 1, 7, 'E', 'd', 'i', 't', ' ', 'P', '1', 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_edit), low(m_prog_edit), 2, 7, 'E', 'd', 'i', 't', ' ', 'P', '2', 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_edit), low(m_prog_edit), 3, 7, 'E', 'd', 'i', 't', ' ', 'P', '3', 0, 0, 0, 0, 0, 0, 0
        db high(m_prog_edit), low(m_prog_edit), 4, 7, 'E', 'd', 'i', 't', ' ', 'P', '4', 0, 0, 0, 0, 0, 0, 0
msg_programs:
        db 8, 'P', 'R', 'O', 'G', 'R', 'A', 'M', 'S'
menu_angles:
        db high(m_set_angle), low(m_set_angle), 0, 7, 'D', 'e', 'g', 'r', 'e', 'e', 's', 0, 0, 0, 0, 0, 0, 0
        db high(m_set_angle), low(m_set_angle), 1, 7, 'R', 'a', 'd', 'i', 'a', 'n', 's', 0, 0, 0, 0, 0, 0, 0
        db high(m_set_angle), low(m_set_angle), 2, 5, 'G', 'r', 'a', 'd', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0
menu_formats:
        db high(m_set_format), low(m_set_format), 0, 4, 'N', 'O', 'R', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
        db high(m_set_format), low(m_set_format), 1, 12, 'F', 'I', 'X', ' ', 'n', ' ', 'p', 'l', 'a', 'c', 'e', 's', 0, 0
        db high(m_set_format), low(m_set_format), 2, 12, 'S', 'C', 'I', ' ', 'n', ' ', 'd', 'i', 'g', 'i', 't', 's', 0, 0
msg_menu:
        db 4, 'M', 'E', 'N', 'U'
msg_angle_unit:
        db 10, 'A', 'N', 'G', 'L', 'E', ' ', 'U', 'N', 'I', 'T'
msg_number_format:
        db 13, 'N', 'U', 'M', 'B', 'E', 'R', ' ', 'F', 'O', 'R', 'M', 'A', 'T'
msg_menu_keys:
        db 15, CH_UP, CH_DOWN, ' ', 'S', 'E', 'L', 'E', 'C', 'T', ' ', ' ', '=', ' ', 'O', 'K'
msg_memories_cleared:
        db 16, 'M', 'e', 'm', 'o', 'r', 'i', 'e', 's', ' ', 'c', 'l', 'e', 'a', 'r', 'e', 'd'
msg_history_cleared:
        db 15, 'H', 'i', 's', 't', 'o', 'r', 'y', ' ', 'c', 'l', 'e', 'a', 'r', 'e', 'd'
msg_any_key:
        db 13, 'A', 'n', 'y', ' ', 'k', 'e', 'y', ':', ' ', 'M', 'E', 'N', 'U'
about_text:
        db 'V', 'E', 'L', 'M', 'O', 'R', 'A', ' ', 'S', 'C', 'I', 'E', 'N', 'C', 'E', ' '
        db 'F', 'i', 'r', 'm', 'w', 'a', 'r', 'e', ' ', '2', '.', '0', ' ', ' ', ' ', ' '
        db '1', '0', ' ', 'd', 'i', 'g', 'i', 't', 's', ' ', 's', 'h', 'o', 'w', 'n', ','
        db '1', '5', ' ', 'k', 'e', 'p', 't', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '
        db '1', 'E', '-', '9', '9', ' ', 't', 'o', ' ', '1', 'E', '+', '9', '9', ' ', ' '
