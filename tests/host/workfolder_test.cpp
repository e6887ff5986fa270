// The working folder: the user's data folder, entering a folder, where the defaults are found,
// copying them in without ever touching a name that is there; and the display check.
#include "../support/TestFiles.h"

#include "Support.h"

#include "BuildInfo.h"
#include "host/Display.h"
#include "host/WorkFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {
using testfiles::Slurp;

// An environment of its own for each case.
EnvLookup Env(std::map<std::string, std::string> vars) {
    return [vars = std::move(vars)](const char* name) -> const char* {
        const auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
}

TEST(WorkFolder, UserDataFolderFollowsXdgThenHome) {
    struct Case {
        std::map<std::string, std::string> env;
        const char* expected;
    };
    const Case cases[] = {
        {{{"XDG_DATA_HOME", "/x/data"}, {"HOME", "/home/u"}}, "/x/data/velmora"},
        {{{"XDG_DATA_HOME", "relative/data"}, {"HOME", "/home/u"}}, "/home/u/.local/share/velmora"},
        {{{"XDG_DATA_HOME", ""}, {"HOME", "/home/u"}}, "/home/u/.local/share/velmora"},
        {{{"HOME", "/home/u"}}, "/home/u/.local/share/velmora"},
        {{{"XDG_DATA_HOME", "/x/data"}}, "/x/data/velmora"},
    };
    for (const Case& c : cases) {
        const auto folder = UserDataFolder(Env(c.env));
        ASSERT_TRUE(folder.has_value()) << c.expected;
        EXPECT_EQ(folder->string(), c.expected);
    }
    // No HOME at all: the password database's home folder.
    const auto fallback = UserDataFolder(Env({}));
    ASSERT_TRUE(fallback.has_value());
    EXPECT_TRUE(fallback->is_absolute()) << *fallback;
    EXPECT_EQ(fallback->filename(), "velmora");
}

TEST(WorkFolder, EnterCreatesTheFolderOrLeavesTheCurrentOneAlone) {
    ScratchDir scratch;
    const fs::path base = scratch.Path();

    ASSERT_EQ(EnterWorkFolder(base / "a" / "b" / "c"), std::nullopt);
    EXPECT_TRUE(fs::equivalent(WorkFolder(), base / "a" / "b" / "c"));
    EXPECT_TRUE(WorkFolder().is_absolute());

    // The user's data folder is made private when created; an existing one keeps its mode.
    ASSERT_EQ(EnterWorkFolder(base / "private", true), std::nullopt);
    EXPECT_EQ(fs::status(base / "private").permissions() & fs::perms::all, fs::perms::owner_all);
    fs::create_directory(base / "shared");
    fs::permissions(base / "shared", fs::perms::all);
    ASSERT_EQ(EnterWorkFolder(base / "shared", true), std::nullopt);
    EXPECT_EQ(fs::status(base / "shared").permissions() & fs::perms::all, fs::perms::all);

    // A file where the folder should be, a path through a file, no name: an error each, and
    // the current directory stays.
    WriteText((base / "file").string(), "x");
    const fs::path before = WorkFolder();
    for (const fs::path& bad : {base / "file", base / "file" / "sub", fs::path()}) {
        const auto error = EnterWorkFolder(bad);
        ASSERT_TRUE(error.has_value()) << bad;
        EXPECT_FALSE(error->empty());
        EXPECT_EQ(WorkFolder(), before) << bad;
    }
}

TEST(WorkFolder, DefaultsAreBesideTheInstalledProgramOrInTheBuild) {
    EXPECT_EQ(std::string(kDataFolderFromPrograms), "../share/velmora"); // GNUInstallDirs
    EXPECT_EQ(DefaultFileFolders("/opt/v/bin/velmora"),
              std::vector<fs::path>{"/opt/v/share/velmora"});
    EXPECT_EQ(DefaultFileFolders(fs::path(kBuildFolder) / "velmora"),
              (std::vector<fs::path>{kBuildFirmwareFolder, kBuildDataFolder}));
    EXPECT_TRUE(DefaultFileFolders({}).empty());
    EXPECT_FALSE(ProgramFile().empty());
}

TEST(WorkFolder, SeedingCopiesOnlyWhatIsMissing) {
    ScratchDir scratch;
    const fs::path installed = scratch.Path() / "installed";
    const fs::path second = scratch.Path() / "second";
    fs::create_directories(installed);
    fs::create_directories(second);
    WriteText((installed / "rom0.bin").string(), "default rom0");
    WriteText((installed / "face.bmp").string(), "default face");
    WriteText((second / "rom0.bin").string(), "second rom0");
    WriteText((second / "rom1.bin").string(), "second rom1");
    WriteText((second / "keymap.dat").string(), "second keymap");

    struct Case {
        const char* what;
        std::function<void()> prepare; // in the working folder
        std::vector<std::string> copied;
        std::map<std::string, std::string> contents; // afterwards
        std::function<void()> check = [] {};
    };
    const Case cases[] = {
        {"empty folder: each name from the first folder that has it",
         [] {},
         {"rom0.bin", "rom1.bin", "face.bmp", "keymap.dat"},
         {{"rom0.bin", "default rom0"},
          {"rom1.bin", "second rom1"},
          {"face.bmp", "default face"},
          {"keymap.dat", "second keymap"}}},
        {"the user's files stay",
         [] {
             WriteText("rom0.bin", "my rom0");
             WriteText("keymap.dat", "");
         },
         {"rom1.bin", "face.bmp"},
         {{"rom0.bin", "my rom0"},
          {"rom1.bin", "second rom1"},
          {"face.bmp", "default face"},
          {"keymap.dat", ""}}},
        {"a folder, a dangling link and a read-only file are names that are there",
         [] {
             fs::create_directory("face.bmp");
             fs::create_symlink("nowhere", "rom1.bin");
             WriteText("rom0.bin", "read-only");
             fs::permissions("rom0.bin", fs::perms::owner_read);
         },
         {"keymap.dat"},
         {{"rom0.bin", "read-only"}, {"keymap.dat", "second keymap"}},
         [] {
             EXPECT_TRUE(fs::is_directory(fs::symlink_status("face.bmp")));
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status("rom1.bin")));
             EXPECT_FALSE(fs::exists("nowhere"));
         }},
    };
    for (const Case& c : cases) {
        const fs::path work = scratch.Path() / "work";
        fs::remove_all(work);
        fs::create_directory(work);
        fs::current_path(work);
        c.prepare();
        g_warnings.clear();
        EXPECT_EQ(SeedDefaultFiles({installed, second}), c.copied) << c.what;
        EXPECT_TRUE(g_warnings.empty()) << c.what << ": " << g_warnings.front();
        for (const auto& [name, text] : c.contents) EXPECT_EQ(Slurp(name), text) << c.what;
        c.check();
        // Nothing else is left behind (no temporary files).
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(work)) ++entries;
        EXPECT_LE(entries, 4u) << c.what;
        fs::current_path(scratch.Path());
        std::error_code ec;
        fs::permissions(work / "rom0.bin", fs::perms::owner_all, ec);
    }
}

