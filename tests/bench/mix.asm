; Benchmark workload: an instruction mix. Register ALU operations in every form, decimal
; runs, loads and stores through pointers, memory read-modify-write, adw/sbw, calls, returns
; and jumps, with the display on and the timer interrupt of source 3 running.
; The build assembles it twice: with CODE = &h0010 (internal ROM) and CODE = &h2000 (external).

STACK   equ &h1F00          ; return stack at the top of RAM
DATA    equ &h0200          ; bytes the pointer instructions walk over
SCREEN  equ &h1000          ; display RAM
DS_RAM  equ &h3F            ; ix, iy and sp all address RAM (area 3)
PE_UP   equ &h40            ; display data lies upward from LA
ROWLAST equ 11              ; 12 bytes per display row
ROWTIME equ 4               ; a display row every 4 x 16 cycles
TIMER   equ 8               ; timer interrupt every 8 rows
LCD_ON  equ &h09            ; display on, 65 rows
IE_TIMR equ &h88            ; master enable and source 3

        org 0
        jmp start

        org CODE
start:  ldw sp,STACK
        ldw v3,tick
        pst ds,DS_RAM
        ldw iz,SCREEN
        pla iz
        pst pe,PE_UP
        pst s7,ROWLAST
        pst s5,ROWTIME
        pst tm,TIMER
        pst s6,LCD_ON
        ldw ix,DATA
        ldw iy,DATA
        pst ie,IE_TIMR

loop:   ad r1,r65
        sb r66,r2
        adb r3,&h15
        tad r4,r68
        xc r5,r69
        an r6,&h7F
        or r70,r7
        adbm r8..r11,r72..r75
        sbbm r16..r19,r80..r83
        adm r24..r27,5
        didm r8..r11
        ld r6,(ix)+
        st -(ix),r6
        ad (iy),r6
        or (iy),&h01
        adw iy,1
        sbw iy,1
        cal sub
        stm -(sp),r8..r11
        ldm r8..r11,(sp)+
        jmp loop

sub:    rou r7
        rtn

; Timer interrupt: count the ticks in r96.
tick:   ad r96,1
        rti
