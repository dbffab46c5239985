#include "core/Trace.h"

#include <cstdarg>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/Stream.h"

FILE* TraceLogFile = nullptr;
int TraceLogOpenError = 0;

void TraceInit()
{
    if (TraceLogFile) {
        std::fclose(TraceLogFile);
        TraceLogFile = nullptr;
    }
    const std::string saveDir = GetSaveDirectory();
    // Without a save directory there is nowhere to put the log; nothing is created at the root.
    if (saveDir.empty()) {
        TraceLogOpenError = ENOENT;
        std::printf("Trace log could not start...\n");
        std::fflush(stdout);
        return;
    }
    const std::string folder = saveDir + "/trace";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            std::printf("Unable to create folder %s: %s\n", folder.c_str(), ec.message().c_str());
            TraceLogOpenError = ec.value() ? ec.value() : EIO;
            std::printf("Trace log could not start...\n");
            std::fflush(stdout);
            return;
        }
    }
    const std::string path = folder + "/trace.log";
    errno = 0;
    TraceLogFile = std::fopen(path.c_str(), "wt");
    TraceLogOpenError = TraceLogFile ? 0 : (errno ? errno : EIO);
    std::printf(TraceLogFile ? "Trace log started...\n" : "Trace log could not start...\n");
    std::fflush(stdout);
}

void Trace(const char* format, ...)
{
    if (TraceLogOpenError != 0)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    std::vprintf(format, args);
    std::printf("\n");
    std::fflush(stdout);
    if (TraceLogFile) {
        std::vfprintf(TraceLogFile, format, copy);
        std::fputs("\n", TraceLogFile);
        std::fflush(TraceLogFile);
    }
    va_end(copy);
    va_end(args);
}

void ReportAssertion(const char* expression, const char* location, const std::string& message)
{
    const std::string line = std::string("Assertion `") + (expression ? expression : "") + "` failed." +
                             "Location: " + (location ? location : "") + ": " + message;
    Trace("%s", line.c_str());
}

void AssertionFailed(const char* expression, const char* file, int line, const std::string& message)
{
    const std::string location = std::string(file) + " Line " + std::to_string(line);
    ReportAssertion(expression, location.c_str(), message);
    if (TraceLogOpenError == 0 && TraceLogFile) {
        std::printf("Trace log ended...\n");
        std::fflush(stdout);
        std::fclose(TraceLogFile);
        TraceLogFile = nullptr;
    }
}

void TraceClose()
{
    if (TraceLogFile) {
        std::fclose(TraceLogFile);
        TraceLogFile = nullptr;
    }
}

void TraceReset()
{
    TraceClose();
    TraceLogOpenError = 0;
}
