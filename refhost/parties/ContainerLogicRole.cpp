#include "parties/ContainerLogicRole.h"

#include "platform/Text.h"

namespace refhost {

void ContainerLogicRole::note(const std::wstring& text) {
    TraceEntry entry;
    entry.kind = EntryKind::Note;
    entry.name = L"Q7Container_BL";
    entry.text = text;
    trace_.add(std::move(entry));
}

void ContainerLogicRole::store(const std::wstring& user, const std::wstring& password) {
    stored_ = true;
    user_ = user;
    password_ = password;
}

void ContainerLogicRole::answerDialog(DialogAnswer answer, const std::wstring& user,
                                      const std::wstring& password) {
    dialogAnswer_ = answer;
    dialogUser_ = user;
    dialogPassword_ = password;
}

std::wstring ContainerLogicRole::answer(const Envelope& message) {
    if (message.messageName == L"GetProxyCredentials") {
        if (!stored_) {
            note(L"no stored proxy credentials");
            return L"";
        }
        note(L"hands over the stored proxy credentials of \"" + user_ + L"\"");
        return L"<proxy-preferences><proxy-user>" + text::xmlEscaped(user_) +
               L"</proxy-user><proxy-password>" + text::xmlEscaped(password_) +
               L"</proxy-password></proxy-preferences>";
    }
    if (message.messageName == L"ShowProxyDialog") return showDialog();
    note(L"does not know \"" + message.messageName + L"\"");
    return L"";
}

std::wstring ContainerLogicRole::showDialog() {
    if (dialogAnswer_ == DialogAnswer::Cancel) {
        note(L"proxy dialog shown; the user cancels it");
        return L"true";
    }
    note(L"proxy dialog shown; the user submits \"" + dialogUser_ + L"\"");
    store(dialogUser_, dialogPassword_);
    container_.setViewCredentials(dialogUser_, dialogPassword_);
    // The host reports the new credentials from its own loop, after the
    // panel's callback has returned.
    MessageBus* bus = &bus_;
    std::wstring data = L"<proxy-preferences><proxy-user>" + text::xmlEscaped(dialogUser_) +
                        L"</proxy-user></proxy-preferences>";
    window_.post([bus, data] { bus->deliver(L"proxyCredentialsUpdated", data); });
    return L"true";
}

}  // namespace refhost
