#pragma once
#include <cstdarg>

// Receiver of the module's internal diagnostics (writeLog). Nothing in this
// library implements it; hosts of the code (tests) may install one.
class Logger {
public:
    virtual ~Logger() = default;
    virtual void log(int level, const wchar_t* context, const wchar_t* tag, const wchar_t* format,
                     va_list args) = 0;
};

// Process-wide log callback: level, "OOBEUtils", tag, "", context, format, args.
using LogCallback = void (*)(int level, const wchar_t* module, const wchar_t* tag,
                             const wchar_t* empty, const wchar_t* context, const wchar_t* format,
                             va_list args);

// The two process-wide hooks; both start empty and the library installs neither.
void setLogCallback(LogCallback callback);
void setDefaultLogger(Logger* logger);

// Internal logging: %s wide string, %d signed decimal, %x unsigned lower-case hex.
// Goes to logger, else to the installed callback, else to the default logger,
// else nowhere. Returns 0.
int writeLog(Logger* logger, int level, const wchar_t* tag, const wchar_t* context,
             const wchar_t* format, ...);
