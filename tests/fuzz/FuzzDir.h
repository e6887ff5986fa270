// A private scratch directory for the fuzz targets that read and write files by bare name in
// the current directory. The target enters it around each call and leaves it again, so that
// libFuzzer's own relative paths (corpus, artifacts) keep meaning what they meant. The
// directory is made on first use and removed when the process exits normally.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace FuzzDir {
// Never destroyed, so that the exit handler that removes the directory can still name it.
inline const std::filesystem::path& Path() {
    static const std::filesystem::path* path = [] {
        // A memory file system when there is one: on a disk file system replacing a file can
        // wait for the disk, which would measure the disk rather than the code.
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "velmora-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Path(), ignored);
        });
        return new std::filesystem::path(pattern);
    }();
    return *path;
}

inline int& CallerDir() {
    static int fd = -1;
    return fd;
}

inline void Enter() {
    if (CallerDir() < 0) CallerDir() = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (CallerDir() < 0 || ::chdir(Path().c_str()) != 0) {
        std::perror("entering the fuzz directory");
        std::abort();
    }
}

inline void Leave() {
    if (::fchdir(CallerDir()) != 0) {
        std::perror("leaving the fuzz directory");
        std::abort();
    }
}

// Removes everything in the directory (which must be the current one).
inline void Clear() {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        std::error_code ec;
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(entry.path(), ec);
    }
}

inline void Write(const char* name, const uint8_t* data, size_t size) {
    std::remove(name); // a new file, never one cut short and written again
    std::FILE* f = std::fopen(name, "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(name);
        std::abort();
    }
}
} // namespace FuzzDir
