// Process entry: the status of the run is the process's exit status, unless
// standard output lost some of the run's texts. A window of sj's own waits
// for the operator before it closes.
#include "console_window.h"
#include "jumper_run.h"
#include "operator_note.h"

#include <cstdio>
#include <cstring>

namespace {

// A script has only the exit status to go by: output that never arrived
// must not pass for success. Standard output cannot carry the complaint.
int status_after_flushing_output(int status)
{
    int error = flush_standard_output();
    if (error == 0)
        return status;
    std::fprintf(stderr, "sj: cannot write standard output: %s\n", std::strerror(error));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    int status = status_after_flushing_output(run_sj(argc, argv));
    hold_window_if_started_alone();
    return status;
}
