// Texts the serial link prints, the same on every platform.
#include "serial_link.h"

#include <cstdio>

void name_link(SerialLink& link, int port)
{
    std::snprintf(link.name, sizeof link.name, "COM%d:", port);
    link.handle = -1;
}

void report_link_failure(const SerialLink& link, LinkStep step, int error)
{
    switch (step) {
    case LinkStep::create_file:
        std::printf("CreateFile failed opening %s with error %d.\n", link.name, error);
        break;
    case LinkStep::get_comm_state:
        std::printf("GetCommState failed with error %d.\n", error);
        break;
    case LinkStep::set_comm_state:
        std::printf("SetCommState failed with error %d.\n", error);
        break;
    case LinkStep::set_comm_timeouts:
        std::printf("SetCommTimeouts failed with error %d.\n", error);
        break;
    case LinkStep::write_file:
        std::printf("WriteFile failed with error %d.\n", error);
        break;
    case LinkStep::read_file:
        std::printf("ReadFile failed with error %d.\n", error);
        break;
    }
}
