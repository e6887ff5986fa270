
; ============================================================================================
; graph.asm: the function plotter (external memory, after the constants).
;
; MENU -> Graph edits Y1..Y3 (expressions in X, typed with the editor; up and down switch
; between them, = draws), MENU -> Range edits Xmin, Xmax, Ymin, Ymax the same way. The graph
; is drawn straight into the display RAM (the text area then is not what the screen shows):
;   column c (0..95) samples x = Xmin + (c / 96) W, W = Xmax - Xmin, c / 96 rounded to 15
;   digits (exact when 3 divides c);
;   a value y lies on dot row floor((Ymax - y) (64 / H) + 1/2), H = Ymax - Ymin (row 0 on top);
;   two defined samples in neighbouring columns are joined: every row strictly between their
;   rows goes to the column of the nearer one (the right one on a tie); an undefined sample
;   (any error) leaves a gap.
; The axes are the row of y = 0 and the column of x = 0 (when inside), with a tick on either
; side at every multiple of the smallest power of ten above W / 25 (H / 25 for y).
; In the graph: left and right trace the current curve (X= on line 0, Y= on line 7), up and
; down switch curves, + zooms in and - zooms out (by 2, about the middle), = goes back to
; editing the functions, MENU opens the menu, AC returns to the calculator.
; ============================================================================================

ST_GRAPH        equ 4                   ; r40: the graph is on the display

; RAM (area 3). Kept: the signature, the window and the functions.
GR_SIG          equ 0x1300              ; "VGR1": the graph state below is valid
GR_XMIN         equ 0x1310              ; the window: four number records
GR_XMAX         equ 0x131A
GR_YMIN         equ 0x1324
GR_YMAX         equ 0x132E
GR_FUNCS        equ 0x1340              ; Y1..Y3: 100 bytes each, the length then the tokens
GR_FUNC_SIZE    equ 100
GR_FUNC_MAX     equ 99
; Not kept:
GR_ENTRY        equ 0x1470              ; what the editor edits: 0 the calculation, 1..3 Y1..Y3,
                                        ; 4..7 Xmin, Xmax, Ymin, Ymax
GR_COL          equ 0x1471              ; the column being drawn
GR_FN           equ 0x1472              ; the function being drawn or traced (0..2)
GR_HAVE         equ 0x1473              ; 1 when the last column's sample was defined
GR_TCOL         equ 0x1474              ; the trace: its column, 0xFF none
GR_MCOL         equ 0x1475              ; the trace mark on the screen: column, row (0xFF none)
GR_MROW         equ 0x1476
GR_LO           equ 0x1477              ; a span: its first and last row codes
GR_HI           equ 0x1478
GR_COUNT        equ 0x1479              ; ticks drawn
GR_AXROW        equ 0x147A              ; the row code of y = 0, the column code of x = 0
GR_AXCOL        equ 0x147B
GR_CLIPTOP      equ 0x147C              ; gr_clip: the upper end
GR_SAVEFN       equ 0x147D              ; gr_draw: the function traced
GR_MSAVE        equ 0x147E              ; the mark's dots as they were
GR_W            equ 0x1480              ; W, H, the previous sample's row, scratch records
GR_H            equ 0x148A
GR_PREV         equ 0x1494
GR_ROWV         equ 0x149E
GR_TMP          equ 0x14A8
GR_TICK         equ 0x14B2
GR_STEP         equ 0x14BC
GR_KY           equ 0x14D0              ; 64 / H and 96 / W
GR_KX           equ 0x14DA

; --------------------------------------------------------------------------------------------
; gr_check_state: keeps the window and the functions of the last run when their signature is
; there, else sets the window -10..10, -6.4..6.4 and no functions. Not kept state: no entry.
; Clobbers A, ix, iy, iz, r34, r35, r84, f.
; --------------------------------------------------------------------------------------------
gr_check_state:
        cal pg_reset
        ldw iy, GR_ENTRY - 1
        ld r34, 0
        st (iy+1), r34
        ldw iy, GR_SIG
        ldw ix, gr_sig_bytes
        ld r35, 4
gcs_byte:
        ld r84, (ix)+
        ld r34, (iy+0)
        tsb r34, r84
        jmp nz, gr_reset_state
        adw iy, 1
        sb r35, 1
        jmp nz, gcs_byte
        rtn

gr_reset_state:
        cal pg_clear_all
        cal gr_default_range
        ldw iy, GR_FUNCS - 1
        ld r34, 0
        st (iy+1), r34
        st (iy+1+GR_FUNC_SIZE), r34
        st (iy+201), r34
        ldw iy, GR_SIG - 1
        ldw ix, gr_sig_bytes
        ld r35, 4
grs_sig:
        ld r34, (ix)+
        st +(iy), r34
        sb r35, 1
        jmp nz, grs_sig
        rtn

; gr_default_range: the window -10..10, -6.4..6.4. Clobbers A, iy, iz.
gr_default_range:
        ldw iz, gr_c_xmin
        cal load_a_rom
        ldw iy, GR_XMIN
        cal store_a
        cal neg_a
        ldw iy, GR_XMAX
        cal store_a
        ldw iz, gr_c_ymin
        cal load_a_rom
        ldw iy, GR_YMIN
        cal store_a
        cal neg_a
        ldw iy, GR_YMAX
        jmp store_a

; --------------------------------------------------------------------------------------------
; gr_hook: called from dispatch_key for every key outside the menu. Takes the graph's keys
; and those the editor handles differently while it edits a function or the window; every
; other key goes on to the key table (dk_keys).
; --------------------------------------------------------------------------------------------
gr_hook:
        jmp pg_hook                     ; the programs' keys first (prgm.asm)
pg_back:
        tsb r40, ST_GRAPH
        jmp z, graph_key
        ldw iy, GR_ENTRY - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, dk_keys
        tsb r84, 46                     ; AC
        jmp z, ge_clear
        tsb r40, ST_ERROR
        jmp z, dk_keys
        tsb r84, 61                     ; =
        jmp z, ge_draw
        tsb r84, 7                      ; up
        jmp z, ge_up
        tsb r84, 8                      ; down
        jmp z, ge_down
        tsb r84, 30                     ; MENU: the editing ends, what was typed is kept
        jmp nz, dk_keys
        cal gr_store_entry
        ld r49, ERR_NONE                ; (a window value that is not a number is dropped)
        ldw iy, GR_ENTRY - 1
        ld r34, 0
        st (iy+1), r34
        ld r84, 30
        jmp dk_keys

