#include "fuzz/RandomInput.h"

namespace halvet::fuzz {

std::wstring RandomInput::word() {
    static const std::vector<std::wstring> words = {
        L"a", L"item", L"guid", L"url", L"data", L"x-y", L"HTMLMessage", L"error", L"errReason",
        L"proxy-preferences", L"n1", L"Z"};
    return pick(words);
}

std::wstring RandomInput::noise(int maxLength) {
    std::wstring text;
    const int length = below(maxLength + 1);
    for (int i = 0; i < length; ++i) {
        switch (below(6)) {
            case 0: text += static_cast<wchar_t>(1 + below(0x1F)); break;      // control
            case 1: text += static_cast<wchar_t>(0xD800 + below(0x800)); break;  // surrogate
            case 2: text += L"<>&\"';/!?[]"[below(11)]; break;
            case 3: text += static_cast<wchar_t>(0xFFFE + below(2)); break;
            default: text += static_cast<wchar_t>(0x20 + below(0x5F)); break;
        }
    }
    return text;
}

std::wstring RandomInput::document(int depth) {
    const std::wstring name = word();
    std::wstring xml = L"<" + name;
    if (chance(30)) xml += L" k=\"" + std::to_wstring(below(1000)) + L"&amp;\"";
    xml += L">";
    const int children = depth > 6 ? 0 : below(4);
    for (int i = 0; i < children; ++i) xml += document(depth + 1);
    if (chance(50)) xml += L"t&lt;" + std::to_wstring(below(100));
    if (chance(10)) xml += L"<![CDATA[ <raw> & ]]>";
    return xml + L"</" + name + L">";
}

std::wstring RandomInput::errorEvent() {
    static const std::vector<std::wstring> reasons = {
        L"ERR_AUTH_PROXY_REQUIRED", L"ERR_TUNNEL_CONNECTION_FAILED", L"ERR_AUTH_PROXY_AUTH_ERROR",
        L"ERR_CONNECTION_RESET",    L"ERR_NAME_NOT_RESOLVED",        L""};
    std::wstring xml = L"<error><errorCode>" + std::to_wstring(-below(400)) + L"</errorCode>";
    xml += L"<errorMsg>" + (chance(30) ? pick(reasons) : std::wstring(L"failed")) + L"</errorMsg>";
    if (chance(90)) xml += L"<errReason>" + pick(reasons) + L"</errReason>";
    return xml + L"</error>";
}

std::wstring RandomInput::mutate(std::wstring text) {
    const int edits = 1 + below(4);
    for (int i = 0; i < edits && !text.empty(); ++i) {
        const size_t at = static_cast<size_t>(below(static_cast<int>(text.size())));
        switch (below(4)) {
            case 0: text.erase(at, 1 + below(4)); break;
            case 1: text.insert(at, noise(3)); break;
            case 2: text[at] = L"<>&/\""[below(5)]; break;
            default: text = text.substr(0, at); break;
        }
    }
    return text;
}

std::wstring RandomInput::deepDocument() {
    const int depth = 400 + below(200);
    std::wstring xml;
    for (int i = 0; i < depth; ++i) xml += L"<d>";
    for (int i = 0; i < depth; ++i) xml += L"</d>";
    return xml;
}

std::wstring RandomInput::payload() {
    switch (below(10)) {
        case 0: return L"";
        case 1: return mutate(document());
        case 2: return errorEvent();
        case 3: return noise(40);
        case 4: return chance(10) ? deepDocument() : mutate(errorEvent());
        case 5: return L"http://host/page?a=1&b=" + noise(5);
        case 6: return chance(5) ? std::wstring(100000 + below(100000), L'x') : document();
        default: return document();
    }
}

std::wstring RandomInput::messageName(const std::vector<std::wstring>& known) {
    if (!known.empty() && chance(70)) {
        std::wstring name = pick(known);
        if (chance(10) && !name.empty()) name[0] = static_cast<wchar_t>(towlower(name[0]) ^ 0x20);
        return name;
    }
    return chance(50) ? noise(12) : word();
}

std::wstring RandomInput::eventName() {
    static const std::vector<std::wstring> names = {
        L"CEF_ERROR", L"OnLoadEnd", L"OnRenderProcessTerminated", L"xCEF_ERRORy", L"cef_error",
        L"pageMessage", L""};
    return chance(85) ? pick(names) : noise(10);
}

}  // namespace halvet::fuzz
