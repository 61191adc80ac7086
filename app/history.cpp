// The history's lines and sj --history, on every platform: the local time
// with its offset, the port as named (and the device behind it), the event.
#include "history.h"
#include "operator_note.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

std::FILE* history = nullptr;
char shown[HISTORY_PATH_SIZE];
bool told = false;  // that it cannot be kept: once a run

// ISO 8601 with the offset from UTC, from the C library on every platform.
void local_time(char* text, std::size_t size)
{
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now), utc = *std::gmtime(&now);
    utc.tm_isdst = local.tm_isdst;
    long minutes = static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc))) / 60;
    std::size_t used = std::strftime(text, size, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + used, size - used, "%c%02ld:%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60,
                  std::labs(minutes) % 60);
}

void make_line(const SerialLink& link, const char* event, char* line, std::size_t size)
{
    char time[40];
    local_time(time, sizeof time);
    std::snprintf(line, size, link.device[0] ? "%s %s (%s) %s\n" : "%s %s%s %s\n", time, link.name, link.device, event);
}

// A line where it can be kept; where it cannot, the operator is told once
// and the run goes on, the way back on the screen.
bool keep_line(const SerialLink& link, const char* event, bool durable)
{
    char line[3 * MAX_DEVICE_PATH], path[HISTORY_PATH_SIZE];
    make_line(link, event, line, sizeof line);
    bool found = history || find_history(path, shown);
    history = history ? history : found ? open_history(path) : nullptr;
    bool kept = history && std::fputs(line, history) >= 0 && std::fflush(history) == 0 &&
                (!durable || sync_history(history));
    int error = errno;  // before operator_notes(), which flushes standard output
    if (!kept && !told)
        std::fprintf(operator_notes(), found ? "sj: cannot keep the history in %s: %s\n" : "sj: cannot keep the history: "
                     "%s is not set\n", shown, std::strerror(error));
    told = told || !kept;
    return kept;
}

}  // namespace

void keep_reading(const SerialLink& link, const std::uint8_t* bytes)
{
    char event[16];
    std::snprintf(event, sizeof event, "read %02X %02X", bytes[0], bytes[1]);
    keep_line(link, event, false);
}

void keep_write(const SerialLink& link, RunStage& stage, std::uint8_t byte1, std::uint8_t byte2)
{
    char event[40];
    std::snprintf(event, sizeof event, "write %02X %02X over %02X %02X", byte1, byte2, stage.before[0], stage.before[1]);
    stage.kept_in = keep_line(link, event, true) ? shown : nullptr;
    char line[3 * MAX_DEVICE_PATH];
    make_line(link, "interrupted", line, sizeof line);  // the time the nearest a signal can have
    keep_if_interrupted(history, line);
}

void keep_outcome(const SerialLink& link, const char* outcome, const Answer* read_back)
{
    char event[48];
    int used = std::snprintf(event, sizeof event, "%s%s", outcome, read_back ? ": read back" : "");
    for (int i = 0; read_back && i < read_back->count; ++i)
        used += std::snprintf(event + used, sizeof event - static_cast<std::size_t>(used), " %02X", read_back->bytes[i]);
    keep_if_interrupted(history, nullptr);
    keep_line(link, event, false);
}

void close_history()
{
    keep_if_interrupted(history, nullptr);
    if (history)
        std::fclose(history);
    history = nullptr;
    told = false;
}

int print_history()
{
    char path[HISTORY_PATH_SIZE];
    bool found = find_history(path, shown);
    std::FILE* file = found ? std::fopen(path, "r") : nullptr;
    if (!file) {
        int error = found ? errno : 0;
        std::printf(found ? "No history in %s: %s\n" : "No history: %s is not set\n", shown, std::strerror(error));
        return error == ENOENT ? 0 : 1;
    }
    std::printf("The history of sj, kept in %s; its first reading is the radio's bytes as sj first found them:\n", shown);
    char chunk[4096];
    std::size_t n = 0;
    do {  // a short read is the end (or an error): no read after it
        n = std::fread(chunk, 1, sizeof chunk, file);
        std::fwrite(chunk, 1, n, stdout);
    } while (n == sizeof chunk);
    std::fclose(file);
    return 0;
}
