#pragma once
// Diagnostics: printf-style trace lines to the console and the trace log, and the assertion reporter.
#include <cstdio>
#include <string>

// The open trace log; null before TraceInit, when opening failed, and after an assertion closed it.
extern FILE* TraceLogFile;
// 0 when the log opened; any other value silences Trace entirely.
extern int TraceLogOpenError;

// Opens "<save dir>/trace/trace.log" afresh and reports the outcome on the console.
void TraceInit();
// Writes one formatted line to the console and, while it is open, to the trace log.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Traces "Assertion `<expression>` failed.Location: <location>: <message>" (the message is not a format).
void ReportAssertion(const char* expression, const char* location, const std::string& message);
// One assertion site after a failed check: reports with the location "<file> Line <line>", then closes
// the trace log (printing "Trace log ended..."). Execution continues at the caller.
void AssertionFailed(const char* expression, const char* file, int line, const std::string& message);
// Closes the trace log if it is open (orderly shutdown), without a console line.
void TraceClose();
// Puts the globals back to their start-up state (closing any open log); for tests.
void TraceReset();
