// The resources the panel loads from its own module: the two spinner pictures
// and the font stylesheet, checked byte by byte as the module carries them.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/ModuleHandle.h"
#include "resources/resource.h"

namespace {

struct ResourceBytes {
    const unsigned char* data = nullptr;
    size_t size = 0;
};

ResourceBytes findResource(int id, const wchar_t* type) {
    ResourceBytes bytes;
    HMODULE module = halvet::thisModule();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!info) return bytes;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return bytes;
    bytes.data = static_cast<const unsigned char*>(LockResource(loaded));
    bytes.size = SizeofResource(module, info);
    return bytes;
}

uint32_t bigEndian32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Decoded pixels through GDI+, as the spinner control decodes them.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

// Alpha of the picture's pixel at the middle of dash `index` (0 at 12 o'clock,
// counting counter-clockwise), or -1 when the picture cannot be decoded.
std::vector<int> dashAlphas(const ResourceBytes& png, int size) {
    std::vector<int> alphas;
    std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(png.data, static_cast<UINT>(png.size)));
    if (!stream) return alphas;
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromStream(stream.get()));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) return alphas;
    if (int(bitmap->GetWidth()) != size || int(bitmap->GetHeight()) != size) return alphas;
    const double centre = size / 2.0;
    const double radius = 0.35 * size;  // halfway along a dash
    for (int index = 0; index < 12; ++index) {
        const double theta = (90.0 + 30.0 * index) * 3.14159265358979323846 / 180.0;
        const int x = int(std::floor(centre + radius * std::cos(theta)));
        const int y = int(std::floor(centre - radius * std::sin(theta)));
        Gdiplus::Color colour;
        bitmap->GetPixel(x, y, &colour);
        alphas.push_back(colour.GetA());
    }
    return alphas;
}

void expectSpinnerPicture(int id, uint32_t size) {
    SCOPED_TRACE("PNG resource " + std::to_string(id));
    ResourceBytes png = findResource(id, L"PNG");
    ASSERT_NE(png.data, nullptr);
    ASSERT_GT(png.size, 33u);
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_TRUE(std::equal(signature, signature + 8, png.data));
    // The first chunk is IHDR: length 13, width, height, depth, colour type.
    EXPECT_EQ(bigEndian32(png.data + 8), 13u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(png.data + 12), 4), "IHDR");
    EXPECT_EQ(bigEndian32(png.data + 16), size);
    EXPECT_EQ(bigEndian32(png.data + 20), size);
    EXPECT_EQ(png.data[24], 8) << "bit depth";
    EXPECT_EQ(png.data[25], 6) << "colour type RGBA";

    GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    std::vector<int> alphas = dashAlphas(png, int(size));
    ASSERT_EQ(alphas.size(), 12u) << "GDI+ does not decode the picture";
    // Upright: the 12 o'clock dash leads, the trail fades counter-clockwise.
    for (int i = 1; i < 12; ++i) EXPECT_LT(alphas[i], alphas[i - 1]) << "dash " << i;
    EXPECT_GE(alphas[0], 250);
    EXPECT_GT(alphas[11], 0);
}

std::vector<std::string> splitCrlf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict decoder: a length that is a multiple of four, padding only at the end.
bool decodeBase64(const std::string& text, std::string& out) {
    if (text.empty() || text.size() % 4 != 0) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad) return false;
            v[k] = base64Value(c);
            if (v[k] < 0) return false;
        }
        uint32_t n = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | v[3];
        out.push_back(char(n >> 16));
        if (pad < 2) out.push_back(char((n >> 8) & 0xff));
        if (pad < 1) out.push_back(char(n & 0xff));
    }
    return true;
}

}  // namespace

TEST(ResourceTest, NormalSpinnerIsUpright37By37Rgba) {
    expectSpinnerPicture(IDB_SPINNER_NORMAL, 37);
}

TEST(ResourceTest, HighDpiSpinnerIsUpright74By74Rgba) {
    expectSpinnerPicture(IDB_SPINNER_HIGHDPI, 74);
}

TEST(ResourceTest, StylesheetHasCrlfLineEndsAndNoNul) {
    ResourceBytes css = findResource(IDR_FONT_STYLESHEET, L"CSS");
    ASSERT_NE(css.data, nullptr);
    ASSERT_GT(css.size, 0u);
    const std::string text(reinterpret_cast<const char*>(css.data), css.size);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    size_t lineEnds = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
            ++lineEnds;
        } else if (text[i] == '\r') {
            ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at byte " << i;
        } else {
            ASSERT_TRUE(text[i] >= 0x20 && text[i] < 0x7f) << "not printable ASCII at byte " << i;
        }
    }
    // 16 header lines, four rules of five lines, three separating lines; no
    // line end after the last closing brace.
    EXPECT_EQ(lineEnds, 16u + 4 * 5 + 3 - 1);
    EXPECT_EQ(text.back(), '}');
}