; AC: clears the expression; on an empty one, back to the calculator.
ge_clear:
        ld r49, ERR_NONE
        tsb r45, 0
        jmp z, ge_leave
        ld r40, ST_EDIT
        ld r45, 0
        ld r46, 0
        ld r47, 0
        rtn
ge_leave:
        ld r34, 0
        st (iy+1), r34
        jmp k_clear

ge_draw:
        cal gr_store_entry
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, GR_ENTRY - 1            ; a function that is not an expression shows its error
        ld r34, (iy+1)
        tsb r34, 4
        jmp nc, ged_go
        tsb r45, 0
        jmp z, ged_go
        cal eval_expr
        tsb r49, ERR_SYNTAX
        jmp z, ged_error
        tsb r49, ERR_STACK
        jmp z, ged_error
ged_go:
        ld r49, ERR_NONE
        ldw iy, GR_ENTRY - 1
        ld r34, 0
        st (iy+1), r34
        jmp gr_show
ged_error:
        ld r40, ST_ERROR
        rtn

; up and down: the entry before or after, in turn (Y3 after Y1; Ymax after Xmin).
ge_up:
        cal gr_store_entry
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, GR_ENTRY - 1
        ld r34, (iy+1)
        tsb r34, 1
        jmp z, geu_y3
        tsb r34, 4
        jmp z, geu_ymax
        sb r34, 1
        jmp gr_enter
geu_y3:
        ld r34, 3
        jmp gr_enter
geu_ymax:
        ld r34, 7
        jmp gr_enter

ge_down:
        cal gr_store_entry
        tsb r49, ERR_NONE
        rtn nz
        ldw iy, GR_ENTRY - 1
        ld r34, (iy+1)
        tsb r34, 3
        jmp z, ged_y1
        tsb r34, 7
        jmp z, ged_xmin
        ad r34, 1
        jmp gr_enter
ged_y1:
        ld r34, 1
        jmp gr_enter
ged_xmin:
        ld r34, 4
        jmp gr_enter

; --------------------------------------------------------------------------------------------
; m_graph, m_range: the menu's items: edit Y1, edit Xmin.
; gr_enter: the editor edits entry r34 (1..7), which it starts with.
; --------------------------------------------------------------------------------------------
m_graph:
        ld r34, 1
        jmp gr_enter

m_range:
        ld r34, 4
gr_enter:
        ldw iy, GR_ENTRY - 1
        st (iy+1), r34
        cal new_expr
        ld r49, ERR_NONE
        tsb r34, 4
        jmp nc, gre_value
        cal gr_func_iy                  ; a function: its tokens
        ld r84, (iy+1)
        tsb r84, GR_FUNC_MAX + 1
        rtn nc
        ld r45, r84
        ld r46, r84
        tsb r84, 0
        rtn z
        adw iy, 1
        cal iy_to_ix
        ldw iy, EXPR - 1
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
        rtn
gre_value:                              ; a number of the window: its digits as tokens
        cal gr_range_iy
        cal load_a
        cal fmt_number
        ld r36, r87
        ld r37, 0
gre_char:
        tsb r36, 0
        jmp z, cursor_to_end
        ldw ix, FMT_BUF
        adw ix, r37
        pst ds, DS_RAM
        ld r85, (ix+0)
        pst ds, DS_MAIN
        ld r34, r85
        sb r34, '0'
        ld r84, r34
        tsb r34, 10
        jmp c, gre_put
        ld r84, T_POINT
        tsb r85, '.'
        jmp z, gre_put
        ld r84, T_EXP
        tsb r85, 'E'
        jmp z, gre_put
        ld r84, T_NEG
        tsb r85, CH_NEG
        jmp z, gre_put
        tsb r85, '-'
        jmp nz, gre_next                ; '+' of an exponent and anything else: nothing
gre_put:
        cal insert_token
gre_next:
        ad r37, 1
        sb r36, 1
        jmp gre_char

; gr_func_iy: iy := the function GR_ENTRY - 1 or GR_FN (r34 = 1..3) minus 1. Clobbers r34.
gr_func_iy:
        ldw iy, GR_FUNCS - 1
gfi_loop:
        sb r34, 1
        rtn z
        adw iy, GR_FUNC_SIZE
        jmp gfi_loop

; gr_range_iy: iy := the record of window value r34 (4..7). Clobbers r34.
gr_range_iy:
        ldw iy, GR_XMIN
gri_loop:
        sb r34, 4
        rtn z
        ad r34, 3
        adw iy, REC_SIZE
        jmp gri_loop

; --------------------------------------------------------------------------------------------
; gr_store_entry: the expression edited goes back where it came from: a function's tokens,
; or a window value worked out (an empty expression leaves it). r49 := an error (shown).
; --------------------------------------------------------------------------------------------
gr_store_entry:
        ld r49, ERR_NONE
        ldw iy, GR_ENTRY - 1
        ld r34, (iy+1)
        tsb r34, 4
        jmp nc, gse_value
        cal gr_func_iy
        ld r84, r45
        st (iy+1), r84
        tsb r84, 0
        rtn z
        adw iy, 1
        ldw ix, EXPR - 1
        pst ds, DS_RAM
        bup r84
        pst ds, DS_MAIN
        rtn
gse_value:
        tsb r45, 0
        rtn z
        cal eval_expr
        tsb r49, ERR_NONE
        jmp nz, gse_error
        ldw iy, GR_ENTRY - 1
        ld r34, (iy+1)
        cal gr_range_iy
        jmp store_a
gse_error:
        ld r40, ST_ERROR
        rtn

; --------------------------------------------------------------------------------------------
; gr_text: while the editor edits a function or a window value, line 6 names it and says
; what the keys do. Clobbers r34, r84, ix, iy.
; --------------------------------------------------------------------------------------------
gr_text:
        cal pg_text
        ldw iy, GR_ENTRY - 1
        ld r84, (iy+1)
        tsb r84, 0
        rtn z
        ldw ix, gr_labels - 6
gt_find:
        adw ix, 6
        sb r84, 1
        jmp nz, gt_find
        ldw iy, TEXT_NOTE - 1
        cal put_msg
        ldw ix, gr_hint
        ldw iy, TEXT_NOTE + 7 - 1
        jmp put_msg

; --------------------------------------------------------------------------------------------
; gr_show: draws the graph and shows it; the keys then work the graph (graph_key).
; --------------------------------------------------------------------------------------------
gr_show:
        ld r40, ST_GRAPH
        ld r112, 0xFF                   ; no cursor
        cal caret_restart
        ldw iy, GR_TCOL - 1
        ld r34, 0xFF
        st (iy+1), r34                  ; no trace yet
        st (iy+2), r34                  ; no mark
        ld r34, 0
        ldw iy, GR_FN - 1
        st (iy+1), r34
        cal gr_first_fn
        jmp gr_draw

