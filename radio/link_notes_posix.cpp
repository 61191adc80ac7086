// What a link failure means on Linux and what to do next: the table of notes
// and the details sj can find out (the device's group, who holds it).
#include "serial_link.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const held = "sj: %s is held by another program%s; close it and run sj again";
const char* const went_away = "sj: %s went away: the cable was pulled or the adapter was reset%s";

}  // namespace

const LinkNote link_notes[] = {
    {LinkStep::OpenDevice, ENOENT, NoteDetail::PortList, nullptr},
    {LinkStep::OpenDevice, EACCES, NoteDetail::OwningGroup, "sj: no permission to open %s: join the group %s, then log in again"},
    {LinkStep::OpenDevice, EBUSY, NoteDetail::Holders, held},
    {LinkStep::OpenDevice, EWOULDBLOCK, NoteDetail::Holders, held},
    {LinkStep::ReadLineSettings, EIO, NoteDetail::PortList, "sj: %s has no serial hardware behind it (a built-in port without a UART)%s"},
    {LinkStep::ReadLineSettings, ENOTTY, NoteDetail::None, "sj: %s is not a serial port%s"},
    {LinkStep::DiscardInput, EIO, NoteDetail::WriteFate, went_away},
    {LinkStep::WriteFrame, EIO, NoteDetail::WriteFate, went_away},
    {LinkStep::ReadAnswer, EIO, NoteDetail::WriteFate, went_away},
};
const int link_note_count = sizeof link_notes / sizeof *link_notes;

namespace {

// The group's name as /etc/group has it: the serial ports' groups are
// local ones, and the C library's lookup would tie a static build to NSS.
bool group_name(gid_t gid, char* name, std::size_t size)
{
    std::FILE* groups = std::fopen("/etc/group", "r");
    char line[1024];
    bool found = false;
    while (groups && !found && std::fgets(line, sizeof line, groups)) {
        char* colon = std::strchr(line, ':');
        char* second = colon ? std::strchr(colon + 1, ':') : nullptr;
        found = second && std::strtol(second + 1, nullptr, 10) == static_cast<long>(gid);
        if (found) {
            *colon = '\0';
            std::snprintf(name, size, "%.*s", static_cast<int>(size - 1), line);
        }
    }
    if (groups)
        std::fclose(groups);
    return found;
}

void describe_owning_group(const char* device, char* text, std::size_t size)
{
    struct stat st;
    char name[128];
    if (stat(device, &st) == 0 && group_name(st.st_gid, name, sizeof name))
        std::snprintf(text, size, "%s (sudo adduser $USER %s)", name, name);
    else
        std::snprintf(text, size, "that owns it");
}

// The programs whose open files are the device, as far as /proc shows them
// to this user; what cannot be seen is not guessed at.
void describe_holders(const char* device, char* text, std::size_t size)
{
    struct stat port;
    DIR* processes = stat(device, &port) == 0 ? opendir("/proc") : nullptr;
    std::size_t used = 0;
    for (dirent* entry; processes && (entry = readdir(processes));) {
        long pid = std::strtol(entry->d_name, nullptr, 10);
        char path[64], fd_path[320], name[32] = "?";
        std::snprintf(path, sizeof path, "/proc/%ld/fd", pid);
        DIR* fds = pid > 0 && pid != getpid() ? opendir(path) : nullptr;
        bool holds = false;
        for (dirent* fd; fds && !holds && (fd = readdir(fds));) {
            struct stat st;
            std::snprintf(fd_path, sizeof fd_path, "%s/%s", path, fd->d_name);
            holds = stat(fd_path, &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == port.st_rdev;
        }
        if (fds)
            closedir(fds);
        std::snprintf(path, sizeof path, "/proc/%ld/comm", pid);
        std::FILE* comm = holds ? std::fopen(path, "r") : nullptr;
        if (comm && std::fscanf(comm, "%31[^\n]", name) >= 0 && used < size)
            used += static_cast<std::size_t>(std::snprintf(text + used, size - used, "%s%s (pid %ld)", used ? ", " : ": ", name, pid));
        if (comm)
            std::fclose(comm);
    }
    if (processes)
        closedir(processes);
}

}  // namespace

void describe_detail(const char* device, NoteDetail detail, char* text, int size)
{
    if (detail == NoteDetail::OwningGroup)
        describe_owning_group(device, text, static_cast<std::size_t>(size));
    else if (detail == NoteDetail::Holders)
        describe_holders(device, text, static_cast<std::size_t>(size));
}

void describe_error(int error, char* text, int size)
{
    std::snprintf(text, static_cast<std::size_t>(size), "%s", std::strerror(error));
}
