#include "xml/XMLParser.h"

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <vector>

#include "xml/XMLDocumentFactory.h"

namespace {

constexpr wchar_t kTag[] = L"XMLParser";

// MinGW's libuuid lacks these two.
const IID kIidDocument2 = {0x2933BF95, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidNode = {0x2933BF80, 0x7B36, 0x11d2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// An automation string owned for the length of one call.
class Bstr {
public:
    explicit Bstr(const std::wstring& s)
        : value_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    Bstr() = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }
    BSTR* out() { return &value_; }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

private:
    BSTR value_ = nullptr;
};

// A DOM call that failed with a result code.
struct ComFailure {
    HRESULT hr;
};

void check(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure{hr};
}

// An automation string that could not be made reaches the DOM as a null
// string, which it takes for an empty one: a name or a text silently lost.
void checkMade(const Bstr& made, const std::wstring& from) {
    if (!made.get() && !from.empty()) throw ComFailure{E_OUTOFMEMORY};
}

// The document class is looked up once: resolving the name costs far more than a load.
bool documentClass(CLSID& clsid) {
    static CLSID cached = {};
    static bool found = false;
    if (!found) found = SUCCEEDED(CLSIDFromProgID(L"MSXML2.DOMDocument.3.0", &cached));
    clsid = cached;
    return found;
}

std::wstring trim(const std::wstring& s) {
    const wchar_t* blanks = L" \t\r\n";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::wstring::npos) return L"";
    size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

std::wstring nodeName(IXMLDOMNode* node) {
    Bstr name;
    check(node->get_nodeName(name.out()));
    return name.str();
}

DOMNodeType nodeType(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    check(node->get_nodeType(&type));
    return type;
}

std::vector<XMLNode> children(IXMLDOMNode* node) {
    std::vector<XMLNode> result;
    XMLNode child;
    check(node->get_firstChild(&child));
    while (child) {
        result.push_back(child);
        XMLNode next;
        check(child->get_nextSibling(&next));
        child = next;
    }
    return result;
}

// Appends the character data of a text or CDATA node.
void appendValue(IXMLDOMNode* node, std::wstring& text) {
    VARIANT v;
    VariantInit(&v);
    check(node->get_nodeValue(&v));
    if (v.vt == VT_BSTR && v.bstrVal) text.append(v.bstrVal, SysStringLen(v.bstrVal));
    VariantClear(&v);
}

// All character data below node in document order, trimmed. Walked without
// recursion, so a deep document cannot exhaust the stack.
std::wstring textOf(IXMLDOMNode* node) {
    std::wstring text;
    DOMNodeType type = nodeType(node);
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
        appendValue(node, text);
        return trim(text);
    }
    std::vector<XMLNode> stack;
    std::vector<XMLNode> top = children(node);
    for (auto it = top.rbegin(); it != top.rend(); ++it) stack.push_back(*it);
    while (!stack.empty()) {
        XMLNode current = stack.back();
        stack.pop_back();
        DOMNodeType t = nodeType(current.Get());
        if (t == NODE_TEXT || t == NODE_CDATA_SECTION) {
            appendValue(current.Get(), text);
        } else if (t == NODE_ELEMENT) {
            std::vector<XMLNode> kids = children(current.Get());
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(*it);
        }
    }
    return trim(text);
}

std::vector<std::wstring> splitSteps(const std::wstring& path, bool& anyDepth) {
    std::vector<std::wstring> steps;
    anyDepth = path.rfind(L"//", 0) == 0;
    size_t pos = anyDepth ? 2 : (path.rfind(L"/", 0) == 0 ? 1 : 0);
    while (pos <= path.size()) {
        size_t end = path.find(L'/', pos);
        if (end == std::wstring::npos) end = path.size();
        steps.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return steps;
}

// True when the names of an element and its ancestors, nearest last, end
// with the path's steps.
bool endsWithSteps(const std::vector<std::wstring>& names, const std::vector<std::wstring>& steps) {
    if (names.size() < steps.size()) return false;
    return std::equal(steps.begin(), steps.end(), names.end() - steps.size());
}

// Elements that the path selects, in document order: "/a/b" starts at the
// document, "//a/b" finds its first step at any depth. One pre-order walk
// tests each element against the whole path through the names of its
// ancestors, so matches below different first-step elements (nested ones
// included) come out in the order they stand in the document.
std::vector<XMLNode> select(IXMLDOMDocument2* document, const std::wstring& path) {
    bool anyDepth = false;
    const std::vector<std::wstring> steps = splitSteps(path, anyDepth);
    for (const auto& step : steps)
        if (step.empty()) throw ComFailure{E_INVALIDARG};
    XMLNode root;
    check(document->QueryInterface(kIidNode, reinterpret_cast<void**>(root.GetAddressOf())));

    struct Pending {
        XMLNode node;
        size_t depth;  // 1 for the root element
    };
    std::vector<XMLNode> matches;
    std::vector<std::wstring> names;  // the current element's ancestors and itself
    std::vector<Pending> stack;
    const auto pushChildren = [&stack](IXMLDOMNode* parent, size_t depth) {
        std::vector<XMLNode> kids = children(parent);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, depth});
    };
    pushChildren(root.Get(), 1);
    while (!stack.empty()) {
        Pending current = std::move(stack.back());
        stack.pop_back();
        if (nodeType(current.node.Get()) != NODE_ELEMENT) continue;
        names.resize(current.depth - 1);
        names.push_back(nodeName(current.node.Get()));
        if (anyDepth) {
            if (endsWithSteps(names, steps)) matches.push_back(current.node);
            pushChildren(current.node.Get(), current.depth + 1);
            continue;
        }
        // From the document: only the chain of step names from the root down.
        if (names.back() != steps[current.depth - 1]) continue;
        if (current.depth == steps.size())
            matches.push_back(current.node);
        else
            pushChildren(current.node.Get(), current.depth + 1);
    }
    return matches;
}

