// The floor for the benchmark: the bare exchanges of a read or write run
// with the radio, and nothing else. It opens the line raw at 38400 8N2,
// sends each frame, waits for the answer and then for 100 ms of silence.
// Usage: sjfloor DEVICE read|write
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

long long now_us()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

bool exchange(int fd, const unsigned char* frame)
{
    if (write(fd, frame, 5) != 5)
        return false;
    unsigned char answer[4];
    int got = 0;
    long long deadline = -1;
    while (got < 4) {
        int wait = -1;  // no limit before the first byte
        if (deadline >= 0) {
            long long left = deadline - now_us();
            wait = left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
        }
        pollfd pfd = {fd, POLLIN, 0};
        if (poll(&pfd, 1, wait) <= 0)
            break;
        ssize_t n = read(fd, answer + got, static_cast<size_t>(4 - got));
        if (n <= 0)
            break;
        got += static_cast<int>(n);
        deadline = now_us() + 100000;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "read") != 0 && std::strcmp(argv[2], "write") != 0)) {
        std::fprintf(stderr, "usage: sjfloor DEVICE read|write\n");
        return 2;
    }
    int fd = open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio;
    if (fd < 0 || tcgetattr(fd, &tio) != 0)
        return 1;
    cfmakeraw(&tio);
    tio.c_cflag |= CSTOPB | CLOCAL | CREAD;
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        return 1;
    const unsigned char read_frame[5] = {0x00, 0x04, 0x00, 0x00, 0xBB};
    const unsigned char write_frame[5] = {0x00, 0x04, 0xF8, 0xBF, 0xBC};
    bool ok = exchange(fd, read_frame);
    if (ok && argv[2][0] == 'w')
        ok = exchange(fd, write_frame) && exchange(fd, read_frame);
    return ok ? 0 : 1;
}
