// What sj adds for the operator (a hint, the ports that exist) goes to
// standard error, after whatever standard output holds so far, so that a
// log of both streams reads in the order of events.
#pragma once

#if defined(__GNUC__)
#define SJ_PRINTF_FORMAT(format_at, args_at) __attribute__((format(printf, format_at, args_at)))
#else
#define SJ_PRINTF_FORMAT(format_at, args_at)
#endif

void note_to_operator(const char* format, ...) SJ_PRINTF_FORMAT(1, 2);

// Flushes standard output. Returns 0, or once anything was lost there the
// first failure's error number, however many flushes came after it.
int flush_standard_output();
