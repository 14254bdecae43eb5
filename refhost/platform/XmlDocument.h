#pragma once
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace refhost {

using XmlNodePtr = Microsoft::WRL::ComPtr<IXMLDOMNode>;

// The reference host's own small view of an MSXML 3 document: load with the
// parser's error position, XPath selection, text and attributes. No call
// throws; failures are false results or empty texts.
class XmlDocument {
public:
    struct ParseError {
        long line = 0;
        long column = 0;
        std::wstring reason;
    };

    XmlDocument() = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    bool load(const std::wstring& xml);
    const ParseError& error() const { return error_; }

    XmlNodePtr root() const;
    // First node the XPath expression selects (null when none or invalid).
    XmlNodePtr select(const std::wstring& xpath) const;
    // Number of nodes selected; -1 when the expression is not valid XPath.
    long count(const std::wstring& xpath) const;

    // Character data of the node and its descendants, joined without
    // anything in between (MSXML's own text adds blanks under Wine).
    static std::wstring textOf(IXMLDOMNode* node);
    static std::wstring nameOf(IXMLDOMNode* node);
    static bool attribute(IXMLDOMNode* node, const std::wstring& name, std::wstring& value);
    // All attributes, in document order.
    static std::vector<std::pair<std::wstring, std::wstring>> attributes(IXMLDOMNode* node);
    static std::vector<XmlNodePtr> childElements(IXMLDOMNode* node);

private:
    Microsoft::WRL::ComPtr<IXMLDOMDocument2> document_;
    ParseError error_;
};

}  // namespace refhost