; gr_first_fn: GR_FN := the first function from GR_FN on that is not empty (it stays when
; there is none). Clobbers r34, r35, r84, iy.
gr_first_fn:
        ldw iy, GR_FN - 1
        ld r35, (iy+1)
        ld r84, 3
gff_loop:
        ld r86, r35
        ld r34, r86
        ad r34, 1
        cal gr_func_iy
        ld r34, (iy+1)
        tsb r34, 0
        jmp nz, gff_found
        ad r35, 1
        tsb r35, 3
        jmp c, gff_next
        ld r35, 0
gff_next:
        sb r84, 1
        jmp nz, gff_loop
        rtn
gff_found:
        ldw iy, GR_FN - 1
        st (iy+1), r35
        rtn

; --------------------------------------------------------------------------------------------
; graph_key: a key while the graph is shown (r84 = the key code).
; --------------------------------------------------------------------------------------------
graph_key:
        tsb r84, 46                     ; AC: the calculator
        jmp z, gk_leave
        tsb r84, 3                      ; OFF
        jmp z, k_off
        tsb r84, 30                     ; MENU
        jmp z, gk_menu
        tsb r84, 61                     ; =: edit the functions again
        jmp z, gk_edit
        tsb r84, 6
        jmp z, gk_left
        tsb r84, 9
        jmp z, gk_right
        tsb r84, 7
        jmp z, gk_up
        tsb r84, 8
        jmp z, gk_down
        tsb r84, 55                     ; +: zoom in
        jmp z, gk_zoom_in
        tsb r84, 56                     ; -: zoom out
        jmp z, gk_zoom_out
        rtn

gk_leave:
        cal gr_text_back
        jmp k_clear

gk_menu:
        cal gr_text_back
        jmp k_menu

gk_edit:
        cal gr_text_back
        ldw iy, GR_FN - 1
        ld r34, (iy+1)
        ad r34, 1
        jmp gr_enter

; gr_text_back: the screen is drawn from the text area again: every line differs from the
; shadow, so all are drawn. Clobbers A, r84, iy.
gr_text_back:
        ldm r64..r71, 0x1F              ; no character: every line differs
        ldw iy, SHADOW - 1
        ld r84, TEXT_CHUNKS
gtb_loop:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, gtb_loop
        rtn

gk_left:
        ldw iy, GR_TCOL - 1
        ld r34, (iy+1)
        tsb r34, 0xFF
        jmp z, gk_trace_start
        tsb r34, 0
        rtn z
        sb r34, 1
        jmp gk_trace_at
gk_right:
        ldw iy, GR_TCOL - 1
        ld r34, (iy+1)
        tsb r34, 0xFF
        jmp z, gk_trace_start
        tsb r34, 95
        rtn z
        ad r34, 1
        jmp gk_trace_at
gk_trace_start:
        ld r34, 48
gk_trace_at:
        st (iy+1), r34
        jmp gr_trace_show

gk_up:                                  ; the one before that is not empty
        ldw iy, GR_FN - 1
        ld r34, (iy+1)
        ld r35, 3
gku_back:
        tsb r34, 0
        jmp nz, gku_go
        ld r34, 3
gku_go:
        sb r34, 1
        ld r84, r34
        ad r34, 1
        cal gr_func_iy
        ld r85, (iy+1)
        ld r34, r84
        tsb r85, 0
        jmp nz, gku_found
        sb r35, 1
        jmp nz, gku_back
        rtn
gku_found:
        ldw iy, GR_FN - 1
        jmp gk_switch
gk_down:
        ldw iy, GR_FN - 1
        ld r34, (iy+1)
        ad r34, 1
        tsb r34, 3
        jmp c, gk_switch
        ld r34, 0
gk_switch:                              ; to function r34, or the next one that is not empty
        st (iy+1), r34
        cal gr_first_fn
        ldw iy, GR_TCOL - 1
        ld r34, (iy+1)
        tsb r34, 0xFF
        jmp nz, gr_trace_show
        ld r34, 48
        st (iy+1), r34
        jmp gr_trace_show

; Zoom: the window keeps its middle and becomes half (in) or twice (out) as wide and high.
gk_zoom_in:
        ldw iz, gr_c_quarter
        jmp gk_zoom
gk_zoom_out:
        ldw iz, gr_c_one
gk_zoom:
        cal load_b_rom
        ldw iy, GR_TMP
        cal store_b                     ; f: the half-width factor
        ldw iy, GR_XMIN
        cal gr_zoom_pair
        ldw iy, GR_YMIN
        cal gr_zoom_pair
        tsb r49, ERR_NONE
        jmp z, gr_show
        ld r49, ERR_NONE                ; the window would overflow: nothing happens
        rtn

; gr_zoom_pair: the records min (iy) and max (iy + 10) := m -+ f (max - min), m their middle.
gr_zoom_pair:
        cal iy_to_ix
        ld r82, r56
        ld r34, r120
        ld r57, r82
        ld r121, r34
        adw iy, REC_SIZE
        cal load_a                      ; max
        ld r82, r56
        ld r34, r120
        ld r57, r82
        ld r121, r34
        cal load_b                      ; min
        ldw iy, GR_TICK
        cal store_b
        cal fsub                        ; A := max - min
        ldw iy, GR_TMP
        cal load_b
        cal fmul
        cal finish
        ldw iy, GR_STEP
        cal store_a                     ; d := f (max - min)
        ldw iy, GR_TICK                 ; min
        cal load_b
        ld r82, r56
        ld r34, r120
        ld r57, r82
        ld r121, r34
        adw iy, REC_SIZE
        cal load_a                      ; max
        cal fadd
        ldw iz, gr_c_half
        cal load_b_rom
        cal fmul
        cal finish
        ldw iy, GR_TICK
        cal store_a                     ; m
        ldw iy, GR_STEP
        cal load_b
        cal fsub
        cal finish
        tsb r49, ERR_NONE
        rtn nz
        ld r82, r56
        ld r34, r120
        ld r57, r82
        ld r121, r34
        cal store_a                     ; min := m - d
        ldw iy, GR_TICK
        cal load_a
        ldw iy, GR_STEP
        cal load_b
        cal fadd
        cal finish
        tsb r49, ERR_NONE
        rtn nz
        ld r82, r56
        ld r34, r120
        ld r57, r82
        ld r121, r34
        adw iy, REC_SIZE
        jmp store_a                     ; max := m + d

