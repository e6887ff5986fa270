// A small program that keeps every part of the machine busy, for the state and history tests:
// the timer interrupt of source 3 every 6 display rows (its routine pushes and pops), the
// display transfer from RAM it keeps changing, a key scan with pst/gst, and a wai every 64
// rounds of its loop.
#pragma once

#include "core/Cpu.h"
#include "core/Machine.h"
#include "debug/Program.h"
#include "host/RunLoop.h"
#include "host/State.h"

#include <algorithm>
#include <cstdint>
#include <vector>

inline constexpr const char* kBusySource = R"(
STACK   equ &h1F00
        org 0
        ldw sp,STACK
        ldw v3,tick
        pst ds,&h3F
        ldw iz,&h1000
        pla iz
        pst pe,&h40
        pst s7,11
        pst s5,4
        pst tm,6
        pst s6,&h09
        ldw iy,&h1001
        pst ie,&h88
loop:   pst ky,&hFF
        gst r10,ky
        ad r75,r10
        ad (iy),r75
        adw iy,1
        ad r12,1
        an r12,&h3F
        jmp nz,loop
        ldw iy,&h1001
        wai
        jmp loop
tick:   ad r96,1
        st -(sp),r96
        ld r97,(sp)+
        rti
)";

inline const ProgramImage& BusyProgram() {
    static const ProgramImage image = AssembleProgram(kBusySource);
    return image;
}

// The machine as the desktop program starts it, running the busy program.
inline void BootBusy(int32_t cyclesPerTick) {
    ResetMachine();
    const ProgramImage& p = BusyProgram();
    std::copy(p.Rom.begin(), p.Rom.end(), g_cpu.Rom);
    std::copy(p.Ext.begin(), p.Ext.end(), g_cpu.Ext);
    StartEmulation();
    g_run.CyclesPerTick = cyclesPerTick;
}

inline std::vector<uint8_t> MachineImage() {
    std::vector<uint8_t> image(MachineImageBytes());
    CaptureMachine(image.data());
    return image;
}
