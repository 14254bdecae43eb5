#pragma once
#include <string>

#include "boundary/Envelope.h"

namespace refhost {

// One of the parties in the host that the panel talks to: the host itself
// ("Core") or an applet. It answers each message addressed to it; the reply
// goes back to the DLL as an owned text.
class Role {
public:
    virtual ~Role() = default;
    // The receiver this role plays: "Core" or an applet ID.
    virtual std::wstring receiver() const = 0;
    virtual std::wstring answer(const Envelope& message) = 0;
};

}  // namespace refhost
