// The installed programs, run from the prefix the install_prefix fixture filled, each in a
// folder of its own: what is installed, --version and --help, the man pages against --help,
// the headless runner over the installed firmware, and the desktop program's working folder.
#include "../support/TestFiles.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
using testfiles::Slurp;

const fs::path kPrefix = VELMORA_PREFIX;
const std::string kVersion = VELMORA_VERSION;
const std::string kAppId = VELMORA_APP_ID;
const char* const kPrograms[] = {"velmora", "velmora-headless", "velmora-asm", "velmora-dis"};
const char* const kDefaults[] = {"rom0.bin", "rom1.bin", "face.bmp", "keymap.dat"};

// Environment changes for a child: a value sets the variable, no value removes it.
using EnvChanges = std::map<std::string, std::optional<std::string>>;

struct Result {
    int Code = -1; // exit status, or -1 when ended by a signal
    std::string Out, Err;
};

// Starts PROGRAM (installed) with ARGS in DIR; standard output and error go to files in DIR's
// parent, named after the child's process id.
pid_t Start(const fs::path& dir, const std::string& program, const std::vector<std::string>& args,
            const EnvChanges& env, const fs::path& out, const fs::path& err) {
    const std::string path = (kPrefix / "bin" / program).string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        for (const auto& [name, value] : env) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr))
            ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kPrefix / "bin" / "velmora"))
            << "no installed programs in " << kPrefix << ": run this test through ctest";
        root_ = fs::path(VELMORA_SCRATCH) /
                ("scratch-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "empty");
    }
    void TearDown() override { fs::remove_all(root_); }

    // Runs PROGRAM to its end in DIR (by default an empty folder).
    Result Run(const std::string& program, const std::vector<std::string>& args,
               const EnvChanges& env = {}, std::optional<fs::path> dir = std::nullopt) {
        const fs::path out = root_ / "out.txt", err = root_ / "err.txt";
        const pid_t pid = Start(dir.value_or(root_ / "empty"), program, args, env, out, err);
        Result r;
        r.Code = Wait(pid);
        r.Out = Slurp(out);
        r.Err = Slurp(err);
        return r;
    }

    // Starts the desktop program offscreen in DIR, waits until its working folder WORK holds
    // every default file (or 20 s pass, or the program ends), then ends it. Returns whether
    // the program was still running when the files were there.
    bool RunDesktopUntilSeeded(const std::vector<std::string>& args, const fs::path& dir,
                               const fs::path& work, const EnvChanges& env = {}) {
        EnvChanges all = env;
        all.emplace("QT_QPA_PLATFORM", "offscreen");
        all.emplace("HOME", (root_ / "home").string()); // Qt's own files stay in the scratch

        const pid_t pid =
            Start(dir, "velmora", args, all, root_ / "desktop-out.txt", root_ / "desktop-err.txt");
        bool running = false;
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) return false;
            bool all_there = true;
            for (const char* name : kDefaults) all_there = all_there && fs::exists(work / name);
            if (all_there) {
                running = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        return running;
    }

    fs::path root_;
};

