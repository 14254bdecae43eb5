#pragma once
#include <string>

class HalvetAppUIMessageProcessor;
class XMLParser;

// Handling of the container's network-error events ("CEF_ERROR" in the name)
// and of the host's "proxyCredentialsUpdated". The processor's
// networkErrorState lets one error be handled at a time:
//   0 nothing pending, 1 a proxy error waits for the proxy dialog's
//   credentials, 2 a network error other than a proxy error was reported.
namespace halvet {

// Decides what to do with an error event whose payload loaded as XML.
// False: drop the event (an error is already being handled). True: relay it,
// under name, which becomes "HEX_NETWORK_ERROR" for anything but a proxy error.
bool handleNetworkError(HalvetAppUIMessageProcessor& processor, XMLParser& payloadDocument,
                        const std::wstring& payloadText, std::wstring& name);

// New proxy credentials arrived: when a proxy error was waiting for them, the
// panel's business logic is asked to retry.
void onProxyCredentialsUpdated(HalvetAppUIMessageProcessor& processor);

// The page is loaded again: a reported network error no longer silences the
// next; a proxy error waiting for credentials keeps waiting.
void onReload(HalvetAppUIMessageProcessor& processor);

}  // namespace halvet
