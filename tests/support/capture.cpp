// Redirects the process's standard streams to temporary files around a call.
#include "capture.h"

#include "history.h"
#include "jumper_run.h"
#include "own_folder.h"

#include <cstdio>
#include <cstdlib>
#include <stdio_ext.h>
#include <unistd.h>

namespace {

std::string read_all(FILE* file)
{
    std::string text;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    return text;
}

// Standard input becomes `input`, or is closed; the stream's buffer is
// emptied so that nothing from an earlier run leaks in.
int redirect_stdin(const std::optional<std::string>& input)
{
    int saved = dup(0);
    if (!input) {
        close(0);
    } else {
        FILE* file = std::tmpfile();
        std::fwrite(input->data(), 1, input->size(), file);
        std::fflush(file);
        std::rewind(file);
        dup2(fileno(file), 0);
        std::fclose(file);
    }
    __fpurge(stdin);
    std::clearerr(stdin);
    return saved;
}

void restore_stdin(int saved)
{
    dup2(saved, 0);
    close(saved);
    __fpurge(stdin);
    std::clearerr(stdin);
}

// One descriptor (standard output or error) into a temporary file, until
// it is given back with what was written there.
struct Redirect {
    int fd;
    int saved;
    FILE* file;
};

Redirect redirect(int fd)
{
    Redirect r = {fd, dup(fd), std::tmpfile()};
    dup2(fileno(r.file), fd);
    return r;
}

std::string give_back(const Redirect& r)
{
    dup2(r.saved, r.fd);
    close(r.saved);
    std::string text = read_all(r.file);
    std::fclose(r.file);
    return text;
}

Redirect captured_stdout;

}  // namespace

void begin_capture()
{
    std::fflush(stdout);
    captured_stdout = redirect(1);
}

std::string end_capture()
{
    std::fflush(stdout);
    return give_back(captured_stdout);
}

std::vector<char*> argv_for(const std::vector<std::string>& words, std::vector<std::string>& storage)
{
    storage = {"sj"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

InProcessRun run_in_process(const std::vector<std::string>& words, const std::optional<std::string>& input)
{
    // The history goes to ~/.local/state/sj/history in the test's own folder.
    setenv("HOME", enter_own_folder(SJ_TEST_RUNS).c_str(), 1);
    unsetenv("XDG_STATE_HOME");
    std::vector<std::string> storage;
    std::vector<char*> argv = argv_for(words, storage);
    // Standard input last: closed, its number must not go to the copies.
    Redirect errors = redirect(2);
    begin_capture();
    int saved_stdin = redirect_stdin(input);
    int status = -1;
    bool interrupted = false;
    try {
        status = run_sj(static_cast<int>(storage.size()), argv.data());
    } catch (const RunInterrupted&) {
        interrupted = true;
        close_history();  // as the end of the process would
    }
    restore_stdin(saved_stdin);
    std::string output = end_capture();
    return {status, output, give_back(errors), interrupted};
}
