// Choosing, creating and entering the working folder, and giving it the default files.
#include "host/WorkFolder.h"

#include "BuildInfo.h"
#include "host/Report.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsPresent(const fs::path& path) {
    std::error_code ec;
    // A name whose status cannot even be asked counts as present: it is left alone.
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool ReadWhole(const fs::path& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes DATA as NAME in the current directory unless NAME is there by then. The bytes go to a
// temporary file first, which is then linked under the name: the name appears only with the
// whole file behind it, and a file that turned up meanwhile is kept. A file system without
// hard links gets the file created exclusively under its name instead.
enum class WriteResult { Written, AlreadyThere, Failed };
WriteResult WriteNew(const std::string& name, const std::string& data) {
    std::string temp = "." + name + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return WriteResult::Failed;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, data);
    ok = (::close(fd) == 0) && ok;
    WriteResult result = ok ? WriteResult::Written : WriteResult::Failed;
    if (ok && ::link(temp.c_str(), name.c_str()) != 0) {
        result = WriteResult::Failed;
        if (errno == EEXIST) {
            result = WriteResult::AlreadyThere;
        } else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
            const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (out >= 0) {
                ok = WriteAll(out, data);
                ok = (::close(out) == 0) && ok;
                if (ok)
                    result = WriteResult::Written;
                else
                    ::unlink(name.c_str()); // ours, and incomplete
            } else if (errno == EEXIST) {
                result = WriteResult::AlreadyThere;
            }
        }
    }
    ::unlink(temp.c_str());
    return result;
}

std::optional<fs::path> HomeFolder(const EnvLookup& env) {
    if (const char* home = env("HOME"); home && *home) return fs::path(home);
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return fs::path(entry->pw_dir);
    return std::nullopt;
}

} // namespace

std::optional<fs::path> UserDataFolder(const EnvLookup& env) {
    if (const char* xdg = env("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "velmora";
    if (const auto home = HomeFolder(env)) return *home / ".local" / "share" / "velmora";
    return std::nullopt;
}

std::optional<std::string> EnterWorkFolder(const fs::path& folder, bool privateFolder) {
    std::error_code ec;
    if (folder.empty()) return std::string("no folder named");
    const bool created = fs::create_directories(folder, ec);
    if (ec) return ec.message();
    if (!fs::is_directory(folder, ec)) return std::string("not a folder");
    if (created && privateFolder) fs::permissions(folder, fs::perms::owner_all, ec);
    if (::chdir(folder.c_str()) != 0)
        return std::error_code(errno, std::generic_category()).message();
    return std::nullopt;
}

fs::path WorkFolder() {
    std::error_code ec;
    fs::path folder = fs::current_path(ec);
    return ec ? fs::path(".") : folder;
}

fs::path ProgramFile() {
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : program;
}

std::vector<fs::path> DefaultFileFolders(const fs::path& program) {
    if (program.empty()) return {};
    const fs::path folder = program.parent_path();
    std::error_code ec;
    if (fs::equivalent(folder, kBuildFolder, ec) && !ec)
        return {fs::path(kBuildFirmwareFolder), fs::path(kBuildDataFolder)};
    return {(folder / kDataFolderFromPrograms).lexically_normal()};
}

std::vector<std::string> SeedDefaultFiles(const std::vector<fs::path>& folders) {
    std::vector<std::string> copied;
    std::vector<const char*> names(kDefaultFiles.begin(), kDefaultFiles.end());
    names.push_back(kDefaultSymbolFile);
    for (const char* name : names) {
        if (IsPresent(name)) continue;
        // The default firmware's symbols name nothing in other firmware: they come only with it.
        if (std::string_view(name) == kDefaultSymbolFile &&
            (std::find(copied.begin(), copied.end(), "rom0.bin") == copied.end() ||
             std::find(copied.begin(), copied.end(), "rom1.bin") == copied.end()))
            continue;
        for (const fs::path& folder : folders) {
            const fs::path source = folder / name;
            if (!IsRegularFile(source)) continue;
            std::string data;
            if (!ReadWhole(source, data)) {
                ReportWarning("Failed to load the file " + source.string());
                break;
            }
            const WriteResult result = WriteNew(name, data);
            if (result == WriteResult::Written) copied.emplace_back(name);
            if (result == WriteResult::Failed)
                ReportWarning(std::string("Failed to save the file ") + name);
            break;
        }
    }
    return copied;
}
