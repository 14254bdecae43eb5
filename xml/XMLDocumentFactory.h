#pragma once
#include <windows.h>
#include <objbase.h>

// Makes the XML documents of the DLL. CoCreateInstance looks the class's
// factory up for every document, which under Wine costs several times a small
// document's load; so while the host is inside one of the module's entry
// points (see XMLFactoryCallScope), the thread that made the first document in
// a single-threaded apartment keeps the factory and makes the call's later
// documents with it. The factory comes from CoGetClassObject: COM's own class
// cache and the caller's activation context decide the server, as they would
// for CoCreateInstance.
//
// A kept factory belongs to that thread's apartment. It is dropped when the
// outermost call returns to the host, and, should the host end its apartment
// from inside a call (in a callback of ours), just before the apartment's
// last uninitialisation, seen through an initialisation spy registered on the
// thread for the length of the call. Nothing is left registered with COM
// between calls, so the host may unload the module at any time it could
// before. Other threads, other apartment kinds, threads without COM and work
// outside the entry points (window messages, callbacks) create each document
// afresh.
class XMLDocumentFactory {
public:
    XMLDocumentFactory() = delete;

    static HRESULT create(REFCLSID clsid, REFIID iid, void** object);
    // An entry point's start and end on this thread; calls may nest.
    static void enterCall();
    static void leaveCall();
    // True while this thread keeps a factory (for tests).
    static bool keepsFactory();
    // True while a spy is registered by this module on any thread (for tests).
    static bool spyRegistered();
};
