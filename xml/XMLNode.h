#pragma once
#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

// A shared, reference-counted handle to one node of a document; may be empty.
// It stays valid with any XMLParser (a node may be appended into another
// parser's document). Release node handles before their parser goes away.
using XMLNode = Microsoft::WRL::ComPtr<IXMLDOMNode>;