; --------------------------------------------------------------------------------------------
; gr_draw: clears the display, draws the axes and every function that is not empty.
; A window whose width or height is not above 0 shows DOMAIN ERROR instead.
; --------------------------------------------------------------------------------------------
gr_draw:
        ldw iy, GR_XMAX
        cal load_a
        ldw iy, GR_XMIN
        cal load_b
        cal fsub
        cal finish
        ldw iy, GR_W
        cal store_a
        tsb r81, 0
        jmp nz, gd_bad
        tadm r64..r71, 0
        jmp z, gd_bad
        ldw iy, GR_YMAX
        cal load_a
        ldw iy, GR_YMIN
        cal load_b
        cal fsub
        cal finish
        ldw iy, GR_H
        cal store_a
        tsb r81, 0
        jmp nz, gd_bad
        tadm r64..r71, 0
        jmp z, gd_bad
        tsb r49, ERR_NONE
        jmp nz, gd_bad
        cal gr_scales_k                 ; the scales
        ldm r64..r71, 0                 ; a clear display
        ldw iy, DISPLAY - 1
        ld r84, DISPLAY_CHUNKS
gd_clear:
        stm +(iy), r64..r71
        sb r84, 1
        jmp nz, gd_clear
        ldw iy, GR_FN - 1
        ld r84, (iy+1)
        ldw iy, GR_SAVEFN - 1
        st (iy+1), r84
        cal gr_axes
        ld r35, 0
gd_fn:
        ldw iy, GR_FN - 1
        st (iy+1), r35
        cal gr_plot
        tsb r39, 0
        jmp nz, gd_stopped              ; AC: the rest is not drawn
        ldw iy, GR_FN - 1
        ld r35, (iy+1)
        ad r35, 1
        tsb r35, 3
        jmp c, gd_fn
gd_stopped:
        ldw iy, GR_SAVEFN - 1
        ld r84, (iy+1)
        ldw iy, GR_FN - 1
        st (iy+1), r84
        cal gr_first_fn
        ld r49, ERR_NONE
        rtn
gd_bad:                                 ; back to editing Xmax, DOMAIN ERROR shown
        cal gr_text_back
        ld r34, 5
        cal gr_enter
        ld r49, ERR_DOMAIN
        ld r40, ST_ERROR
        rtn

; --------------------------------------------------------------------------------------------
; gr_plot: draws function GR_FN, one sample per column, joined. Returns r39 = 1 when AC was
; found down between two columns (the drawing stopped; AC is then the next key), else 0.
; --------------------------------------------------------------------------------------------
gr_plot:
        ld r39, 0
        ldw iy, GR_FN - 1
        ld r34, (iy+1)
        ad r34, 1
        cal gr_func_iy
        ld r84, (iy+1)
        tsb r84, 0
        rtn z
        ldw iy, GR_HAVE - 1
        ld r34, 0
        st (iy+1), r34
        ldw iy, GR_COL - 1
        st (iy+1), r34
gp_col:
        cal gr_sample                   ; A := the row of the sample, r49 an error
        tsb r49, ERR_NONE
        jmp z, gp_defined
        ldw iy, GR_HAVE - 1
        ld r34, 0
        st (iy+1), r34
        jmp gp_next
gp_defined:
        ldw iy, GR_ROWV
        cal store_a
        ldw iy, GR_HAVE - 1
        ld r34, (iy+1)
        tsb r34, 0
        jmp z, gp_point
        cal gr_join
gp_point:
        ldw iy, GR_ROWV                 ; the sample's own dot
        cal load_a
        cal gr_code
        ld r84, r36
        ldw iy, GR_COL - 1
        ld r38, (iy+1)
        ld r36, r84
        ld r37, r84
        cal gr_vspan
        ldw iy, GR_ROWV
        cal load_a
        ldw iy, GR_PREV
        cal store_a
        ldw iy, GR_HAVE - 1
        ld r34, 1
        st (iy+1), r34
gp_next:
        ld r39, 1
        pst ky, 0xC0                    ; AC down (KI bit 0 of its line): the drawing stops
        gst r34, ky
        an r34, 1
        rtn nz
        ldw iy, GR_COL - 1
        ld r34, (iy+1)
        ad r34, 1
        st (iy+1), r34
        tsb r34, 96
        jmp c, gp_col
        ld r39, 0
        rtn

; --------------------------------------------------------------------------------------------
; gr_sample: X := the x of column GR_COL; A := the dot row (an integer record, not clipped)
; of function GR_FN there, or r49 := the error that leaves it undefined.
; --------------------------------------------------------------------------------------------
gr_sample:
        cal gr_eval_col
        tsb r49, ERR_NONE
        rtn nz
        jmp gr_row

; gr_eval_col: X := the x of column GR_COL; A := function GR_FN there, or r49 := an error.
gr_eval_col:
        ldw iy, GR_COL - 1
        ld r36, (iy+1)
        cal gr_x_of_col
        ldw iy, REC_X
        cal store_a
        ldw iy, GR_FN - 1
        ld r34, (iy+1)
        ad r34, 1
        cal gr_func_iy
        ld r84, (iy+1)
        adw iy, 2
        ld r85, r57
        ld r34, r121
        ldw iy, EV_BASE
        st (iy+EV_LEN), r84
        st (iy+EV_PTR_HI), r34
        st (iy+EV_PTR_LO), r85
        jmp evaluate

; gr_row: A := floor((Ymax - A) KY + 1/2), KY = 64 / H; a row beyond the arithmetic's range is
; +-1E50. Clobbers B, C, r34..r37, r82, iy, iz, f.
gr_row:
        cal copy_a_to_b
        ldw iy, GR_YMAX
        cal load_a
        cal fsub
        ld r37, r81
        ldw iy, GR_KY
        cal load_b
        cal fmul
        cal finish
        tsb r49, ERR_NONE
        jmp nz, grw_far
        ldw iz, gr_c_half
        cal load_b_rom
        cal fadd
        cal floor_a
        jmp finish
grw_far:
        ld r49, ERR_NONE
        ldw iz, gr_c_far
        cal load_a_rom
        ld r81, r37
        rtn

; gr_scales_k: GR_KY := 64 / H, GR_KX := 96 / W. Clobbers A, B, C, r34, r82, iy, iz, f.
gr_scales_k:
        ldw iz, gr_c_64
        cal load_a_rom
        ldw iy, GR_H
        cal load_b
        cal fdiv
        ldw iy, GR_KY
        cal store_a
        ldw iz, gr_c_96
        cal load_a_rom
        ldw iy, GR_W
        cal load_b
        cal fdiv
        ldw iy, GR_KX
        jmp store_a

