#pragma once
#include <string>

// Proxy credentials as the container's business logic stores them; both empty
// until a reply fills them in.
struct ProxyCredentials {
    std::wstring user;
    std::wstring password;
};
