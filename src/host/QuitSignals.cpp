// The self-pipe of the quit signals.
#include "host/QuitSignals.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>

#include <fcntl.h>
#include <unistd.h>

namespace {
int g_readEnd = -1;
int g_writeEnd = -1;

void OnQuitSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal the program has still to read: nothing is lost.
    [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &number, 1);
    errno = saved;
}
} // namespace

int InstallQuitSignals() {
    if (g_readEnd >= 0) return g_readEnd; // installed already
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return -1;
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return g_readEnd;
}

int TakeQuitSignal(int fd) {
    int last = 0;
    unsigned char buffer[16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            last = buffer[n - 1];
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return last;
    }
}
