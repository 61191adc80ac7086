// See system_calls.h.
#include "system_calls.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

ScriptedLine scripted_line;
std::vector<IoctlCall> ioctl_calls;
bool fstat_says_serial_port = false;

// With 64-bit time on a 32-bit system (armhf), the C library's headers turn
// two of the calls into other symbols; the wraps must follow them there.
// (Since glibc 2.39 __USE_TIME_BITS64 is set on 64-bit systems too.)
#if __TIMESIZE == 32 && defined(__USE_TIME_BITS64)
#define TIME64_NAME(plain, time64) #time64
#else
#define TIME64_NAME(plain, time64) #plain
#endif
#define IOCTL TIME64_NAME(ioctl, __ioctl_time64)
#define FSTAT TIME64_NAME(fstat, __fstat64_time64)

extern "C" {
int __real_ioctl(int fd, unsigned long request, void* arg) __asm__("__real_" IOCTL);
int __real_poll(pollfd* fds, nfds_t count, int timeout);
ssize_t __real_read(int fd, void* buffer, size_t size);
long long __real_link_clock_us();
int __real_fstat(int fd, struct stat* st) __asm__("__real_" FSTAT);
int __wrap_ioctl(int fd, unsigned long request, void* arg) __asm__("__wrap_" IOCTL);
int __wrap_fstat(int fd, struct stat* st) __asm__("__wrap_" FSTAT);

int __wrap_ioctl(int fd, unsigned long request, void* arg)
{
    bool lines = request == TIOCMBIC || request == TIOCMBIS;
    ioctl_calls.push_back({request, lines ? *static_cast<int*>(arg) : 0});
    return __real_ioctl(fd, request, arg);
}

int __wrap_fstat(int fd, struct stat* st)
{
    int result = __real_fstat(fd, st);
    if (result == 0 && fstat_says_serial_port)
        st->st_rdev = makedev(4, 64);
    return result;
}

long long __wrap_link_clock_us()
{
    return scripted_line.fd < 0 ? __real_link_clock_us() : scripted_line.now_ms * 1000;
}

// Waits as the line would: until the next byte arrives or the time is up.
// With no byte to come and no limit, the line hangs up instead of hanging.
int __wrap_poll(pollfd* fds, nfds_t count, int timeout)
{
    ScriptedLine& line = scripted_line;
    if (line.fd < 0 || count != 1 || fds[0].fd != line.fd)
        return __real_poll(fds, count, timeout);
    line.poll_timeouts.push_back(timeout);
    bool more = line.taken < line.bytes.size();
    long long next = more ? line.arrival_ms[line.taken] : -1;
    bool hangs_up = line.hangup_ms >= 0 && (!more || line.hangup_ms < next);
    if (hangs_up && (timeout < 0 || line.hangup_ms <= line.now_ms + timeout)) {
        line.now_ms = line.hangup_ms > line.now_ms ? line.hangup_ms : line.now_ms;
        fds[0].revents = POLLHUP;
        return 1;
    }
    if (more && (timeout < 0 || next <= line.now_ms + timeout)) {
        line.now_ms = next > line.now_ms ? next : line.now_ms;
        fds[0].revents = POLLIN;
        return 1;
    }
    if (timeout < 0) {
        fds[0].revents = POLLHUP;
        return 1;
    }
    line.now_ms += timeout;
    fds[0].revents = 0;
    return 0;
}

ssize_t __wrap_read(int fd, void* buffer, size_t size)
{
    ScriptedLine& line = scripted_line;
    if (line.fd < 0 || fd != line.fd)
        return __real_read(fd, buffer, size);
    size_t n = 0;
    while (n < size && line.taken < line.bytes.size() && line.arrival_ms[line.taken] <= line.now_ms)
        static_cast<std::uint8_t*>(buffer)[n++] = line.bytes[line.taken++];
    return static_cast<ssize_t>(n);
}
}
