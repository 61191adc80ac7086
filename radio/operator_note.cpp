// Notes to the operator on standard error, in order with standard output,
// the one record of whether standard output has lost anything, and the
// command the notes give to read the jumpers again.
#include "operator_note.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int first_output_error = 0;

}  // namespace

int flush_standard_output()
{
    errno = 0;
    bool failed = std::fflush(stdout) != 0 || std::ferror(stdout);
    if (failed && first_output_error == 0)
        first_output_error = errno ? errno : EIO;
    return first_output_error;
}

std::FILE* operator_notes()
{
    flush_standard_output();  // a failure is kept for the end of the run
    return stderr;
}

// A path the shell would split or expand is single-quoted, as it must be
// typed; one of these characters alone, it takes as one word as it stands.
const char* read_again_command(const SerialLink& link)
{
    static const char plain[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%=";
    static char again[4 * MAX_DEVICE_PATH + 8];
    if (link.port > 0) {
        std::snprintf(again, sizeof again, "sj -%d", link.port);
    } else if (link.name[std::strspn(link.name, plain)] == '\0') {
        std::snprintf(again, sizeof again, "sj %s", link.name);
    } else {
        char* out = again + std::snprintf(again, sizeof again, "sj '");
        for (const char* c = link.name; *c; ++c) {  // a name's 255 characters fit, each one quoted
            if (*c == '\'') {
                std::memcpy(out, "'\\''", 4);
                out += 4;
            } else {
                *out++ = *c;
            }
        }
        std::snprintf(out, static_cast<std::size_t>(again + sizeof again - out), "'");
    }
    return again;
}