TEST(ResourceTest, StylesheetHoldsFourRulesWithWoffDataUrlsInOrder) {
    ResourceBytes css = findResource(IDR_FONT_STYLESHEET, L"CSS");
    ASSERT_NE(css.data, nullptr);
    const std::vector<std::string> lines =
        splitCrlf(std::string(reinterpret_cast<const char*>(css.data), css.size));
    ASSERT_EQ(lines.size(), 39u);

    // A one-line comment, a 14-line comment, an empty line.
    EXPECT_EQ(lines[0].compare(0, 2, "/*"), 0);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 2), "*/");
    EXPECT_EQ(lines[1], "/*");
    for (int i = 2; i < 14; ++i) EXPECT_EQ(lines[i].compare(0, 2, " *"), 0) << "line " << i + 1;
    EXPECT_EQ(lines[14], " */");
    EXPECT_EQ(lines[15], "");

    static const char* const styleWeight[4] = {
        "font-style:italic;font-weight:400;", "font-style:normal;font-weight:300;",
        "font-style:normal;font-weight:400;", "font-style:normal;font-weight:700;"};
    const std::string prefix = "src:url(data:font/opentype;base64,";
    const std::string suffix = ");";
    for (int rule = 0; rule < 4; ++rule) {
        SCOPED_TRACE("rule " + std::to_string(rule + 1));
        const size_t first = 16 + size_t(rule) * 6;
        if (rule > 0) {
            EXPECT_EQ(lines[first - 1], "");
        }
        EXPECT_EQ(lines[first], "@font-face {");
        EXPECT_EQ(lines[first + 1], "font-family:\"Orvane Clean\";");
        const std::string& src = lines[first + 2];
        ASSERT_GT(src.size(), prefix.size() + suffix.size());
        EXPECT_EQ(src.compare(0, prefix.size(), prefix), 0);
        EXPECT_EQ(src.substr(src.size() - suffix.size()), suffix);
        std::string font;
        ASSERT_TRUE(decodeBase64(
            src.substr(prefix.size(), src.size() - prefix.size() - suffix.size()), font));
        ASSERT_GE(font.size(), 44u) << "shorter than a WOFF header";
        EXPECT_EQ(font.compare(0, 4, "wOFF"), 0);
        // The WOFF header's own length field matches what was embedded.
        EXPECT_EQ(bigEndian32(reinterpret_cast<const unsigned char*>(font.data()) + 8),
                  font.size());
        EXPECT_EQ(lines[first + 3], styleWeight[rule]);
        EXPECT_EQ(lines[first + 4], "}");
    }
}

namespace {

// The fixed head of an extended dialog template.
#pragma pack(push, 1)
struct DialogTemplateHead {
    WORD version;
    WORD signature;
    DWORD helpId;
    DWORD exStyle;
    DWORD style;
    WORD itemCount;
    short x, y, cx, cy;
};
#pragma pack(pop)

}  // namespace

TEST(ResourceTest, PanelTemplatesAreBorderlessChildrenOf294By410Units) {
    for (int id : {IDD_MAIN_PANEL, IDD_MAIN_PANEL_PLAIN}) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        ResourceBytes bytes = findResource(id, MAKEINTRESOURCEW(5) /* RT_DIALOG */);
        ASSERT_NE(bytes.data, nullptr);
        ASSERT_GE(bytes.size, sizeof(DialogTemplateHead));
        const auto* head = reinterpret_cast<const DialogTemplateHead*>(bytes.data);
        EXPECT_EQ(head->version, 1);
        EXPECT_EQ(head->signature, 0xFFFF);
        EXPECT_EQ(head->style & (WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_BORDER | WS_POPUP),
                  DWORD(WS_CHILD));
        EXPECT_EQ(head->style & (DS_SETFONT | DS_FIXEDSYS), DWORD(DS_SETFONT | DS_FIXEDSYS));
        EXPECT_EQ(head->x, 0);
        EXPECT_EQ(head->y, 0);
        EXPECT_EQ(head->cx, 294);
        EXPECT_EQ(head->cy, 410);
        EXPECT_EQ(head->itemCount, id == IDD_MAIN_PANEL ? 1 : 0);
    }
}
