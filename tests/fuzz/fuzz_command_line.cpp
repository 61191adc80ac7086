// Words in (NUL-separated), port and mode or usage out. Every word gets an
// allocation of its own, so reading past one is caught.
#include "jumper_run.h"
#include "serial_link.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int MAX_WORDS = 6;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<char*> argv;
    argv.push_back(strdup("sj"));
    for (std::size_t start = 0; size > 0 && start <= size && argv.size() <= MAX_WORDS;) {
        const void* nul = std::memchr(data + start, 0, size - start);
        std::size_t end = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data) : size;
        char* word = static_cast<char*>(std::malloc(end - start + 1));
        std::memcpy(word, data + start, end - start);
        word[end - start] = '\0';
        argv.push_back(word);
        start = end + 1;
    }
    int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);

    CommandLine command;
    if (parse_command_line(argc, argv.data(), command)) {
        bool path = argc > 1 && argv[1][0] == '/';
        bool option = (argc > 1 && argv[1][0] == '-') || path;
        int left = argc - (option ? 1 : 0);
        check(command.port >= 1 && command.port <= MAX_PORT);
        check(path ? command.device == argv[1] && std::strlen(argv[1]) <= MAX_DEVICE_PATH : !command.device);
        check(option || command.port == 1);
        check(left == 1 || left == 3);
        check((command.mode == RunMode::Write) == (left == 3));
        if (command.mode == RunMode::Write) {
            int first = option ? 2 : 1;
            check(command.b1 == argv[first] && command.b2 == argv[first + 1]);
        }
    }
    for (char* word : argv)
        std::free(word);
    return 0;
}
