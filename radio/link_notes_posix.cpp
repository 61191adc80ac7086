// What a link failure means on Linux and what to do next: the table of notes
// and the details sj can find out (the device's group, who holds it).
#include "link_internal.h"
#include "operator_note.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const held = "%s is held by another program%s; close it and run sj again";
const char* const went_away = "%s went away: the cable was pulled or the adapter was reset";

}  // namespace

const LinkNote link_notes[] = {
    {LinkStep::OpenDevice, ENOENT, NoteDetail::PortList, nullptr},
    {LinkStep::OpenDevice, EACCES, NoteDetail::Permission, "no permission to open %s%s"},
    {LinkStep::OpenDevice, EBUSY, NoteDetail::Holders, held},
    {LinkStep::OpenDevice, EWOULDBLOCK, NoteDetail::Holders, held},
    {LinkStep::ReadLineSettings, EIO, NoteDetail::PortList, "%s has no serial hardware behind it (a built-in port without a UART)%s"},
    {LinkStep::ReadLineSettings, ENOTTY, NoteDetail::None, "%s is not a serial port%s"},
    {LinkStep::ReadLineSettings, EINVAL, NoteDetail::None, "%s is not a serial port%s"},
    {LinkStep::DiscardInput, EIO, NoteDetail::None, went_away},
    {LinkStep::WriteFrame, EIO, NoteDetail::None, went_away},
    {LinkStep::ReadLine, EIO, NoteDetail::None, went_away},
};
const int link_note_count = sizeof link_notes / sizeof *link_notes;

namespace {

// The name (and in `rest`, the fields after the id) of the entry for `id`
// in /etc/group or /etc/passwd, read as files: the serial ports' groups are
// local ones, and the C library's lookup would tie a static build to NSS.
bool entry_for(const char* file, long id, char* name, std::size_t size, char* rest = nullptr, std::size_t rest_size = 0)
{
    std::FILE* entries = std::fopen(file, "r");
    char line[1024];
    bool found = false;
    while (entries && !found && std::fgets(line, sizeof line, entries)) {
        char* colon = std::strchr(line, ':');
        char* second = colon ? std::strchr(colon + 1, ':') : nullptr;
        char* end = nullptr;
        found = second && std::strtol(second + 1, &end, 10) == id && end != second + 1 && *end == ':';
        if (found) {
            *colon = '\0';
            std::snprintf(name, size, "%.*s", static_cast<int>(size - 1), line);
            if (rest)
                std::snprintf(rest, rest_size, "%.*s", static_cast<int>(std::strcspn(end + 1, "\n")), end + 1);
        }
    }
    if (entries)
        std::fclose(entries);
    return found;
}

// Whether /etc/group lists `user` among the members in `members` ("a,b,c").
bool lists_user(const char* members, const char* user)
{
    std::size_t length = std::strlen(user);
    for (const char* item = members; *item;) {
        std::size_t item_length = std::strcspn(item, ",");
        if (item_length == length && std::strncmp(item, user, length) == 0)
            return true;
        item += item_length + (item[item_length] == ',');
    }
    return false;
}

bool process_has_group(gid_t gid)
{
    gid_t groups[256];
    int count = getgroups(256, groups);
    for (int i = 0; i < count; ++i) {
        if (groups[i] == gid)
            return true;
    }
    return getegid() == gid;
}

// The first folder on the way to `device` that this user may not search.
bool unsearchable_folder(const char* device, char* folder, std::size_t size)
{
    std::snprintf(folder, size, "%s", device);
    for (char* slash = std::strchr(folder + 1, '/'); slash; slash = std::strchr(slash + 1, '/')) {
        *slash = '\0';
        bool searchable = access(folder, X_OK) == 0 || errno != EACCES;
        if (!searchable)
            return true;
        *slash = '/';
    }
    return false;
}

// The device's mode as `ls -l` shows it, with its owner and group.
void describe_mode(const struct stat& st, const char* group, char* text, std::size_t size)
{
    char owner[64] = "?", mode[11] = "c---------";
    entry_for("/etc/passwd", static_cast<long>(st.st_uid), owner, sizeof owner);
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if (st.st_mode & (0400 >> bit))
            mode[bit + 1] = letters[bit];
    }
    std::snprintf(text, size, "%s %s %s", mode, owner, group);
}

// What would let this user open `device`, and whether joining a group can.
void describe_permission(const char* device, char* text, std::size_t size)
{
    struct stat st;
    char group[128], members[1024] = "", user[64] = "", mode[256], folder[MAX_DEVICE_PATH + 1];
    if (unsearchable_folder(device, folder, sizeof folder)) {
        std::snprintf(text, size, ": you may not search the folder %s on the way to it; the system's administrator "
                      "decides", folder);
        return;
    }
    if (stat(device, &st) != 0 || !entry_for("/etc/group", static_cast<long>(st.st_gid), group, sizeof group, members,
                                             sizeof members)) {
        std::snprintf(text, size, ": join the group that owns it, then log in again");
        return;
    }
    describe_mode(st, group, mode, sizeof mode);
    entry_for("/etc/passwd", static_cast<long>(getuid()), user, sizeof user);
    if ((st.st_mode & S_IRWXG) == 0)
        std::snprintf(text, size, ": its mode (%s) lets no group in, so joining one cannot help; the system's "
                      "administrator (or a udev rule) decides", mode);
    else if (process_has_group(st.st_gid))
        std::snprintf(text, size, ": the group %s, which you are in, may only read it (%s); the system's administrator "
                      "(or a udev rule) decides", group, mode);
    else if (user[0] && lists_user(members, user))
        std::snprintf(text, size, ": /etc/group lists you in the group %s, but this login began before that: log in "
                      "again (or run newgrp %s)", group, group);
    else
        std::snprintf(text, size, ": join the group %s (sudo adduser $USER %s), then log in again", group, group);
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
    if (detail == NoteDetail::Permission)
        describe_permission(device, text, static_cast<std::size_t>(size));
    else if (detail == NoteDetail::Holders)
        describe_holders(device, text, static_cast<std::size_t>(size));
}

void describe_error(int error, char* text, int size)
{
    std::snprintf(text, static_cast<std::size_t>(size), "%s", std::strerror(error));
}
