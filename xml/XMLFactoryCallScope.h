#pragma once
#include "xml/XMLDocumentFactory.h"

// One entry point's time inside the module: documents made in it may share a
// kept class factory, which is given up when the outermost scope ends.
class XMLFactoryCallScope {
public:
    XMLFactoryCallScope() { XMLDocumentFactory::enterCall(); }
    ~XMLFactoryCallScope() { XMLDocumentFactory::leaveCall(); }
    XMLFactoryCallScope(const XMLFactoryCallScope&) = delete;
    XMLFactoryCallScope& operator=(const XMLFactoryCallScope&) = delete;
};
