#include "parties/PanelLogicRole.h"

namespace refhost {

std::wstring PanelLogicRole::answer(const Envelope& message) {
    ++relays_;
    if (message.messageName == L"HEX_NETWORK_ERROR_RETRY") {
        TraceEntry note;
        note.kind = EntryKind::Note;
        note.name = L"HalvetPanel_BL";
        note.text = L"retry requested: the host will send \"ReloadHTML\"";
        trace_.add(std::move(note));
        // Not from inside the DLL's send: the host sends its next message
        // from its own loop.
        MessageBus* bus = &bus_;
        window_.post([bus] { bus->deliver(L"ReloadHTML", L""); });
    }
    return L"";
}

}  // namespace refhost
