#include "panel/ContainerCallback.h"

#include <string>

#include "host/HalvetAppUIMessageProcessor.h"
#include "panel/NetworkErrors.h"
#include "xml/XMLParser.h"
#include "xml/XMLText.h"

namespace {

constexpr wchar_t kWrapperTemplate[] = L"<HTMLMessage/>";
constexpr wchar_t kWrapperOpen[] = L"<HTMLMessage>";
constexpr wchar_t kWrapperClose[] = L"</HTMLMessage>";
constexpr wchar_t kNetworkErrorMarker[] = L"CEF_ERROR";
constexpr wchar_t kLoadEnd[] = L"OnLoadEnd";
constexpr wchar_t kRenderProcessTerminated[] = L"OnRenderProcessTerminated";

// The payload's root element, with its content, as the only child of an
// HTMLMessage element. Anything outside the root (declaration, comments) is
// not carried. Written around the root's own text rather than through a second
// document: the same result for a fraction of the cost.
std::wstring wrapDocument(XMLParser& payloadDocument) {
    std::wstring root;
    if (!payloadDocument.getRootXMLString(root)) return {};
    return kWrapperOpen + root + kWrapperClose;
}

// A plain-text "OnLoadEnd" payload is the loaded URL.
std::wstring wrapLoadUrl(const std::wstring& url) {
    XMLParser wrapper;
    XMLNode wrapperRoot;
    std::wstring text;
    if (!wrapper.initWithXMLString(kWrapperTemplate) || !wrapper.getRootNode(wrapperRoot))
        return {};
    wrapper.addChildToNode(L"loadUrl", halvet::replaceInvalidXMLChars(url), wrapperRoot);
    wrapper.getXMLString(text);
    return text;
}

// Page text that is not a document of its own. It goes between the wrapper's
// tags as it stands when the result is well-formed (a page may send a list of
// elements or plain words); anything else would break the receiver's parser,
// so it goes as escaped character data instead.
std::wstring wrapText(const std::wstring& payload) {
    std::wstring raw = kWrapperOpen + payload + kWrapperClose;
    XMLParser probe;
    if (probe.initWithXMLString(raw)) return raw;
    return kWrapperOpen + halvet::escapeXMLText(payload) + kWrapperClose;
}

void relay(HalvetAppUIMessageProcessor& processor, const std::wstring& name,
           std::wstring data) {
    // A wrapper that could not be written still goes out as a document: the
    // receiver parses every relay, and empty data is not XML.
    if (data.empty()) data = kWrapperTemplate;
    // Only a lost render process goes with flagA 0.
    if (name == kRenderProcessTerminated)
        processor.sendToPanelBL(name, data);
    else
        processor.sendToPanelBLFlagged(name, data);
}

void handleEvent(const wchar_t* eventName, const wchar_t* payloadText) {
    std::wstring name = eventName;
    const std::wstring payload = payloadText;
    HalvetAppUIMessageProcessor& processor = *HalvetAppUIMessageProcessor::instance();

    XMLParser payloadDocument;
    std::wstring data;
    if (payloadDocument.initWithXMLString(payload)) {
        if (name.find(kNetworkErrorMarker) != std::wstring::npos &&
            !halvet::handleNetworkError(processor, payloadDocument, payload, name))
            return;
        data = wrapDocument(payloadDocument);
    } else if (name == kLoadEnd) {
        data = wrapLoadUrl(payload);
    } else {
        data = wrapText(payload);
    }
    relay(processor, name, data);
}

}  // namespace

extern "C" int __cdecl containerCallback(const wchar_t* eventName, const wchar_t* payload) {
    if (!eventName || !payload) return 0;
    try {
        handleEvent(eventName, payload);
    } catch (...) {
        // The container learns nothing from the result; a failed relay is dropped.
    }
    return 0;
}
