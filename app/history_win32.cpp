// The history on Windows: %LOCALAPPDATA%\sj\history.txt, CRLF line ends
// (text mode), a whole line a write in append mode (FILE_APPEND_DATA).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "history.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace {

HANDLE armed_file = INVALID_HANDLE_VALUE;
char armed_line[3 * MAX_DEVICE_PATH];

// Ctrl-C or a closed window after the write frame: the armed line, then
// Windows ends sj as before.
BOOL WINAPI keep_interrupted(DWORD /*event*/)
{
    DWORD written = 0;
    WriteFile(armed_file, armed_line, static_cast<DWORD>(std::strlen(armed_line)), &written, nullptr);
    return FALSE;
}

}  // namespace

bool find_history(char* path, char* shown)
{
    const char* local = std::getenv("LOCALAPPDATA");
    std::snprintf(path, HISTORY_PATH_SIZE, "%s\\sj\\history.txt", local ? local : "");
    std::snprintf(shown, HISTORY_PATH_SIZE, local && local[0] ? "%%LOCALAPPDATA%%\\sj\\history.txt" : "%%LOCALAPPDATA%%");
    return local && local[0];
}

std::FILE* open_history(char* path)
{
    char* name = std::strrchr(path, '\\');
    *name = '\0';
    bool folder = CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    *name = '\\';
    HANDLE handle = folder ? CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr) : INVALID_HANDLE_VALUE;
    int fd = handle == INVALID_HANDLE_VALUE ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_TEXT);
    std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "a");
    errno = file ? errno : EACCES;
    return file;
}

bool sync_history(std::FILE* file)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

void keep_if_interrupted(std::FILE* file, const char* line)
{
    if (armed_file != INVALID_HANDLE_VALUE)
        SetConsoleCtrlHandler(keep_interrupted, FALSE);
    armed_file = INVALID_HANDLE_VALUE;
    if (!file || !line)
        return;
    std::snprintf(armed_line, sizeof armed_line, "%.*s\r\n", static_cast<int>(std::strcspn(line, "\n")), line);
    armed_file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (!SetConsoleCtrlHandler(keep_interrupted, TRUE))
        armed_file = INVALID_HANDLE_VALUE;
}
