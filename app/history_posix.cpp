// The history on POSIX systems: $XDG_STATE_HOME/sj/history, by default
// ~/.local/state/sj/history; the folders made 0700 and the file 0600, never
// opened through a symbolic link, a whole line a write (O_APPEND).
#include "history.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int armed_fd = -1;
char armed_line[3 * MAX_DEVICE_PATH];
struct sigaction before_armed = {};

// Ctrl-C after the write frame: the armed line, then the signal as before.
void keep_interrupted(int signal_number)
{
    ssize_t written = write(armed_fd, armed_line, std::strlen(armed_line));
    (void)written;  // nothing more can be done here
    sigaction(signal_number, &before_armed, nullptr);
    raise(signal_number);
}

}  // namespace

bool find_history(char* path, char* shown)
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    bool own = state && state[0] == '/';  // XDG: a relative path is ignored
    std::size_t h = home && home[0] == '/' ? std::strlen(home) : 0;
    int length = std::snprintf(path, HISTORY_PATH_SIZE, own ? "%s/sj/history" : "%s/.local/state/sj/history",
                               own ? state : h > 1 ? home : "");  // HOME=/ (init) gives no "//"
    bool found = (own || h) && length < HISTORY_PATH_SIZE;  // a path cut short is no place to write
    bool under_home = h > 1 && std::strncmp(path, home, h) == 0 && path[h] == '/';
    std::snprintf(shown, HISTORY_PATH_SIZE, found ? (under_home ? "~%s" : "%s") : own ? "$XDG_STATE_HOME" : "$HOME",
                  path + (under_home ? h : 0));
    return found;
}

std::FILE* open_history(char* path)
{
    for (char* slash = std::strchr(path + 1, '/'); slash; slash = std::strchr(slash + 1, '/')) {
        *slash = '\0';
        int made = mkdir(path, 0700);  // each missing folder, for this user alone (as XDG asks)
        *slash = '/';
        if (made != 0 && errno != EEXIST)
            return nullptr;
    }
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "a");
    if (fd >= 0 && !file)
        close(fd);
    char* name = std::strrchr(path, '/');
    *name = '\0';  // a new file's name is on disk once its folder is
    int folder = file ? open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    *name = '/';
    if (folder >= 0) {
        fsync(folder);  // as far as it goes: the file's own sync decides
        close(folder);
    }
    return file;
}

bool sync_history(std::FILE* file)
{
    return fsync(fileno(file)) == 0;
}

void keep_if_interrupted(std::FILE* file, const char* line)
{
    if (armed_fd >= 0)
        sigaction(SIGINT, &before_armed, nullptr);
    armed_fd = -1;
    struct sigaction action = {};
    action.sa_handler = keep_interrupted;
    if (!file || !line || sigaction(SIGINT, &action, &before_armed) != 0)
        return;
    std::snprintf(armed_line, sizeof armed_line, "%s", line);
    armed_fd = fileno(file);
    if (before_armed.sa_handler == SIG_IGN)  // Ctrl-C does not end this sj
        keep_if_interrupted(nullptr, nullptr);
}
