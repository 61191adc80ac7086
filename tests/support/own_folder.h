// A folder of the test process's own, with its ports in it, so that tests
// running side by side never meet on a port.
#pragma once

#include <string>

// COM<port>:'s path as sj-testports names it, from the own folder.
std::string port_path(int port);

// Once per process: makes a fresh folder under `root` with "ports" in it,
// makes it the working folder, and removes it when the process ends.
// Returns its absolute path.
const std::string& enter_own_folder(const char* root);
