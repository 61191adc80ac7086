// Any word gives a byte, decided by its first two characters alone.
#include "expected_byte.h"
#include "write_dialogue.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string word(reinterpret_cast<const char*>(data), size);
    word.resize(std::strlen(word.c_str()));  // a word ends at its first NUL
    if (parse_hex_byte(word.c_str()) != expected_byte(word))
        std::abort();
    return 0;
}
