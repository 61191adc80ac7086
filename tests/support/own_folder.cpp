// See own_folder.h.
#include "own_folder.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Made on first use: the harnesses ask for it while statics are still being made.
std::string& folder_made()
{
    static std::string folder;
    return folder;
}

void remove_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_made(), ignored);
}

}  // namespace

std::string port_path(int port)
{
    return "ports/ttySIM" + std::to_string(port - 1);
}

const std::string& enter_own_folder(const char* root)
{
    std::string& folder = folder_made();
    if (!folder.empty())
        return folder;
    std::filesystem::create_directories(root);
    std::string name = std::string(root) + "/run.XXXXXX";
    if (!mkdtemp(name.data()) || mkdir((name + "/ports").c_str(), 0755) != 0 || chdir(name.c_str()) != 0)
        std::abort();  // nothing here could run
    folder = name;
    std::atexit(remove_folder);
    return folder;
}
