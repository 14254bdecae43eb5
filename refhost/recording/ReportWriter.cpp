#include "recording/ReportWriter.h"

#include <cstdio>
#include <memory>

#include "platform/Text.h"

namespace refhost {

namespace {

const char kTraceMarker[] = "@@TRACE_JSONL@@";
const char kPicturesMarker[] = "@@PICTURES@@";

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

bool readFile(const std::wstring& path, std::string& bytes) {
    UniqueFile file(_wfopen(path.c_str(), L"rb"));
    if (!file) return false;
    bytes.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    return !std::ferror(file.get());
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(_wfopen(path.c_str(), L"wb"));
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return std::fflush(file.get()) == 0 && ok;
}

// Replaces the first occurrence only: the markers stand before the bundled
// library in the template, and the data put in first is never searched again.
void replaceFirst(std::string& text, const std::string& marker, const std::string& value,
                  size_t& from) {
    size_t at = text.find(marker, from);
    if (at == std::string::npos) return;
    text.replace(at, marker.size(), value);
    from = at + value.size();
}

std::string picturesJson(const std::wstring& folder, const Trace& trace) {
    std::string json = "{";
    for (const TraceEntry& entry : trace.entries()) {
        if (entry.kind != EntryKind::Picture) continue;
        std::wstring name = ReportWriter::pictureFile(entry.text);
        std::string bytes;
        if (name.empty() || !readFile(folder + L"\\" + name, bytes)) continue;
        if (json.size() > 1) json += ",";
        json += ReportWriter::scriptSafeJson(text::toUtf8(name)) + ":\"data:image/png;base64," +
                ReportWriter::base64(bytes) + "\"";
    }
    return json + "}";
}

}  // namespace

std::string ReportWriter::scriptSafeJson(const std::string& utf8) {
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    out.reserve(utf8.size() + utf8.size() / 8 + 2);
    for (unsigned char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == '<' || c == '>' || c == '&') {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string ReportWriter::base64(const std::string& bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                     (unsigned char)bytes[i + 2];
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        bool two = i + 1 < bytes.size();
        if (two) v |= (unsigned char)bytes[i + 1] << 8;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += two ? table[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::wstring ReportWriter::pictureFile(const std::wstring& recordText) {
    size_t end = recordText.find(L".png");
    if (end == std::wstring::npos) return L"";
    std::wstring name = recordText.substr(0, end + 4);
    // Only a plain name in the output folder, never a path out of it.
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return L"";
    return name;
}

std::string ReportWriter::fill(const std::string& page, const std::string& traceLines,
                               const std::string& picturesJson) {
    std::string out = page;
    size_t from = 0;
    replaceFirst(out, kTraceMarker, scriptSafeJson(traceLines), from);
    replaceFirst(out, kPicturesMarker, picturesJson, from);
    return out;
}

bool ReportWriter::loadTemplate(std::string& page, std::wstring& error) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(kTemplateResourceId), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        error = L"the report's page template is not bundled into this program";
        return false;
    }
    page.assign(static_cast<const char*>(bytes), SizeofResource(self, found));
    return true;
}

bool ReportWriter::write(const std::wstring& folder, const Trace& trace, std::wstring& error) {
    std::string page;
    if (!loadTemplate(page, error)) return false;
    std::string lines;
    if (!readFile(folder + L"\\trace.jsonl", lines)) {
        error = L"cannot read the trace in " + folder + L" for the report";
        return false;
    }
    // Pictures are inlined for the page to stand alone; a picture that cannot
    // be read is left out and the page says so where it was taken.
    std::string pictures = picturesJson(folder, trace);
    if (!writeFile(folder + L"\\report.html", fill(page, lines, pictures))) {
        error = L"cannot write report.html in " + folder;
        return false;
    }
    return true;
}

}  // namespace refhost
