// Notes to the operator on standard error, in order with standard output,
// and the one record of whether standard output has lost anything.
#include "operator_note.h"

#include <cerrno>
#include <cstdio>

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
