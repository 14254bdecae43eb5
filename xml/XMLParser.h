#pragma once
#include <map>
#include <string>

#include "xml/Logger.h"
#include "xml/XMLNode.h"

// Thin, failure-proof layer over the platform XML DOM (MSXML 3). No operation
// lets an error escape; each reports success as a boolean and leaves its
// outputs untouched on failure. Used as a local object, never copied.
class XMLParser {
public:
    using TextMap = std::map<std::wstring, std::wstring>;

    XMLParser() = default;
    explicit XMLParser(Logger* logger) : logger_(logger) {}
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;
    ~XMLParser() = default;

    // Parses xml into a new document; a failed load keeps the earlier one.
    // A document type declaration is refused (entity expansion, external files).
    bool initWithXMLString(const std::wstring& xml);
    bool nodeExistsXQuery(const std::wstring& query);
    // Text of the first element that the path selects ("/a/b" or "//a/b").
    bool stringValueForXQuery(const std::wstring& query, std::wstring& value);
    // Child name -> text; children with empty text left out; first of a name wins.
    TextMap getMapFromNode(XMLNode node);
    bool getRootNode(XMLNode& root);
    // Node form: newNode first, parent second.
    bool addChildToNode(XMLNode newNode, XMLNode node);
    // Text form: appends <name>value</name> (value escaped on write) to node.
    bool addChildToNode(const std::wstring& name, const std::wstring& value, XMLNode node);
    bool getXMLString(std::wstring& xml);
    // The root element alone, with its content: what appending the root to
    // another document would write, without building that document.
    bool getRootXMLString(std::wstring& xml);

    bool isInitialized() const { return document_ != nullptr; }

private:
    Logger* logger_ = nullptr;
    Microsoft::WRL::ComPtr<IXMLDOMDocument2> document_;
};