; gr_x_of_col: A := Xmin + (c / 96) W for the column c = r36, c / 96 from a table (exact
; when 3 divides c: x = 0 lies exactly on its column in a window symmetric about it).
; Clobbers B, C, r34..r37, r82, r84, r85, iy, iz, f.
gr_x_of_col:
        ld r37, 0                       ; iz := gr_fracs + 10 c
        bium r36..r37
        ldm r84..r85, r36..r37
        bium r36..r37
        bium r36..r37
        adm r36..r37, r84..r85
        ldw iz, gr_fracs
        adw iz, r36
        ad r122, r37
        cal load_a_rom
        ldw iy, GR_W
        cal load_b
        cal fmul
        cal finish
        ldw iy, GR_XMIN
        cal load_b
        cal fadd
        jmp finish

; gr_col_of: r38 := floor((A - Xmin) KX + 1/2) + 1, KX = 96 / W, clipped to 0..97 (1..96: a column
; of the display). Clobbers A, B, C, r34..r37, r82, r84..r86, iy, iz, f.
gr_col_of:
        ldw iy, GR_XMIN
        cal load_b
        cal fsub
        ldw iy, GR_KX
        cal load_b
        cal fmul
        cal finish
        ld r38, 0
        tsb r49, ERR_NONE
        jmp nz, gco_far
        ldw iz, gr_c_half
        cal load_b_rom
        cal fadd
        cal floor_a
        cal finish
        ld r36, 97
        cal gr_clip
        ld r84, r36
        ld r38, r84
        rtn
gco_far:
        ld r49, ERR_NONE
        rtn

; --------------------------------------------------------------------------------------------
; gr_code: r36 := the row code of the integer record A: A + 1 clipped to 0..65 (1..64: a row
; of the display, 0 above it, 65 below). gr_clip: the same with the upper end r36 (given).
; Clobbers A, B, C, r34, r35, r37, r82, r84..r86, f.
; --------------------------------------------------------------------------------------------
gr_code:
        ld r36, 65
gr_clip:
        ld r84, r36
        ldw iy, GR_CLIPTOP - 1
        st (iy+1), r84
        cal one_b
        cal fadd
        cal finish
        ld r36, 0
        tsb r81, 0
        rtn nz
        cal small_int_a
        ldw iy, GR_CLIPTOP - 1
        ld r84, (iy+1)
        tsb r35, 0
        jmp nz, gcl_top
        tsb r37, 0
        jmp nz, gcl_top
        tsb r36, r84
        rtn c
gcl_top:
        ld r36, r84
        rtn

; --------------------------------------------------------------------------------------------
; gr_join: joins the sample of the last column (row P, GR_PREV) and this one (row Q,
; GR_ROWV): every row strictly between goes to the nearer column (ties to the right one, as
; in the usual line drawing).
; --------------------------------------------------------------------------------------------
gr_join:
        ldw iy, GR_ROWV
        cal load_a
        ldw iy, GR_PREV
        cal load_b
        cal fcmp
        tsb r82, 0
        rtn z
        tsb r82, 1
        jmp nz, gj_up
        ; Q > P (the curve goes down the screen): left P+1..m, right m+1..Q-1,
        ; m = floor((P+Q-1)/2)
        cal one_b
        cal fsub
        cal gr_mid
        ldw iy, GR_TICK
        cal store_a                     ; m
        cal gr_to_hi
        ldw iy, GR_PREV
        cal gr_inc_iy
        cal gr_to_lo
        cal gr_span_left
        ldw iy, GR_TICK
        cal gr_inc_iy
        cal gr_to_lo
        ldw iy, GR_ROWV
        cal gr_dec_iy
        cal gr_to_hi
        jmp gr_span_right
gj_up:  ; Q < P: left m'..P-1, right Q+1..m'-1, m' = floor((P+Q+2)/2)
        cal one_b
        cal fadd
        cal one_b
        cal fadd
        cal gr_mid
        ldw iy, GR_TICK
        cal store_a
        cal gr_to_lo
        ldw iy, GR_PREV
        cal gr_dec_iy
        cal gr_to_hi
        cal gr_span_left
        ldw iy, GR_ROWV
        cal gr_inc_iy
        cal gr_to_lo
        ldw iy, GR_TICK
        cal gr_dec_iy
        cal gr_to_hi
        jmp gr_span_right

; gr_inc_iy, gr_dec_iy: A := the number at iy plus or minus 1.
gr_inc_iy:
        cal load_a
        cal one_b
        jmp fadd
gr_dec_iy:
        cal load_a
        cal one_b
        jmp fsub

; gr_to_lo, gr_to_hi: the dot row of A (gr_code) into GR_LO or GR_HI.
gr_to_lo:
        cal gr_code
        ld r84, r36
        ldw iy, GR_LO - 1
        st (iy+1), r84
        rtn
gr_to_hi:
        cal gr_code
        ld r84, r36
        ldw iy, GR_HI - 1
        st (iy+1), r84
        rtn

; gr_mid: A := floor((A + P) / 2), P = GR_PREV.
gr_mid:
        ldw iy, GR_PREV
        cal load_b
        cal fadd
        ldw iz, gr_c_half
        cal load_b_rom
        cal fmul
        cal floor_a
        jmp finish

; gr_span_left, gr_span_right: the rows GR_LO..GR_HI (codes) of the column before this one,
; of this one.
gr_span_left:
        ldw iy, GR_COL - 1
        ld r38, (iy+1)
        sb r38, 1
        jmp gsp_go
gr_span_right:
        ldw iy, GR_COL - 1
        ld r38, (iy+1)
gsp_go:
        ldw iy, GR_LO - 1
        ld r36, (iy+1)
        ld r37, (iy+2)
        ; falls into gr_vspan

; --------------------------------------------------------------------------------------------
; gr_vspan: darkens column r38 (0..95) from row code r36 to row code r37 (codes 0..65: the
; row + 1; what lies outside rows 0..63 is left out). Clobbers r34..r37, r84..r86, ix, iy, f.
; --------------------------------------------------------------------------------------------
gr_vspan:
        tsb r36, 0
        jmp nz, gv_lo
        ld r36, 1
gv_lo:
        tsb r37, 65
        jmp nz, gv_hi
        ld r37, 64
gv_hi:
        ld r84, r37
        tsb r84, r36
        rtn c                           ; nothing left
        sb r84, r36
        ad r84, 1                       ; rows
        ld r34, r84
        sb r36, 1                       ; the first row
        cal gr_row_iy
        ld r86, r38
        ld r35, r86
