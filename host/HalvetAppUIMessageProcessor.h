#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/ProcessMessageManager.h"

// The panel's processor and the owner of the panel: the one processor of the
// module, reached everywhere through instance(). It receives every message the
// host delivers (the processor registry stays empty).
class HalvetAppUIMessageProcessor : public ProcessMessageManager {
public:
    using Handler = HandlerReply (HalvetAppUIMessageProcessor::*)(const std::wstring& data);

    // One row of the panel's handler table.
    struct HandlerRow {
        const wchar_t* name;
        Handler handler;
    };

    // The single instance, made on first use and destroyed when the module
    // unloads. Never null.
    static HalvetAppUIMessageProcessor* instance();

    // The panel's handlers, in the order initialize adds them.
    static const std::vector<HandlerRow>& handlerTable();

    ~HalvetAppUIMessageProcessor() override;

    // Base initialize, then the panel's handlers (each under its name, with a
    // null boundObject: a repeated initialize replaces them). Returns 1.
    int initialize(const wchar_t* initXml, const HostContext* host) override;
    // Closes the panel; the base operation is not called, so the processor
    // registry stays as it is. Returns 1.
    int finalize(const wchar_t* finalText) override;

    // The panel's three addresses; each returns the receiver's reply.
    // "HEX_UIX" 1.0, the host's HTML container.
    std::wstring sendToUIX(const std::wstring& name, const std::wstring& data);
    // "HalvetPanel_BL" 1.0, the panel's business logic.
    std::wstring sendToPanelBL(const std::wstring& name, const std::wstring& data);
    // "HalvetPanel_BL" 1.0 with flagA 1.
    std::wstring sendToPanelBLFlagged(const std::wstring& name, const std::wstring& data);

    // Handlers of the host's messages.
    // "proxyCredentialsUpdated": a pending proxy error is retried; replies "true".
    HandlerReply proxyCredentialsUpdated(const std::wstring& data);

    // Removes the font stylesheet file at fontFilePath, if one is there.
    void deleteFontFile();
    // Replaces the font stylesheet file with a fresh one, named by a new GUID in
    // the user's temporary folder, and gives its URL. False (nothing written,
    // fontFilePath as it was) when the folder cannot be had.
    bool writeFontFile(std::wstring& url);

    // Controller state.
    // The newest font stylesheet file; kept after the file is deleted.
    std::wstring fontFilePath;
    // 0 no network error pending, 1 a proxy error waits for new credentials,
    // 2 a network error was reported (see panel/NetworkErrors.h).
    int32_t networkErrorState = 0;

protected:
    // Protected so that tests can derive; everything else uses instance().
    HalvetAppUIMessageProcessor();
};
