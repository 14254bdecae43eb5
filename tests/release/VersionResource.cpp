#include "release/VersionResource.h"

namespace halvet::test {

bool VersionResource::load(const std::wstring& path) {
    data_.clear();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
    data_ = std::move(data);
    return true;
}

const VS_FIXEDFILEINFO* VersionResource::fixedInfo() const {
    if (data_.empty()) return nullptr;
    void* value = nullptr;
    UINT length = 0;
    // VerQueryValueW takes a non-const block but only reads it.
    if (!VerQueryValueW(const_cast<BYTE*>(data_.data()), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    return static_cast<const VS_FIXEDFILEINFO*>(value);
}

std::wstring VersionResource::text(const std::wstring& block, const std::wstring& name) const {
    if (data_.empty()) return {};
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(const_cast<BYTE*>(data_.data()), query.c_str(), &value, &length) ||
        length == 0)
        return {};
    // The length counts the terminating NUL on Windows; Wine agrees, but do
    // not rely on it.
    return std::wstring(static_cast<const wchar_t*>(value));
}

std::vector<std::pair<WORD, WORD>> VersionResource::translations() const {
    std::vector<std::pair<WORD, WORD>> pairs;
    if (data_.empty()) return pairs;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(const_cast<BYTE*>(data_.data()), L"\\VarFileInfo\\Translation", &value,
                        &length))
        return pairs;
    const WORD* words = static_cast<const WORD*>(value);
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) pairs.emplace_back(words[i], words[i + 1]);
    return pairs;
}

}  // namespace halvet::test
