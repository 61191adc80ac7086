// Every text that sj can print stands in sj(1): the texts are drawn from the
// product's sources, so that a new message without its explanation fails.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifndef SJ_SOURCE_DIR
#error "SJ_SOURCE_DIR must name the source folder, SJ_MAN_PAGE the configured sj.1"
#endif

namespace {

char escaped(char c)
{
    return c == 'n' ? '\n' : c == 't' ? '\t' : c;
}

// The string literals of a C++ file, adjacent ones joined, escapes read;
// comments, character literals and preprocessor lines left out.
std::vector<std::string> literals_of(const std::string& code)
{
    std::vector<std::string> literals;
    bool joining = false;  // the last literal may go on with the next
    for (std::size_t i = 0; i < code.size(); ++i) {
        bool line_start = i == 0 || code[i - 1] == '\n';
        if (code.compare(i, 2, "//") == 0 || (line_start && code[i] == '#')) {
            i = code.find('\n', i);
        } else if (code.compare(i, 2, "/*") == 0) {
            i = code.find("*/", i) + 1;
        } else if (code[i] == '\'') {
            for (++i; code[i] != '\''; ++i)
                i += code[i] == '\\';
            joining = false;
        } else if (code[i] == '"') {
            if (!joining)
                literals.emplace_back();
            for (++i; code[i] != '"'; ++i)
                literals.back() += code[i] == '\\' ? escaped(code[++i]) : code[i];
            joining = true;
        } else if (!std::isspace(static_cast<unsigned char>(code[i]))) {
            joining = false;
        }
        if (i == std::string::npos)
            break;
    }
    return literals;
}

const std::regex conversion(R"(%[-+ #0]*(\*|\d+)?(\.\d+)?(hh|h|ll|l|z)?[diouxXcsp%])");

std::string collapsed(const std::string& text)
{
    return std::regex_replace(text, std::regex(R"(\s+)"), " ");
}

// The pattern a text makes in the page: its conversions stand for anything,
// and a long text need only stand there by its first 60 characters.
std::string pattern_of(const std::string& text)
{
    std::string pattern;
    std::size_t fixed = 0;
    auto at = std::sregex_iterator(text.begin(), text.end(), conversion);
    std::size_t from = 0;
    auto add_fixed = [&](std::size_t to) {
        for (; from < to && fixed < 60; ++from, ++fixed)
            pattern += std::string(std::strchr(R"(\^$.|?*+()[]{})", text[from]) ? "\\" : "") + text[from];
    };
    for (; at != std::sregex_iterator() && fixed < 60; ++at) {
        add_fixed(static_cast<std::size_t>(at->position()));
        if (fixed < 60)
            pattern += ".*?";
        from = static_cast<std::size_t>(at->position() + at->length());
    }
    add_fixed(text.size());
    return pattern;
}

// What sj can print: the literals' lines that hold words, not the paths,
// formats and words of the command line that it only uses.
std::vector<std::string> texts_of_the_product()
{
    std::vector<std::string> texts;
    for (const char* folder : {"app", "radio"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(SJ_SOURCE_DIR) + "/" + folder)) {
            if (entry.path().extension() != ".cpp")
                continue;
            std::ifstream file(entry.path());
            std::stringstream code;
            code << file.rdbuf();
            for (const std::string& literal : literals_of(code.str())) {
                std::istringstream lines(literal);
                for (std::string line; std::getline(lines, line);) {
                    std::string text = collapsed(line);
                    if (std::regex_search(std::regex_replace(text, conversion, ""), std::regex("[A-Za-z]+ [A-Za-z]+")))
                        texts.push_back(text);
                }
            }
        }
    }
    return texts;
}

// sj(1) as its reader sees it, on one line: no hyphenation, no fonts.
std::string rendered_page()
{
    std::string command = "groff -man -Tascii -P-c -P-b -P-u -rHY=0 -rLL=300n '" SJ_MAN_PAGE "' 2>&1";
    std::FILE* groff = popen(command.c_str(), "r");
    std::string page;
    char chunk[4096];
    for (std::size_t n; groff && (n = std::fread(chunk, 1, sizeof chunk, groff)) > 0;)
        page.append(chunk, n);
    if (groff)
        pclose(groff);
    return collapsed(page);
}

TEST(Messages, EveryTextSjCanPrintStandsInTheManualPage)
{
    std::string page = rendered_page();
    ASSERT_NE(page.find("DIAGNOSTICS"), std::string::npos) << page;
    std::vector<std::string> texts = texts_of_the_product();
    ASSERT_GT(texts.size(), 60u);  // the sources were read
    for (const std::string& text : texts)
        EXPECT_TRUE(std::regex_search(page, std::regex(pattern_of(text)))) << "not in sj(1): \"" << text << "\"";
}

}  // namespace