bool hasDocumentType(IXMLDOMDocument2* document) {
    Microsoft::WRL::ComPtr<IXMLDOMDocumentType> doctype;
    if (SUCCEEDED(document->get_doctype(&doctype)) && doctype) return true;
    XMLNode root;
    if (FAILED(document->QueryInterface(kIidNode, reinterpret_cast<void**>(root.GetAddressOf()))))
        return true;
    for (const auto& child : children(root.Get()))
        if (nodeType(child.Get()) == NODE_DOCUMENT_TYPE) return true;
    return false;
}

void setProperty(IXMLDOMDocument2* document, const wchar_t* name, bool on) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
    Bstr property(name);
    document->setProperty(property.get(), v);  // a refused property is never fatal
}

}  // namespace

#define XMLPARSER_CATCH(operation, comLevel, failResult)                                      \
    catch (const ComFailure& failure) {                                                       \
        writeLog(logger_, comLevel, kTag, L"",                                                \
                 L"Caught exception in ... " operation L". com error:%x  system error:%d", \
                 static_cast<unsigned>(failure.hr), static_cast<int>(GetLastError()));        \
        return failResult;                                                                    \
    }                                                                                         \
    catch (...) {                                                                             \
        writeLog(logger_, 40, kTag, L"", L"Caught exception in ... " operation L". error:%d", \
                 static_cast<int>(GetLastError()));                                           \
        return failResult;                                                                    \
    }

bool XMLParser::initWithXMLString(const std::wstring& xml) {
    try {
        CLSID clsid;
        Microsoft::WRL::ComPtr<IXMLDOMDocument2> document;
        if (!documentClass(clsid) ||
            FAILED(XMLDocumentFactory::create(clsid, kIidDocument2,
                                              reinterpret_cast<void**>(document.GetAddressOf())))) {
            writeLog(logger_, 40, kTag, L"", L"Failed in MSXML create instance error:%d",
                     static_cast<int>(GetLastError()));
            return false;
        }
        check(document->put_async(VARIANT_FALSE));
        document->put_validateOnParse(VARIANT_FALSE);
        document->put_resolveExternals(VARIANT_FALSE);
        setProperty(document.Get(), L"ProhibitDTD", true);
        Bstr text(xml);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT hr = document->loadXML(text.get(), &loaded);
        if (FAILED(hr) || loaded != VARIANT_TRUE) return false;
        // Messages never carry a document type; one is refused here because
        // not every parser honours ProhibitDTD.
        if (hasDocumentType(document.Get())) return false;
        document_ = document;
        return true;
    }
    XMLPARSER_CATCH(L"initWithXMLString", 40, false)
}

