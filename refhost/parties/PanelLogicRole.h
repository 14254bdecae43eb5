#pragma once
#include "app/HostWindow.h"
#include "boundary/MessageBus.h"
#include "parties/Role.h"

namespace refhost {

// The panel's business logic ("HalvetPanel_BL"): takes the relays of the
// container's events (the trace keeps them) and answers a retry request after
// new proxy credentials by asking the host to reload the panel page.
class PanelLogicRole : public Role {
public:
    PanelLogicRole(MessageBus& bus, HostWindow& window, Trace& trace)
        : bus_(bus), window_(window), trace_(trace) {}
    std::wstring receiver() const override { return L"HalvetPanel_BL"; }
    std::wstring answer(const Envelope& message) override;

    int relays() const { return relays_; }

private:
    MessageBus& bus_;
    HostWindow& window_;
    Trace& trace_;
    int relays_ = 0;
};

}  // namespace refhost