TEST_F(Installed, EveryFileIsWhereTheDesktopLooksForIt) {
    std::vector<std::string> expected;
    for (const char* program : kPrograms) {
        expected.push_back(std::string("bin/") + program);
        expected.push_back(std::string("share/man/man1/") + program + ".1.gz");
    }
    for (const char* name : kDefaults) expected.push_back(std::string("share/velmora/") + name);
    expected.push_back("share/applications/" + kAppId + ".desktop");
    expected.push_back("share/metainfo/" + kAppId + ".metainfo.xml");
    std::istringstream sizes(VELMORA_ICON_SIZES);
    for (std::string size; sizes >> size;)
        expected.push_back("share/icons/hicolor/" + size + "x" + size + "/apps/" + kAppId + ".png");
    expected.push_back("share/doc/velmora/copyright");
    for (const std::string& file : expected) {
        EXPECT_TRUE(fs::is_regular_file(kPrefix / file)) << file;
        EXPECT_GT(fs::file_size(kPrefix / file), 0u) << file;
    }
    for (const char* program : kPrograms) {
        const auto perms = fs::status(kPrefix / "bin" / program).permissions();
        EXPECT_NE(perms & fs::perms::others_exec, fs::perms::none) << program;
    }
    // The defaults are the sizes the program reads.
    EXPECT_EQ(fs::file_size(kPrefix / "share/velmora/rom0.bin"), 18432u);
    EXPECT_EQ(fs::file_size(kPrefix / "share/velmora/rom1.bin"), 32768u);
    EXPECT_EQ(fs::file_size(kPrefix / "share/velmora/keymap.dat"), 128u);
    // The menu entry starts the program in the user's folder, with the icon installed.
    const std::string entry = Slurp(kPrefix / "share/applications" / (kAppId + ".desktop"));
    EXPECT_NE(entry.find("\nExec=velmora --user\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=" + kAppId + "\n"), std::string::npos) << entry;
}

TEST_F(Installed, MenuEntryAndMetainfoPassTheirValidators) {
    const fs::path entry = kPrefix / "share/applications" / (kAppId + ".desktop");
    const fs::path metainfo = kPrefix / "share/metainfo" / (kAppId + ".metainfo.xml");
    const std::string log = (root_ / "validate.txt").string();
    EXPECT_EQ(
        std::system(("desktop-file-validate '" + entry.string() + "' >'" + log + "' 2>&1").c_str()),
        0);
    EXPECT_EQ(Slurp(log), "") << "desktop-file-validate";
    EXPECT_EQ(std::system(("appstreamcli validate --no-net --pedantic '" + metainfo.string() +
                           "' >'" + log + "' 2>&1")
                              .c_str()),
              0);
    const std::string report = Slurp(log);
    EXPECT_NE(report.find("Validation was successful"), std::string::npos) << report;
    EXPECT_EQ(std::regex_search(report, std::regex("(^|\n)[EWIP]: ")), false) << report;
}

TEST_F(Installed, ProgramsAnswerVersionAndHelpFromAnEmptyFolder) {
    for (const char* program : kPrograms) {
        const Result version = Run(program, {"--version"}, {{"DISPLAY", std::nullopt}});
        EXPECT_EQ(version.Code, 0) << program;
        EXPECT_EQ(version.Out, std::string(program) + " " + kVersion + "\n");
        EXPECT_EQ(version.Err, "") << program;
        const Result help = Run(program, {"--help"}, {{"DISPLAY", std::nullopt}});
        EXPECT_EQ(help.Code, 0) << program;
        EXPECT_NE(help.Out.find(std::string("Usage: ") + program + " "), std::string::npos)
            << help.Out;
        EXPECT_NE(help.Out.find("--version"), std::string::npos) << program;
        EXPECT_EQ(help.Err, "") << program;
    }
    EXPECT_TRUE(fs::is_empty(root_ / "empty")) << "--help and --version leave no file";
}

// The options the OPTIONS section of a man page describes: the bold names on the lines that
// head an indented paragraph.
std::set<std::string> ManPageOptions(const std::string& roff) {
    std::set<std::string> options;
    const size_t start = roff.find("\n.SH OPTIONS\n");
    if (start == std::string::npos) return options;
    const size_t end = roff.find("\n.SH ", start + 1);
    std::istringstream lines(roff.substr(start, end == std::string::npos ? end : end - start));
    const std::regex bold(R"(\\fB(-[^\\]+)\\fR)");
    std::string previous;
    for (std::string line; std::getline(lines, line); previous = line) {
        if (line != ".RS 4") continue;
        for (std::sregex_iterator it(previous.begin(), previous.end(), bold), e; it != e; ++it)
            options.insert((*it)[1]);
    }
    return options;
}