gv_byte:
        tsb r35, 8
        jmp c, gv_mask
        sb r35, 8
        adw iy, 1
        jmp gv_byte
gv_mask:
        ldw ix, gr_bits
        adw ix, r35
        ld r86, (ix+0)
gv_dot:
        or (iy), r86
        adw iy, ROW_BYTES
        sb r34, 1
        jmp nz, gv_dot
        rtn

; gr_row_iy: iy := DISPLAY + 12 r36 (r36 = a dot row). Clobbers r36, r37, r84, r85, f.
gr_row_iy:
        ld r37, 0
        bium r36..r37
        bium r36..r37
        ldm r84..r85, r36..r37          ; 4 row
        bium r36..r37
        adm r36..r37, r84..r85          ; 12 row
        ldw iy, DISPLAY
        adw iy, r36
        ad r121, r37
        rtn

; gr_dot_iy: iy := the display byte of the dot at column r38, row r36 (0..63), r86 := its
; bit. Clobbers r35, r37, r84, r85, r87, ix, f.
gr_dot_iy:
        ld r87, r36
        cal gr_row_iy
        ld r36, r87
        ld r86, r38
        ld r35, r86
gdi_byte:
        tsb r35, 8
        jmp c, gdi_mask
        sb r35, 8
        adw iy, 1
        jmp gdi_byte
gdi_mask:
        ldw ix, gr_bits
        adw ix, r35
        ld r86, (ix+0)
        rtn

; --------------------------------------------------------------------------------------------
; gr_axes: the row of y = 0 and the column of x = 0, with their ticks.
; --------------------------------------------------------------------------------------------
gr_axes:
        cal zero_a                      ; the x axis: the row of y = 0
        cal gr_row
        cal gr_code
        ld r84, r36
        ldw iy, GR_AXROW - 1
        st (iy+1), r84
        tsb r36, 0
        jmp z, ga_yaxis
        tsb r36, 65
        jmp z, ga_yaxis
        ld r38, 0
ga_row:
        ldw iy, GR_AXROW - 1
        ld r36, (iy+1)
        ld r84, r36
        ld r37, r84
        cal gr_vspan
        ad r38, 1
        tsb r38, 96
        jmp c, ga_row
ga_yaxis:
        cal zero_a                      ; the y axis: the column of x = 0
        cal gr_col_of
        ld r84, r38
        ldw iy, GR_AXCOL - 1
        st (iy+1), r84
        tsb r38, 0
        jmp z, ga_xticks
        tsb r38, 97
        jmp z, ga_xticks
        sb r38, 1
        ld r36, 1
        ld r37, 64
        cal gr_vspan
ga_xticks:                              ; ticks on the x axis (when it is there)
        ldw iy, GR_AXROW - 1
        ld r36, (iy+1)
        tsb r36, 0
        jmp z, ga_yticks
        tsb r36, 65
        jmp z, ga_yticks
        ldw iy, GR_W
        cal gr_tick_start
ga_xtick:
        ldw iy, GR_TICK
        cal load_a
        ldw iy, GR_XMAX
        cal load_b
        cal fcmp
        tsb r82, 2
        jmp nz, ga_yticks               ; the tick is not below Xmax
        ldw iy, GR_TICK
        cal load_a
        cal gr_col_of
        tsb r38, 0
        jmp z, ga_xnext
        tsb r38, 97
        jmp z, ga_xnext
        sb r38, 1
        ldw iy, GR_AXROW - 1
        ld r36, (iy+1)
        sb r36, 1                       ; the row above the axis
        ld r84, r36
        ld r37, r84
        ldw iy, GR_LO - 1
        st (iy+1), r84
        ld r84, r38
        st (iy+2), r84
        cal gr_vspan
        ldw iy, GR_LO - 1
        ld r36, (iy+1)
        ld r38, (iy+2)
        ad r36, 2                       ; the row below
        ld r84, r36
        ld r37, r84
        cal gr_vspan
ga_xnext:
        cal gr_tick_next
        jmp c, ga_xtick
ga_yticks:                              ; ticks on the y axis
        ldw iy, GR_AXCOL - 1
        ld r38, (iy+1)
        tsb r38, 0
        rtn z
        tsb r38, 97
        rtn z
        ldw iy, GR_H
        cal gr_tick_start
ga_ytick:
        ldw iy, GR_TICK
        cal load_a
        ldw iy, GR_YMAX
        cal load_b
        cal fcmp
        tsb r82, 2
        rtn nz
        ldw iy, GR_TICK
        cal load_a
        cal gr_row
        cal gr_code
        tsb r36, 0
        jmp z, ga_ynext
        tsb r36, 65
        jmp z, ga_ynext
        ld r84, r36
        ld r37, r84
        ldw iy, GR_LO - 1
        st (iy+1), r84
        ldw iy, GR_AXCOL - 1
        ld r38, (iy+1)
        sb r38, 2                       ; the column on the left (code - 1 - 1)
        jmp c, ga_yright
        cal gr_vspan
ga_yright:
        ldw iy, GR_LO - 1
        ld r36, (iy+1)
        ld r84, r36
        ld r37, r84
        ldw iy, GR_AXCOL - 1
        ld r38, (iy+1)
        tsb r38, 96                     ; the column on the right (code - 1 + 1)
        jmp z, ga_ynext
        cal gr_vspan
ga_ynext:
        cal gr_tick_next
        jmp c, ga_ytick
        rtn

; gr_tick_start: takes iy = the width W or H of the axis, with its minimum 10 bytes before
; its maximum ... GR_STEP := the smallest power of ten above width / 25; GR_TICK := the
; first multiple of it not below the minimum; GR_COUNT := 40, the most ticks drawn.
gr_tick_start:
        ld r84, r57                     ; the minimum: Xmin for W, Ymin for H
        ld r36, r84
        cal load_a
        ldw iz, gr_c_25
        cal load_b_rom
        cal fdiv
        cal finish
        ldm r64..r71, 0
        ld r71, 0x10
        ad r80, 1                       ; 0.1 x 10^(e + 1 - 128)
        ld r81, 0
        ldw iy, GR_STEP
        cal store_a
        ldw iy, GR_XMIN
        tsb r36, low(GR_W)
        jmp z, gts_min
        ldw iy, GR_YMIN
gts_min:
        cal load_a                      ; ceil(min / s) s = -floor(-min / s) s
        cal neg_a
        ldw iy, GR_STEP
        cal load_b
        cal fdiv
        cal floor_a
        cal neg_a
        ldw iy, GR_STEP
        cal load_b
        cal fmul
        cal finish
        ldw iy, GR_TICK
        cal store_a
        ldw iy, GR_COUNT - 1
        ld r34, 40
        st (iy+1), r34
        rtn

