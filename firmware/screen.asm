
; ============================================================================================
; screen.asm: the screen is drawn from the text area (TEXT, 8 lines of 16 characters), so
; the text area is what the screen shows. A line is drawn again only when it differs from
; the copy drawn last (SHADOW).
; ============================================================================================

; --------------------------------------------------------------------------------------------
; render: rebuilds the text area from the calculator state, draws the lines that changed
; and puts the cursor where build_text says (r112 line, r113 cell).
; Clobbers everything but the state registers.
; --------------------------------------------------------------------------------------------
render:
        tsb r40, ST_GRAPH               ; the graph is drawn on the display itself
        rtn z
        cal build_text
        cal gr_text
        cal draw_changed
        jmp caret_restart

; --------------------------------------------------------------------------------------------
; draw_changed: draws every text line that differs from its shadow, and updates the shadow.
; Clobbers A, B, C, D, E, F, G, H, r34..r39, r83..r86, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
draw_changed:
        ld r85, 0                       ; line
        ld r86, 0                       ; 16 x line
dc_line:
        ldw iy, TEXT
        ld r57, r86
        ldm r0..r7, (iy)+
        ldm r8..r15, (iy)+
        adw iy, TEXT_SIZE - COLUMNS     ; the same line of the shadow
        ldm r64..r71, (iy)+
        ldm r72..r79, (iy)+
        txrm r0..r7, r64..r71
        jmp nz, dc_draw
        txrm r8..r15, r72..r79
        jmp z, dc_next
dc_draw:
        cal draw_line
        ldw ix, TEXT
        ld r56, r86
        sbw ix, 1
        ldw iy, SHADOW                  ; SHADOW + 16 line: low byte 0x80 + 16 line
        ld r57, r86
        or r57, low(SHADOW)
        sbw iy, 1
        ld r34, COLUMNS
        pst ds, DS_RAM
        bup r34
        pst ds, DS_MAIN
dc_next:
        ad r86, COLUMNS
        ad r85, 1
        tsb r85, LINES
        jmp c, dc_line
        rtn

; --------------------------------------------------------------------------------------------
; draw_line: draws text line r85 (0..7) into the display RAM. Four characters at a time make
; three bytes of each of the 8 dot rows: with g0..g3 their glyph rows (dots in bits 6..2),
;   byte 0 = g0 | g1 >> 6,  byte 1 = (g1 << 2 AND 0xF0) | g2 >> 4,
;   byte 2 = (g2 << 4 AND 0xC0) | g3 >> 2,
; worked out for all 8 rows at once with byte-run instructions: g >> 2 is two rotations of
; the run (the bits that move between bytes are the glyph's empty ones), and the digit swap
; of g >> 2 and of g gives the other pieces, cut out with masks.
; Clobbers A, B, C, D, E, F, G, H, r34, r38, r39, r83, r84, r87, r116, r117, ix, iy, iz, f.
; --------------------------------------------------------------------------------------------
draw_line:
        ldw iz, TEXT
        ldw iy, DISPLAY - 1
        ld r34, r85
        tsb r34, 0
        jmp z, dl_start
dl_base:
        adw iz, COLUMNS
        adw iy, LINE_BYTES
        sb r34, 1
        jmp nz, dl_base
dl_start:
        ld r83, 4                       ; groups of four characters
dl_group:
        pst ds, DS_RAM
        ld r84, (iz)+
        ld r87, (iz)+
        ld r116, (iz)+
        ld r117, (iz)+
        pst ds, DS_MAIN
        ld r38, r84
        cal glyph_ix
        ldm r64..r71, (ix)+             ; g0
        ld r38, r87
        cal glyph_ix
        ldm r0..r7, (ix)+               ; g1
        ld r38, r116
        cal glyph_ix
        ldm r8..r15, (ix)+              ; g2
        ld r38, r117
        cal glyph_ix
        ldm r16..r23, (ix)+             ; g3
        tsb r38, 0                      ; C := 0 for the rotations
        rodm r7..r0
        rodm r7..r0                     ; g1 >> 2
        swpm r0..r7
        ldm r72..r79, r0..r7
        ldw ix, draw_masks
        ldm r104..r111, (ix)+           ; 0x01
        ldm r24..r31, (ix)+             ; 0xF0
        anm r0..r7, r104..r111          ; g1 >> 6
        anm r72..r79, r24..r31          ; g1 << 2 AND 0xF0
        orm r64..r71, r0..r7            ; byte 0
        swpm r8..r15
        ldm r88..r95, r8..r15
        ldm r104..r111, (ix)+           ; 0x0F
        ldm r24..r31, (ix)+             ; 0xC0
        anm r8..r15, r104..r111         ; g2 >> 4
        anm r88..r95, r24..r31          ; g2 << 4 AND 0xC0
        orm r72..r79, r8..r15           ; byte 1
        tsb r38, 0
        rodm r23..r16
        rodm r23..r16                   ; g3 >> 2
        orm r88..r95, r16..r23          ; byte 2
        st (iy+1), r64
        st (iy+13), r65
        st (iy+25), r66
        st (iy+37), r67
        st (iy+49), r68
        st (iy+61), r69
        st (iy+73), r70
        st (iy+85), r71
        st (iy+2), r72
        st (iy+14), r73
        st (iy+26), r74
        st (iy+38), r75
        st (iy+50), r76
        st (iy+62), r77
        st (iy+74), r78
        st (iy+86), r79
        st (iy+3), r88
        st (iy+15), r89
        st (iy+27), r90
        st (iy+39), r91
        st (iy+51), r92
        st (iy+63), r93
        st (iy+75), r94
        st (iy+87), r95
        adw iy, 3
        sb r83, 1
        jmp nz, dl_group
        rtn

; --------------------------------------------------------------------------------------------
; glyph_ix: ix := the glyph of character r38 in the font ('?' for one without a glyph).
; Clobbers r38, r39, f.
; --------------------------------------------------------------------------------------------
glyph_ix:
        sb r38, CHAR_FIRST
        jmp c, gi_other
        tsb r38, CHAR_LAST - CHAR_FIRST + 1
        jmp c, gi_glyph
gi_other:
        ld r38, '?' - CHAR_FIRST
gi_glyph:
        ld r39, 0                       ; ix := font + 8 x glyph
        bium r38..r39
        bium r38..r39
        bium r38..r39
        ldw ix, font
        adw ix, r38
        ad r120, r39
        rtn

; --------------------------------------------------------------------------------------------
; clear_screen: fills the display RAM with 0 (all dots light) and the shadow with spaces,
; which is what a line of spaces draws. Clobbers A, r84, iy, f.
; --------------------------------------------------------------------------------------------
clear_screen:
        ldm r64..r71, 0
        ldw iy, DISPLAY - 1
        ld r84, DISPLAY_CHUNKS
cl_display:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, cl_display
        ldm r64..r71, 0x10              ; 8 spaces: 0x10 doubled
        bium r64..r71
        ldw iy, SHADOW - 1
        ld r84, TEXT_CHUNKS
cl_shadow:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, cl_shadow
        rtn

; --------------------------------------------------------------------------------------------
; fill_text: fills the text area with spaces. Clobbers A, r84, iy, f.
; --------------------------------------------------------------------------------------------
fill_text:
        ldm r64..r71, 0x10              ; 8 spaces: 0x10 doubled
        bium r64..r71
        ldw iy, TEXT - 1
        ld r84, TEXT_CHUNKS
ft_loop:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, ft_loop
        rtn
