#pragma once
#include <string>

#include "host/HostFunctions.h"
#include "panel/ProxyCredentials.h"

// A small client for the requests the panel makes of the container's business
// logic. It sends through the host's send function directly, with a complete
// address of its own, so nothing is filled in from the processor.
class ContainerClient {
public:
    struct Address {
        std::wstring sourceAppletID;
        std::wstring sourceAppletVersion;
        std::wstring sourceInstanceID;
        std::wstring targetAppletID;
        std::wstring targetAppletVersion;
        std::wstring targetInstanceID;
    };

    // channel is borrowed (the processor's host functions); it may be null, in
    // which case every request gets the empty reply.
    ContainerClient(const Address& address, const HostFunctions* channel);
    virtual ~ContainerClient();

    // One "Applet" message with flags 0, 1, 0; the reply text, empty when the
    // host gives none.
    std::wstring sendRequest(const std::wstring& messageName, const std::wstring& data);
    // True only when the container answers exactly "true".
    bool showProxyDialog();
    // False when the reply is empty or not XML (credentials untouched);
    // otherwise fills in what the reply holds and returns true.
    bool getProxyCredentials(ProxyCredentials& credentials);

private:
    Address address_;
    const HostFunctions* channel_;
};