// Every option --help shows is described in the OPTIONS section of the program's installed man
// page, so the two stay in step as options are added.
TEST_F(Installed, ManPagesDescribeEveryOptionOfTheHelp) {
    const std::regex option(R"((?:^|[\s,])(--?[A-Za-z][-A-Za-z0-9]*))");
    for (const char* program : kPrograms) {
        const Result help = Run(program, {"--help"});
        ASSERT_EQ(help.Code, 0) << program;
        const fs::path page = kPrefix / "share/man/man1" / (std::string(program) + ".1.gz");
        const fs::path text = root_ / "page.txt";
        ASSERT_EQ(
            std::system(("gzip -dc '" + page.string() + "' >'" + text.string() + "'").c_str()), 0)
            << page;
        const std::string roff = Slurp(text);
        EXPECT_NE(roff.find(".TH \"" + std::string(program) + "\" \"1\""), std::string::npos)
            << program;
        const std::set<std::string> described = ManPageOptions(roff);
        std::set<std::string> options;
        std::istringstream lines(help.Out);
        for (std::string line; std::getline(lines, line);) {
            // Option lines start with blanks and a dash; the description after them may name
            // other options, which have lines of their own.
            if (line.rfind("  -", 0) != 0) continue;
            const std::string head = line.substr(0, line.find("  ", 2));
            for (std::sregex_iterator it(head.begin(), head.end(), option), end; it != end; ++it)
                options.insert((*it)[1]);
        }
        EXPECT_TRUE(options.count("--help") && options.count("--version")) << program;
        for (const std::string& o : options)
            EXPECT_TRUE(described.count(o))
                << program << ": " << o << " is not described in " << page.filename();
    }
}

TEST_F(Installed, HeadlessRunnerTypesOnTheInstalledFirmware) {
    // Without firmware in its folder the runner says so, as it always did: it copies nothing.
    const Result bare = Run("velmora-headless", {"--steps", "1"});
    EXPECT_EQ(bare.Code, 0);
    EXPECT_EQ(bare.Err, "Failed to load the file rom0.bin\nFailed to load the file rom1.bin\n");
    EXPECT_TRUE(fs::is_empty(root_ / "empty"));

    for (const char* name : {"rom0.bin", "rom1.bin", "keymap.dat"})
        fs::copy_file(kPrefix / "share/velmora" / name, root_ / "empty" / name);
    const Result r = Run("velmora-headless", {"--ms", "3000", "--type", "12+34=", "--save"});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const std::string ram = Slurp(root_ / "empty" / "ram.bin");
    ASSERT_EQ(ram.size(), 8192u);
    // The text area (RAM 0x0100, 8 lines of 16 characters): the result on line 7.
    EXPECT_EQ(ram.substr(0x0100 + 7 * 16, 16), "              46");
}