; gr_tick_next: GR_TICK += GR_STEP; C set while fewer than GR_COUNT ticks were drawn.
gr_tick_next:
        ldw iy, GR_TICK
        cal load_a
        ldw iy, GR_STEP
        cal load_b
        cal fadd
        cal finish
        ldw iy, GR_TICK
        cal store_a
        ldw iy, GR_COUNT - 1
        ld r34, (iy+1)
        sb r34, 1
        st (iy+1), r34
        tsb r34, 0
        jmp z, gtn_end
        tsb r34, 200                    ; C := 1
        rtn
gtn_end:
        tsb r34, 0                      ; C := 0
        rtn

; --------------------------------------------------------------------------------------------
; gr_trace_show: the trace at column GR_TCOL on function GR_FN: X= on line 0, Y= on line 7
; (or the error word), and a mark (a small cross, turned over) at the point when it lies
; between the two lines.
; --------------------------------------------------------------------------------------------
gr_trace_show:
        ldw iy, GR_FN - 1               ; no curve, no trace
        ld r34, (iy+1)
        ad r34, 1
        cal gr_func_iy
        ld r34, (iy+1)
        tsb r34, 0
        rtn z
        ld r115, 1
        cal gr_mark                     ; the old mark goes
        ldw iy, GR_MCOL - 1
        ld r34, 0xFF
        st (iy+1), r34
        cal fill_text
        ldw iy, GR_TCOL - 1
        ld r84, (iy+1)
        ldw iy, GR_COL - 1
        st (iy+1), r84
        ld r36, r84
        cal gr_x_of_col
        cal fmt_number
        ldw iy, TEXT_STATUS - 1
        ld r84, 'X'
        st +(iy), r84
        ld r84, '='
        st +(iy), r84
        ld r84, 14
        cal gr_put_fmt
        ldw iy, GR_FN - 1               ; Y1= .. Y3= on line 7
        ld r34, (iy+1)
        ad r34, 1
        ldw ix, gr_labels - 6
gts_find:
        adw ix, 6
        sb r34, 1
        jmp nz, gts_find
        ldw iy, TEXT_RESULT - 1
        cal put_msg
        cal gr_eval_col
        tsb r49, ERR_NONE
        jmp nz, gts_error
        ldw iy, GR_TICK
        cal store_a
        cal fmt_number
        ldw iy, TEXT_RESULT + 2
        ld r84, 13
        cal gr_put_fmt
        cal gr_trace_lines
        ldw iy, GR_TICK                 ; the mark, between the two lines
        cal load_a
        cal gr_row
        cal gr_code
        tsb r36, 10
        rtn c
        tsb r36, 56
        rtn nc
        sb r36, 1
        ld r84, r36
        ldw iy, GR_MROW - 1
        st (iy+1), r84
        ldw iy, GR_TCOL - 1
        ld r84, (iy+1)
        ldw iy, GR_MCOL - 1
        st (iy+1), r84
        ld r115, 0
        jmp gr_mark
gts_error:
        ldw ix, err_words
        ld r84, r49
gts_word:
        sb r84, 1
        jmp z, gts_put_word
        adw ix, 13
        jmp gts_word
gts_put_word:
        ldw iy, TEXT_RESULT + 2
        cal put_msg
        ld r49, ERR_NONE
gr_trace_lines:
        ld r85, 0
        cal draw_line
        ld r85, 7
        jmp draw_line

; gr_put_fmt: FMT_BUF (r87 characters, at most r84 of them) into the text after iy.
gr_put_fmt:
        ld r34, r87
        tsb r34, r84
        jmp c, gpf_copy
        ld r34, r84
gpf_copy:
        ldw ix, FMT_BUF - 1
        pst ds, DS_RAM
        bup r34
        pst ds, DS_MAIN
        rtn

; gr_mark: r115 = 0 puts the mark at GR_MCOL, GR_MROW (none: 0xFF): five dots made dark, a
; small cross, their old values kept in GR_MSAVE; r115 = 1 takes it away, giving them back.
; Clobbers r34..r39, r84..r87, r114, ix, iy, f.
gr_mark:
        ldw iy, GR_MCOL - 1
        ld r38, (iy+1)
        tsb r38, 0xFF
        rtn z
        ld r36, (iy+2)
        ldw iy, GR_MSAVE - 1
        ld r39, (iy+1)
        tsb r115, 0
        jmp nz, gm_go
        ld r39, 0
gm_go:
        ld r114, 1
        cal gr_mdot
        sb r36, 1
        cal gr_mdot
        ad r36, 2
        cal gr_mdot
        sb r36, 1
        tsb r38, 0
        jmp z, gm_right
        sb r38, 1
        cal gr_mdot
        ad r38, 1
gm_right:
        tsb r38, 95
        jmp z, gm_done
        ad r38, 1
        cal gr_mdot
gm_done:
        ldw iy, GR_MSAVE - 1
        st (iy+1), r39
        rtn

; gr_mdot: one dot of the mark (column r38, row r36, bit r114 of the saved values r39).
gr_mdot:
        cal gr_dot_iy
        ld r34, (iy+0)
        an r34, r86
        tsb r115, 0
        jmp nz, gmd_off
        tsb r34, 0
        jmp z, gmd_set
        or r39, r114                    ; it was dark
gmd_set:
        or (iy), r86
        jmp gmd_next
gmd_off:
        ld r85, r39
        ld r34, r114
        an r34, r85
        jmp nz, gmd_next
        xr (iy), r86                    ; it was light
gmd_next:
        biu r114
        rtn

; --------------------------------------------------------------------------------------------
; Tables and constants.
; --------------------------------------------------------------------------------------------
gr_sig_bytes:
        db 'V', 'G', 'R', '1'
gr_bits:
        db 0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01
gr_labels:                              ; 6 bytes each: a length and the characters
        db 3, 'Y', '1', '=', 0, 0
        db 3, 'Y', '2', '=', 0, 0
        db 3, 'Y', '3', '=', 0, 0
        db 5, 'X', 'm', 'i', 'n', '='
        db 5, 'X', 'm', 'a', 'x', '='
        db 5, 'Y', 'm', 'i', 'n', '='
        db 5, 'Y', 'm', 'a', 'x', '='
gr_hint:
        db 9, CH_UP, CH_DOWN, ' ', '=', ' ', 'D', 'R', 'A', 'W'
; Number records: 8 mantissa bytes (least significant first), exponent + 128, sign.
gr_c_xmin:
        db 0, 0, 0, 0, 0, 0, 0, 0x10, 130, 1        ; -10
