#pragma once
#include <string>

#include "recording/Trace.h"

namespace refhost {

// Writes report.html beside the trace: the page template bundled into the
// program (the page's script and its diagram library), filled with the run's
// trace.jsonl as it stands on disk and the pictures the run took, inlined, so
// that the page needs nothing but itself.
class ReportWriter {
public:
    static constexpr int kTemplateResourceId = 201;

    static bool write(const std::wstring& folder, const Trace& trace, std::wstring& error);

    // The template with its two data markers replaced; the trace text is the
    // JSON Lines file, the pictures a JSON object of file name to data URL.
    static std::string fill(const std::string& page, const std::string& traceLines,
                            const std::string& picturesJson);
    // The bytes as one JSON string literal that is also safe inside a script
    // element: every '<' is written as \u003c, so no "</script>" can appear.
    static std::string scriptSafeJson(const std::string& utf8);
    static std::string base64(const std::string& bytes);
    // The picture's file name from a picture record's text, which may carry
    // words after it ("02-spinner-frames.png (8 spinner frames)").
    static std::wstring pictureFile(const std::wstring& recordText);

private:
    static bool loadTemplate(std::string& page, std::wstring& error);
};

}  // namespace refhost
