// POSIX's link clock, the monotonic one; alone, so that tests replace it.
#include "serial_link.h"

#include <ctime>

long long link_clock_us()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}
