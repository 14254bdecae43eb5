#include "host/HalvetAppUIMessageProcessor.h"

#include <windows.h>

#include "panel/ContentLoading.h"
#include "panel/GuidText.h"
#include "panel/NetworkErrors.h"
#include "util/FileUtils.h"

namespace {
constexpr wchar_t kContainerApplet[] = L"HEX_UIX";
constexpr wchar_t kPanelLogicApplet[] = L"HalvetPanel_BL";
constexpr wchar_t kAppletVersion[] = L"1.0";
}  // namespace

HalvetAppUIMessageProcessor* HalvetAppUIMessageProcessor::instance() {
    // Made on the first call; its destruction runs when the module unloads,
    // before the module-wide tables it was created after.
    static HalvetAppUIMessageProcessor processor;
    return &processor;
}

const std::vector<HalvetAppUIMessageProcessor::HandlerRow>&
HalvetAppUIMessageProcessor::handlerTable() {
    // Message names are exact and case-sensitive. Each handler is a member of
    // this class and runs on the panel processor.
    static const std::vector<HandlerRow> table = {
        {L"proxyCredentialsUpdated", &HalvetAppUIMessageProcessor::proxyCredentialsUpdated},
    };
    return table;
}

HalvetAppUIMessageProcessor::HalvetAppUIMessageProcessor() = default;
HalvetAppUIMessageProcessor::~HalvetAppUIMessageProcessor() = default;

int HalvetAppUIMessageProcessor::initialize(const wchar_t* initXml, const HostContext* host) {
    if (ProcessMessageManager::initialize(initXml, host) == 0) return 0;
    for (const HandlerRow& row : handlerTable()) addPayloadHandler(row.name, row.handler);
    return 1;
}

int HalvetAppUIMessageProcessor::finalize(const wchar_t*) {
    // Close steps, in this order: the panel view, then the font stylesheet file.
    deleteFontFile();
    return 1;
}

std::wstring HalvetAppUIMessageProcessor::sendToUIX(const std::wstring& name,
                                                    const std::wstring& data) {
    return sendToApplet(kContainerApplet, kAppletVersion, name, data);
}

std::wstring HalvetAppUIMessageProcessor::sendToPanelBL(const std::wstring& name,
                                                        const std::wstring& data) {
    return sendToApplet(kPanelLogicApplet, kAppletVersion, name, data);
}

std::wstring HalvetAppUIMessageProcessor::sendToPanelBLFlagged(const std::wstring& name,
                                                               const std::wstring& data) {
    return sendToAppletFlagged(kPanelLogicApplet, kAppletVersion, name, data);
}

HandlerReply HalvetAppUIMessageProcessor::proxyCredentialsUpdated(const std::wstring&) {
    halvet::onProxyCredentialsUpdated(*this);
    return HandlerReply::fixed(L"true");
}

void HalvetAppUIMessageProcessor::deleteFontFile() {
    if (fontFilePath.empty()) return;
    if (GetFileAttributesW(fontFilePath.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    halvet::deleteFile(fontFilePath);
}

bool HalvetAppUIMessageProcessor::writeFontFile(std::wstring& url) {
    deleteFontFile();
    std::wstring path;
    if (!halvet::getFolderLocation(halvet::kTemporary, path)) return false;
    std::wstring name;
    newGuidString(name);
    if (!halvet::appendPath(path, name)) return false;
    fontFilePath = path;
    // A file that cannot be written is not reported: the page is still told,
    // and finds no fonts.
    halvet::writeFileBytes(fontFilePath, halvet::fontStylesheet());
    url = halvet::fileUrl(fontFilePath);
    return true;
}