TEST(WorkFolder, SeedingCopiesACopyOfTheWholeFileWithTheUsualMode) {
    ScratchDir scratch;
    fs::create_directory("defaults");
    const auto face = Pattern(830000, 7);
    WriteFile("defaults/face.bmp", face);
    fs::permissions("defaults/face.bmp", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory("work");
    fs::current_path("work");
    const mode_t mask = ::umask(022);
    EXPECT_EQ(SeedDefaultFiles({scratch.Path() / "defaults"}),
              std::vector<std::string>{"face.bmp"});
    ::umask(mask);
    EXPECT_EQ(ReadFile("face.bmp"), face);
    EXPECT_EQ(fs::status("face.bmp").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    fs::current_path(scratch.Path());
}

TEST(WorkFolder, WithoutDefaultsNothingHappensAndFailuresAreReported) {
    ScratchDir scratch;
    EXPECT_TRUE(SeedDefaultFiles({scratch.Path() / "missing"}).empty());
    EXPECT_TRUE(SeedDefaultFiles({}).empty());
    EXPECT_TRUE(g_warnings.empty());
    EXPECT_TRUE(fs::is_empty(scratch.Path()));

    // A working folder that is gone: the copies cannot be written, each is reported.
    fs::create_directory("defaults");
    WriteText("defaults/rom0.bin", "r0");
    WriteText("defaults/keymap.dat", "km");
    fs::create_directory("gone");
    fs::current_path("gone");
    fs::remove(scratch.Path() / "gone");
    EXPECT_TRUE(SeedDefaultFiles({scratch.Path() / "defaults"}).empty());
    EXPECT_EQ(g_warnings, (std::vector<std::string>{"Failed to save the file rom0.bin",
                                                    "Failed to save the file keymap.dat"}));
    fs::current_path(scratch.Path());
}

TEST(Display, MissingOnlyWhenNoPlatformCanHaveOne) {
    ScratchDir scratch;
    fs::create_directory("runtime");
    WriteText("runtime/wayland-0", "");
    const std::string runtime = (scratch.Path() / "runtime").string();
    struct Case {
        std::map<std::string, std::string> env;
        bool missing;
    };
    const Case cases[] = {
        {{}, true},
        {{{"DISPLAY", ":0"}}, false},
        {{{"DISPLAY", ""}}, true},
        {{{"WAYLAND_DISPLAY", "wayland-1"}}, false},
        {{{"XDG_RUNTIME_DIR", runtime}}, false}, // the default Wayland socket
        {{{"XDG_RUNTIME_DIR", "/nonexistent"}}, true},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, false},
        {{{"QT_QPA_PLATFORM", "offscreen:size=100x100"}}, false},
        {{{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "w"}}, true},
        {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":1"}}, false},
        {{{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":1"}}, true},
        {{{"QT_QPA_PLATFORM", "wayland-egl"}, {"WAYLAND_DISPLAY", "w"}}, false},
        {{{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}, false},
        {{{"QT_QPA_PLATFORM", " xcb ; wayland "}}, true},
        {{{"QT_QPA_PLATFORM", "xcb;offscreen"}}, false},
        {{{"QT_QPA_PLATFORM", "linuxfb"}}, false},
    };
    for (const Case& c : cases) {
        const std::string text = MissingDisplay(Env(c.env));
        std::string description;
        for (const auto& [k, v] : c.env) description += k + "=" + v + " ";
        EXPECT_EQ(!text.empty(), c.missing) << description << "-> " << text;
    }
    EXPECT_EQ(MissingDisplay(Env({{"QT_QPA_PLATFORM", "xcb"}})), "no display: DISPLAY is not set");
    EXPECT_EQ(MissingDisplay(Env({{"QT_QPA_PLATFORM", "wayland"}})),
              "no display: WAYLAND_DISPLAY is not set");
    EXPECT_EQ(MissingDisplay(Env({})), "no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
}

} // namespace
