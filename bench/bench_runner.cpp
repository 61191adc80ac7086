// Times whole runs of sj against the floor program, interleaved, and prints
// medians, extremes, their ratio and sj's peak resident memory.
// Usage: sjbench SJ FLOOR DEVICE PORT RUNS
#include "process.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Timing {
    double ms;
    long max_rss_kb;
};

double now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Runs argv with standard input from `input_file` (or /dev/null) and both
// output streams discarded; the time is from fork to the end of the child.
Timing time_run(const std::vector<std::string>& argv, const char* input_file)
{
    double start = now_ms();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open(input_file ? input_file : "/dev/null", O_RDONLY), 0);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);  // the operator's notes too
        exec_words(argv);
    }
    int status;
    rusage usage;
    wait4(pid, &status, 0, &usage);
    double ms = now_ms() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
        std::exit(1);
    }
    return {ms, usage.ru_maxrss};
}

struct Series {
    std::vector<double> ms;
    long max_rss_kb = 0;
    void add(const Timing& t)
    {
        ms.push_back(t.ms);
        max_rss_kb = std::max(max_rss_kb, t.max_rss_kb);
    }
    double median() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double max() const { return *std::max_element(ms.begin(), ms.end()); }
};

void report(const char* what, const Series& sj, const Series& floor)
{
    std::printf("%-10s sj    median %8.2f ms  min %8.2f  max %8.2f\n", what, sj.median(), sj.min(), sj.max());
    std::printf("%-10s floor median %8.2f ms  min %8.2f  max %8.2f\n", "", floor.median(), floor.min(), floor.max());
    std::printf("%-10s ratio sj / floor (medians) %.4f\n", "", sj.median() / floor.median());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: sjbench SJ FLOOR DEVICE PORT RUNS\n");
        return 2;
    }
    std::string sj = argv[1], floor = argv[2], device = argv[3], port = std::string("-") + argv[4];
    int runs = std::atoi(argv[5]);
    char yes_file[] = "/tmp/sjbench-yes-XXXXXX";
    int fd = mkstemp(yes_file);
    if (fd < 0 || write(fd, "YES\n", 4) != 4)
        return 1;
    close(fd);

    Series sj_read, floor_read, sj_write, floor_write;
    const int warm_up = 3;
    for (int i = 0; i < warm_up + runs; ++i) {
        Timing a = time_run({sj, port}, nullptr);
        Timing b = time_run({floor, device, "read"}, nullptr);
        Timing c = time_run({sj, port, "F8", "BF"}, yes_file);
        Timing d = time_run({floor, device, "write"}, nullptr);
        if (i < warm_up)
            continue;
        sj_read.add(a);
        floor_read.add(b);
        sj_write.add(c);
        floor_write.add(d);
    }
    unlink(yes_file);
    std::printf("%d runs each after %d warm-up runs, interleaved\n", runs, warm_up);
    report("read run", sj_read, floor_read);
    report("write run", sj_write, floor_write);
    std::printf("peak resident memory of sj: %ld KiB\n", std::max(sj_read.max_rss_kb, sj_write.max_rss_kb));
    return 0;
}
