#include "boundary/PanelLibrary.h"

#include <psapi.h>

#include "platform/Text.h"

namespace refhost {

bool PanelLibrary::load(const std::wstring& path, std::wstring& error) {
    path_ = path;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"cannot load the DLL " + path + L": no such file";
        return false;
    }
    // Dependencies are looked up beside the DLL first, as a host does.
    module_.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module_) {
        error = L"cannot load the DLL " + path + L": " + text::systemMessage(GetLastError());
        return false;
    }
    initialize_ = reinterpret_cast<InitializeFunction>(GetProcAddress(module_.get(), "initialize"));
    processMessage_ =
        reinterpret_cast<ProcessMessageFunction>(GetProcAddress(module_.get(), "processMessage"));
    finalize_ = reinterpret_cast<FinalizeFunction>(GetProcAddress(module_.get(), "finalize"));
    std::wstring missing;
    if (!initialize_) missing += L" initialize";
    if (!processMessage_) missing += L" processMessage";
    if (!finalize_) missing += L" finalize";
    if (!missing.empty()) {
        error = L"the DLL " + path + L" lacks the export(s):" + missing;
        module_.reset();
        return false;
    }
    return true;
}

int PanelLibrary::initialize(const std::wstring& document, HostContext* host) {
    return initialize_(document.c_str(), host);
}

PanelLibrary::Reply PanelLibrary::processMessage(const Envelope& message) {
    MessageRecord record = message.toRecord();
    // A value the DLL never writes, to see whether it wrote the out-parameter.
    const auto untouched = reinterpret_cast<ReplyReleaseFunction>(static_cast<uintptr_t>(1));
    ReplyReleaseFunction release = untouched;
    Reply reply;
    const wchar_t* text = processMessage_(&record, &release);
    reply.null = text == nullptr;
    if (text) reply.text = text;
    if (release != untouched && release != nullptr) {
        reply.owned = true;
        reply.released = release(const_cast<wchar_t*>(text));
    }
    return reply;
}

int PanelLibrary::finalize(const std::wstring& text) {
    return finalize_(text.c_str());
}

bool PanelLibrary::contains(uintptr_t address) const {
    if (!module_) return false;
    MODULEINFO info{};
    if (!GetModuleInformation(GetCurrentProcess(), module_.get(), &info, sizeof info)) return false;
    auto base = reinterpret_cast<uintptr_t>(info.lpBaseOfDll);
    return address >= base && address < base + info.SizeOfImage;
}

}  // namespace refhost