TEST_F(Installed, DesktopProgramSeedsItsWorkingFolderAndKeepsTheUsersFiles) {
    const fs::path defaults = kPrefix / "share/velmora";
    const fs::path home = root_ / "home";
    fs::create_directories(home);
    struct Case {
        const char* what;
        std::vector<std::string> args;
        EnvChanges env;
        fs::path work;                           // the folder that is to be seeded
        std::map<std::string, std::string> mine; // the user's files there beforehand
    };
    const Case cases[] = {
        {"--dir creates a nested folder",
         {"--dir", "new/nested"},
         {},
         root_ / "empty/new/nested",
         {}},
        {"--dir keeps the user's files",
         {"--dir", (root_ / "own").string()},
         {},
         root_ / "own",
         {{"rom0.bin", "my firmware"}, {"face.bmp", "my face"}}},
        {"the current directory", {}, {}, root_ / "empty", {{"keymap.dat", "my keys"}}},
        {"--user in XDG_DATA_HOME",
         {"--user"},
         {{"XDG_DATA_HOME", (root_ / "xdg").string()}, {"HOME", home.string()}},
         root_ / "xdg/velmora",
         {}},
        {"--user in HOME",
         {"--user"},
         {{"XDG_DATA_HOME", std::nullopt}, {"HOME", home.string()}},
         home / ".local/share/velmora",
         {}},
    };
    for (const Case& c : cases) {
        fs::remove_all(root_ / "empty");
        fs::create_directories(root_ / "empty");
        if (!c.mine.empty()) fs::create_directories(c.work);
        for (const auto& [name, text] : c.mine) std::ofstream(c.work / name) << text;

        EXPECT_TRUE(RunDesktopUntilSeeded(c.args, root_ / "empty", c.work, c.env))
            << c.what << ": " << Slurp(root_ / "desktop-err.txt");
        for (const char* name : kDefaults) {
            const auto mine = c.mine.find(name);
            if (mine != c.mine.end())
                EXPECT_EQ(Slurp(c.work / name), mine->second) << c.what << ": " << name;
            else
                EXPECT_EQ(Slurp(c.work / name), Slurp(defaults / name)) << c.what << ": " << name;
        }
    }
    // The user's data folder is the user's alone.
    EXPECT_EQ(fs::status(root_ / "xdg/velmora").permissions() & fs::perms::all,
              fs::perms::owner_all);
}

TEST_F(Installed, DesktopProgramRefusesBadOptionsAndAMissingDisplay) {
    // Bad command lines: the usage on standard error, status 2, nothing started or created.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--bogus"},
                                                 {"--dir", "x", "--user"},
                                                 {"stray"},
                                                 {"--dir"},
                                                 {"-platform", "offscreen"}}) {
        const Result r = Run("velmora", args, {{"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_EQ(r.Code, 2) << args[0];
        EXPECT_EQ(r.Out, "") << args[0];
        EXPECT_NE(r.Err.find("Usage: velmora "), std::string::npos) << r.Err;
    }
    EXPECT_TRUE(fs::is_empty(root_ / "empty"));

    // No display: one line and status 1, before anything is created.
    struct Case {
        EnvChanges env;
        const char* says;
    };
    const Case cases[] = {
        {{{"QT_QPA_PLATFORM", std::nullopt},
          {"DISPLAY", std::nullopt},
          {"WAYLAND_DISPLAY", std::nullopt},
          {"XDG_RUNTIME_DIR", std::nullopt}},
         "velmora: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n"},
        {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", std::nullopt}},
         "velmora: no display: DISPLAY is not set\n"},
        // A display that is named but not there: Qt's platform fails, still one line.
        {{{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":987"}},
         "velmora: cannot open the display (platform xcb, DISPLAY :987)\n"},
    };
    for (const Case& c : cases) {
        const Result r = Run("velmora", {"--dir", "never"}, c.env);
        EXPECT_EQ(r.Code, 1) << c.says;
        EXPECT_EQ(r.Err, c.says);
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(fs::exists(root_ / "empty/never")) << c.says;
    }

    // A --dir that cannot be a folder: one line on standard error, then a warning box (which
    // waits for its OK button here), and no window.
    std::ofstream(root_ / "empty/file") << "x";
    const fs::path err = root_ / "err.txt";
    const pid_t pid =
        Start(root_ / "empty", "velmora", {"--dir", "file"},
              {{"QT_QPA_PLATFORM", "offscreen"}, {"HOME", root_.string()}}, root_ / "out.txt", err);
    const std::string says = "velmora: Cannot work in the folder file: ";
    for (int i = 0; i < 500 && Slurp(err).find(says) == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGTERM);
    const int code = Wait(pid);
    EXPECT_NE(Slurp(err).find(says), std::string::npos) << Slurp(err);
    EXPECT_NE(code, 0);
    EXPECT_EQ(Slurp(root_ / "empty/file"), "x");
}

} // namespace
