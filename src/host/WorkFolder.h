// The working folder: the one folder that holds everything the calculator uses (firmware,
// saved memory, key map, face, settings), found there by bare name. The desktop program works
// in the current directory, in a folder named with --dir, or in the user's data folder
// (--user); missing default files are copied in from the installed (or built) defaults first,
// never over a file that is already there.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The files a working folder is given from the defaults when it lacks them.
inline constexpr std::array<const char*, 4> kDefaultFiles = {"rom0.bin", "rom1.bin", "face.bmp",
                                                             "keymap.dat"};

// The default firmware's symbol file: given to a working folder only together with the default
// firmware (when rom0.bin and rom1.bin were both copied in), since it names nothing in another.
inline constexpr const char* kDefaultSymbolFile = "symbols.sym";

// Reads an environment variable: null when it is not set. std::getenv in the programs.
using EnvLookup = std::function<const char*(const char* name)>;

// The user's data folder for the calculator: $XDG_DATA_HOME/velmora when XDG_DATA_HOME is an
// absolute path, else ~/.local/share/velmora (the home folder from $HOME, else the password
// database). No value when no home folder can be found.
std::optional<std::filesystem::path> UserDataFolder(const EnvLookup& env);

// Creates FOLDER (and its parents) when missing and makes it the current directory. On failure
// returns the reason and leaves the current directory as it was. A folder created for the
// user's data (privateFolder) is made readable by its owner only.
std::optional<std::string> EnterWorkFolder(const std::filesystem::path& folder,
                                           bool privateFolder = false);

// The folder the program works in, as an absolute path (the current directory).
std::filesystem::path WorkFolder();

// The running program's own file (empty when the system cannot tell).
std::filesystem::path ProgramFile();

// The folders that may hold the default files, to be searched in order: the installed data
// folder beside PROGRAM's folder (<prefix>/share/velmora for <prefix>/bin), or, for a program
// run from its build folder, the build's data and firmware folders.
std::vector<std::filesystem::path> DefaultFileFolders(const std::filesystem::path& program);

// Copies each of kDefaultFiles that the current directory lacks from the first of FOLDERS that
// has it, and kDefaultSymbolFile with the default firmware. A name that is present in any form (a
// file, a folder, even a dangling link) is never touched. A copy appears whole or not at all. A
// copy that fails is reported ("Failed to save the file NAME") and the others go on. Returns the
// names copied.
std::vector<std::string> SeedDefaultFiles(const std::vector<std::filesystem::path>& folders);
