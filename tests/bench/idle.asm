; Benchmark workload: the idle loop. The processor waits with wai; the timer interrupt of
; source 3 wakes it, its routine counts the ticks and returns.

STACK   equ &h1F00
ROWTIME equ 16              ; a display row every 256 cycles
TIMER   equ 64              ; an interrupt every 64 rows
LCD_ON  equ &h09
IE_TIMR equ &h88

        org 0
        ldw sp,STACK
        ldw v3,tick
        pst s5,ROWTIME
        pst tm,TIMER
        pst s6,LCD_ON
        pst ie,IE_TIMR
idle:   wai
        jmp idle

tick:   ad r96,1
        rti
