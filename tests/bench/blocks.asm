; Benchmark workload: block transfers and block searches, repeated for ever.

DS_RAM  equ &h3F            ; ix and iy address RAM
SOURCE  equ &h0100
TARGET  equ &h0800
COUNT   equ 64              ; bytes per transfer
SEARCH  equ 200             ; bytes per search (the value is never found)
ABSENT  equ &hAA

        org 0
        pst ds,DS_RAM
        ld r8,ABSENT
loop:   ldw ix,SOURCE
        ldw iy,TARGET
        ld r32,COUNT
        bup r32
        ldw ix,TARGET
        ld r97,SEARCH
        sup r97,r8
        ldw ix,SOURCE
        ld r97,SEARCH
        sdn r97,r8
        jmp loop