bool XMLParser::nodeExistsXQuery(const std::wstring& query) {
    try {
        if (!document_) return false;
        return !select(document_.Get(), query).empty();
    }
    XMLPARSER_CATCH(L"nodeExistsXQuery", 40, false)
}

bool XMLParser::stringValueForXQuery(const std::wstring& query, std::wstring& value) {
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"stringValueForXQuery ... XMLParser not Initialized ...");
        return false;
    }
    if (!nodeExistsXQuery(query)) return false;
    try {
        std::vector<XMLNode> nodes = select(document_.Get(), query);
        if (nodes.empty() || !nodes.front()) return false;
        value = textOf(nodes.front().Get());
        return true;
    }
    XMLPARSER_CATCH(L"stringValueForXQuery", 20, false)
}

XMLParser::TextMap XMLParser::getMapFromNode(XMLNode node) {
    TextMap map;
    if (!node) {
        writeLog(logger_, 20, kTag, L"", L"getMapFromNode ... Node is null.");
        return map;
    }
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"getMapFromNode ... XMLParser not Initialized ...");
        return map;
    }
    try {
        for (const auto& child : children(node.Get())) {
            std::wstring name = nodeName(child.Get());
            if (name.size() > 259) name.resize(259);
            std::wstring text = textOf(child.Get());
            if (!text.empty()) map.emplace(name, text);  // the first of a name wins
        }
        return map;
    }
    XMLPARSER_CATCH(L"getMapFromNode", 40, map)
}

bool XMLParser::getRootNode(XMLNode& root) {
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"getRootNode ... XMLParser not Initialized ...");
        return false;
    }
    Microsoft::WRL::ComPtr<IXMLDOMElement> element;
    if (FAILED(document_->get_documentElement(&element)) || !element) return false;
    XMLNode node;
    if (FAILED(element->QueryInterface(kIidNode, reinterpret_cast<void**>(node.GetAddressOf()))))
        return false;
    root = node;
    return true;
}

bool XMLParser::addChildToNode(XMLNode newNode, XMLNode node) {
    if (!newNode || !node) {
        writeLog(logger_, 20, kTag, L"", L"addChildToNode ... newNode or node is null!");
        return false;
    }
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"addChildToNode ... XMLParser not Initialized ...");
        return false;
    }
    try {
        XMLNode added;
        check(node->appendChild(newNode.Get(), &added));
        return true;
    }
    XMLPARSER_CATCH(L"addChildToNode", 40, false)
}

bool XMLParser::addChildToNode(const std::wstring& name, const std::wstring& value, XMLNode node) {
    if (!node) {
        writeLog(logger_, 20, kTag, L"", L"addChildToNode ... node is null!");
        return false;
    }
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"addChildToNode ... XMLParser not Initialized ...");
        return false;
    }
    try {
        Bstr tag(name);
        checkMade(tag, name);
        Microsoft::WRL::ComPtr<IXMLDOMElement> element;
        check(document_->createElement(tag.get(), &element));
        if (!value.empty()) {
            Bstr data(value);
            checkMade(data, value);
            Microsoft::WRL::ComPtr<IXMLDOMText> text;
            check(document_->createTextNode(data.get(), &text));
            XMLNode added;
            check(element->appendChild(text.Get(), &added));
        }
        XMLNode added;
        check(node->appendChild(element.Get(), &added));
        return true;
    }
    XMLPARSER_CATCH(L"addChildToNode", 40, false)
}

bool XMLParser::getXMLString(std::wstring& xml) {
    if (!document_) {
        writeLog(logger_, 20, kTag, L"", L"getXMLString ... XMLParser not Initialized ...");
        return false;
    }
    try {
        Bstr text;
        if (FAILED(document_->get_xml(text.out()))) return false;
        xml = text.str();
        return true;
    }
    XMLPARSER_CATCH(L"getXMLString", 40, false)
}

bool XMLParser::getRootXMLString(std::wstring& xml) {
    XMLNode root;
    if (!getRootNode(root)) return false;
    try {
        Bstr text;
        if (FAILED(root->get_xml(text.out()))) return false;
        xml = text.str();
        return true;
    }
    XMLPARSER_CATCH(L"getRootXMLString", 40, false)
}
