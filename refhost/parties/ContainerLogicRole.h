#pragma once
#include "app/HostWindow.h"
#include "parties/HtmlContainer.h"
#include "boundary/MessageBus.h"
#include "parties/Role.h"

namespace refhost {

// The container's business logic ("Q7Container_BL"): a store of proxy
// credentials, and the container's proxy dialog, answered the way the
// scenario says. A submitted dialog stores the new credentials, hands them
// to the web views and makes the host send "proxyCredentialsUpdated".
class ContainerLogicRole : public Role {
public:
    enum class DialogAnswer { Cancel, Submit };

    ContainerLogicRole(MessageBus& bus, HostWindow& window, HtmlContainer& container,
                       Trace& trace)
        : bus_(bus), window_(window), container_(container), trace_(trace) {}
    std::wstring receiver() const override { return L"Q7Container_BL"; }
    std::wstring answer(const Envelope& message) override;

    void store(const std::wstring& user, const std::wstring& password);
    void clear() { stored_ = false; }
    void answerDialog(DialogAnswer answer, const std::wstring& user, const std::wstring& password);

private:
    std::wstring showDialog();
    void note(const std::wstring& text);

    MessageBus& bus_;
    HostWindow& window_;
    HtmlContainer& container_;
    Trace& trace_;
    bool stored_ = false;
    std::wstring user_, password_;
    DialogAnswer dialogAnswer_ = DialogAnswer::Cancel;
    std::wstring dialogUser_, dialogPassword_;
};

}  // namespace refhost
