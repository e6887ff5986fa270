// Files beside the program: the settings file, the firmware images, the saved RAM and
// register file, and the key map. All are found by bare name in the current directory.
#pragma once

// Reads "velmora.ini" (section Settings: OscFreq, SelfTest) into g_run.
void LoadSettings();
// Reads keymap.dat, rom0.bin, rom1.bin, ram.bin and register.bin, in this order.
void LoadImages();
// Writes ram.bin and then register.bin.
void SaveImages();
