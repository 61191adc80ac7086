// Process entry: the status of the run is the process's exit status.
#include "sj.h"

int main(int argc, char** argv)
{
    return run_sj(argc, argv);
}
