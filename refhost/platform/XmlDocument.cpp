#include "platform/XmlDocument.h"

#include <oleauto.h>

namespace refhost {

using Microsoft::WRL::ComPtr;

namespace {

// MinGW's uuid library lacks the MSXML 3 interface identifiers.
const IID kIidDocument2 = {
    0x2933BF95, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidNode = {0x2933BF80, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }
    BSTR* out() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

private:
    BSTR value_ = nullptr;
};

ComPtr<IXMLDOMDocument2> newDocument() {
    static CLSID clsid = [] {
        CLSID id{};
        CLSIDFromProgID(L"MSXML2.DOMDocument.3.0", &id);
        return id;
    }();
    ComPtr<IXMLDOMDocument2> document;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidDocument2,
                                reinterpret_cast<void**>(document.GetAddressOf()))))
        return nullptr;
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    VARIANT language;
    VariantInit(&language);
    language.vt = VT_BSTR;
    language.bstrVal = SysAllocString(L"XPath");
    document->setProperty(Bstr(L"SelectionLanguage").get(), language);
    VariantClear(&language);
    return document;
}

void collectText(IXMLDOMNode* node, std::wstring& out) {
    DOMNodeType type;
    if (FAILED(node->get_nodeType(&type))) return;
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(node->get_nodeValue(&value)) && value.vt == VT_BSTR && value.bstrVal)
            out.append(value.bstrVal, SysStringLen(value.bstrVal));
        VariantClear(&value);
        return;
    }
    if (type == NODE_ATTRIBUTE) {
        Bstr text;
        if (SUCCEEDED(node->get_text(text.out()))) out += text.text();
        return;
    }
    ComPtr<IXMLDOMNode> child;
    node->get_firstChild(child.GetAddressOf());
    while (child) {
        collectText(child.Get(), out);
        ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(next.GetAddressOf());
        child = next;
    }
}

}  // namespace

bool XmlDocument::load(const std::wstring& xml) {
    error_ = {};
    document_ = newDocument();
    if (!document_) {
        error_.reason = L"the XML parser (MSXML2.DOMDocument.3.0) is not available";
        return false;
    }
    Bstr text(xml);
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (SUCCEEDED(document_->loadXML(text.get(), &ok)) && ok == VARIANT_TRUE && root()) return true;
    ComPtr<IXMLDOMParseError> parseError;
    if (SUCCEEDED(document_->get_parseError(parseError.GetAddressOf())) && parseError) {
        parseError->get_line(&error_.line);
        parseError->get_linepos(&error_.column);
        Bstr reason;
        parseError->get_reason(reason.out());
        error_.reason = reason.text();
        while (!error_.reason.empty() && iswspace(error_.reason.back())) error_.reason.pop_back();
    }
    if (error_.reason.empty()) error_.reason = L"not well-formed XML";
    document_.Reset();
    return false;
}

XmlNodePtr XmlDocument::root() const {
    if (!document_) return nullptr;
    ComPtr<IXMLDOMElement> element;
    if (FAILED(document_->get_documentElement(element.GetAddressOf())) || !element) return nullptr;
    XmlNodePtr node;
    element->QueryInterface(kIidNode, reinterpret_cast<void**>(node.GetAddressOf()));
    return node;
}

XmlNodePtr XmlDocument::select(const std::wstring& xpath) const {
    if (!document_) return nullptr;
    XmlNodePtr node;
    if (FAILED(document_->selectSingleNode(Bstr(xpath).get(), node.GetAddressOf()))) return nullptr;
    return node;
}

long XmlDocument::count(const std::wstring& xpath) const {
    if (!document_) return -1;
    ComPtr<IXMLDOMNodeList> list;
    if (FAILED(document_->selectNodes(Bstr(xpath).get(), list.GetAddressOf())) || !list) return -1;
    long n = 0;
    if (FAILED(list->get_length(&n))) return -1;
    return n;
}

std::wstring XmlDocument::textOf(IXMLDOMNode* node) {
    std::wstring out;
    if (node) collectText(node, out);
    return out;
}

std::wstring XmlDocument::nameOf(IXMLDOMNode* node) {
    Bstr name;
    if (!node || FAILED(node->get_nodeName(name.out()))) return L"";
    return name.text();
}

bool XmlDocument::attribute(IXMLDOMNode* node, const std::wstring& name, std::wstring& value) {
    for (auto& [key, text] : attributes(node)) {
        if (key == name) {
            value = text;
            return true;
        }
    }
    return false;
}

std::vector<std::pair<std::wstring, std::wstring>> XmlDocument::attributes(IXMLDOMNode* node) {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    ComPtr<IXMLDOMNamedNodeMap> map;
    if (!node || FAILED(node->get_attributes(map.GetAddressOf())) || !map) return out;
    long n = 0;
    map->get_length(&n);
    for (long i = 0; i < n; ++i) {
        XmlNodePtr item;
        if (FAILED(map->get_item(i, item.GetAddressOf())) || !item) continue;
        out.emplace_back(nameOf(item.Get()), textOf(item.Get()));
    }
    return out;
}

std::vector<XmlNodePtr> XmlDocument::childElements(IXMLDOMNode* node) {
    std::vector<XmlNodePtr> out;
    if (!node) return out;
    XmlNodePtr child;
    node->get_firstChild(child.GetAddressOf());
    while (child) {
        DOMNodeType type;
        if (SUCCEEDED(child->get_nodeType(&type)) && type == NODE_ELEMENT) out.push_back(child);
        XmlNodePtr next;
        child->get_nextSibling(next.GetAddressOf());
        child = next;
    }
    return out;
}

}  // namespace refhost
