#include "xml/Logger.h"

namespace {
LogCallback g_callback = nullptr;
Logger* g_defaultLogger = nullptr;
}  // namespace

void setLogCallback(LogCallback callback) { g_callback = callback; }
void setDefaultLogger(Logger* logger) { g_defaultLogger = logger; }

int writeLog(Logger* logger, int level, const wchar_t* tag, const wchar_t* context,
             const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    if (logger) {
        logger->log(level, context, tag, format, args);
    } else if (g_callback) {
        g_callback(level, L"OOBEUtils", tag, L"", context, format, args);
    } else if (g_defaultLogger) {
        g_defaultLogger->log(level, context, tag, format, args);
    }
    va_end(args);
    return 0;
}