gr_c_ymin:
        db 0, 0, 0, 0, 0, 0, 0, 0x64, 129, 1        ; -6.4
gr_c_96:
        db 0, 0, 0, 0, 0, 0, 0, 0x96, 130, 0        ; 96
gr_c_64:
        db 0, 0, 0, 0, 0, 0, 0, 0x64, 130, 0        ; 64
gr_c_25:
        db 0, 0, 0, 0, 0, 0, 0, 0x25, 130, 0        ; 25
gr_c_half:
        db 0, 0, 0, 0, 0, 0, 0, 0x50, 128, 0        ; 0.5
gr_c_quarter:
        db 0, 0, 0, 0, 0, 0, 0, 0x25, 128, 0        ; 0.25
gr_c_one:
        db 0, 0, 0, 0, 0, 0, 0, 0x10, 129, 0        ; 1
gr_c_far:
        db 0, 0, 0, 0, 0, 0, 0, 0x10, 179, 0        ; 1E50
; c / 96 for the columns c = 0..95, rounded to 15 digits (written with Python's decimal module)
gr_fracs:
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00   ; 0/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x10, 0x7F, 0x00   ; 1/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x20, 0x7F, 0x00   ; 2/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x25, 0x31, 0x7F, 0x00   ; 3/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x7F, 0x00   ; 4/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x08, 0x52, 0x7F, 0x00   ; 5/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x7F, 0x00   ; 6/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x72, 0x7F, 0x00   ; 7/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x7F, 0x00   ; 8/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x93, 0x7F, 0x00   ; 9/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x10, 0x80, 0x00   ; 10/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x45, 0x11, 0x80, 0x00   ; 11/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x12, 0x80, 0x00   ; 12/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x54, 0x13, 0x80, 0x00   ; 13/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x58, 0x14, 0x80, 0x00   ; 14/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x15, 0x80, 0x00   ; 15/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x16, 0x80, 0x00   ; 16/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x70, 0x17, 0x80, 0x00   ; 17/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x18, 0x80, 0x00   ; 18/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x79, 0x19, 0x80, 0x00   ; 19/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x20, 0x80, 0x00   ; 20/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x87, 0x21, 0x80, 0x00   ; 21/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x22, 0x80, 0x00   ; 22/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x95, 0x23, 0x80, 0x00   ; 23/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x25, 0x80, 0x00   ; 24/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x04, 0x26, 0x80, 0x00   ; 25/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x08, 0x27, 0x80, 0x00   ; 26/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x12, 0x28, 0x80, 0x00   ; 27/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x16, 0x29, 0x80, 0x00   ; 28/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x20, 0x30, 0x80, 0x00   ; 29/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x25, 0x31, 0x80, 0x00   ; 30/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x29, 0x32, 0x80, 0x00   ; 31/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x80, 0x00   ; 32/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x37, 0x34, 0x80, 0x00   ; 33/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x35, 0x80, 0x00   ; 34/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x45, 0x36, 0x80, 0x00   ; 35/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x37, 0x80, 0x00   ; 36/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x54, 0x38, 0x80, 0x00   ; 37/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x58, 0x39, 0x80, 0x00   ; 38/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x40, 0x80, 0x00   ; 39/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x80, 0x00   ; 40/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x70, 0x42, 0x80, 0x00   ; 41/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x43, 0x80, 0x00   ; 42/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x79, 0x44, 0x80, 0x00   ; 43/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x45, 0x80, 0x00   ; 44/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x87, 0x46, 0x80, 0x00   ; 45/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x47, 0x80, 0x00   ; 46/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x95, 0x48, 0x80, 0x00   ; 47/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x80, 0x00   ; 48/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x04, 0x51, 0x80, 0x00   ; 49/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x08, 0x52, 0x80, 0x00   ; 50/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x12, 0x53, 0x80, 0x00   ; 51/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x16, 0x54, 0x80, 0x00   ; 52/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x20, 0x55, 0x80, 0x00   ; 53/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x25, 0x56, 0x80, 0x00   ; 54/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x29, 0x57, 0x80, 0x00   ; 55/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x58, 0x80, 0x00   ; 56/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x37, 0x59, 0x80, 0x00   ; 57/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x60, 0x80, 0x00   ; 58/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x45, 0x61, 0x80, 0x00   ; 59/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x80, 0x00   ; 60/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x54, 0x63, 0x80, 0x00   ; 61/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x58, 0x64, 0x80, 0x00   ; 62/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x65, 0x80, 0x00   ; 63/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x80, 0x00   ; 64/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x70, 0x67, 0x80, 0x00   ; 65/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x68, 0x80, 0x00   ; 66/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x79, 0x69, 0x80, 0x00   ; 67/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x70, 0x80, 0x00   ; 68/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x87, 0x71, 0x80, 0x00   ; 69/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x72, 0x80, 0x00   ; 70/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x95, 0x73, 0x80, 0x00   ; 71/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x80, 0x00   ; 72/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x04, 0x76, 0x80, 0x00   ; 73/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x08, 0x77, 0x80, 0x00   ; 74/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x12, 0x78, 0x80, 0x00   ; 75/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x16, 0x79, 0x80, 0x00   ; 76/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x20, 0x80, 0x80, 0x00   ; 77/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x25, 0x81, 0x80, 0x00   ; 78/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x29, 0x82, 0x80, 0x00   ; 79/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x80, 0x00   ; 80/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x37, 0x84, 0x80, 0x00   ; 81/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x41, 0x85, 0x80, 0x00   ; 82/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x45, 0x86, 0x80, 0x00   ; 83/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x87, 0x80, 0x00   ; 84/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x54, 0x88, 0x80, 0x00   ; 85/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x58, 0x89, 0x80, 0x00   ; 86/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x62, 0x90, 0x80, 0x00   ; 87/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x80, 0x00   ; 88/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x70, 0x92, 0x80, 0x00   ; 89/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x75, 0x93, 0x80, 0x00   ; 90/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x16, 0x79, 0x94, 0x80, 0x00   ; 91/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x33, 0x83, 0x95, 0x80, 0x00   ; 92/96
        db 0x00, 0x00, 0x00, 0x00, 0x00, 0x50, 0x87, 0x96, 0x80, 0x00   ; 93/96
        db 0x70, 0x66, 0x66, 0x66, 0x66, 0x66, 0x91, 0x97, 0x80, 0x00   ; 94/96
        db 0x30, 0x33, 0x33, 0x33, 0x33, 0x83, 0x95, 0x98, 0x80, 0x00   ; 95/96
