#pragma once
#include "parties/Role.h"
#include "recording/Trace.h"

namespace refhost {

// The host itself: answers "GetAppletRelation" with the panel's related
// applet, its business logic.
class CoreRole : public Role {
public:
    explicit CoreRole(Trace& trace) : trace_(trace) {}
    std::wstring receiver() const override { return L"Core"; }
    std::wstring answer(const Envelope& message) override;

private:
    Trace& trace_;
};

}  // namespace refhost
