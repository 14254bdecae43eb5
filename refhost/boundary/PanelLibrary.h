#pragma once
#include <windows.h>

#include <string>

#include "boundary/Envelope.h"
#include "platform/UniqueHandle.h"

namespace refhost {

// The DLL under test, reached only through its exports.
class PanelLibrary {
public:
    using InitializeFunction = int(__cdecl*)(const wchar_t* initXml, HostContext* host);
    using ProcessMessageFunction = const wchar_t*(__cdecl*)(MessageRecord* request,
                                                            ReplyReleaseFunction* release);
    using FinalizeFunction = int(__cdecl*)(const wchar_t* finalText);
    // The container callback whose address the panel hands over.
    using ContainerCallback = int(__cdecl*)(const wchar_t* eventName, const wchar_t* payload);

    struct Reply {
        std::wstring text;
        bool null = false;      // processMessage returned a null pointer
        bool owned = false;     // it handed a release function with the text
        bool released = false;  // that function's result
    };

    PanelLibrary() = default;
    PanelLibrary(const PanelLibrary&) = delete;
    PanelLibrary& operator=(const PanelLibrary&) = delete;

    // Loads the file and finds the three exports; error says why not.
    bool load(const std::wstring& path, std::wstring& error);
    bool loaded() const { return module_ && initialize_ && processMessage_ && finalize_; }
    HMODULE module() const { return module_.get(); }
    const std::wstring& path() const { return path_; }

    int initialize(const std::wstring& document, HostContext* host);
    Reply processMessage(const Envelope& message);
    int finalize(const std::wstring& text);

    // Whether an address lies in the loaded image: the container calls only
    // a callback address inside the DLL.
    bool contains(uintptr_t address) const;

private:
    UniqueModule module_;
    std::wstring path_;
    InitializeFunction initialize_ = nullptr;
    ProcessMessageFunction processMessage_ = nullptr;
    FinalizeFunction finalize_ = nullptr;
};

}  // namespace refhost
