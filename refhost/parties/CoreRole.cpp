#include "parties/CoreRole.h"

namespace refhost {

std::wstring CoreRole::answer(const Envelope& message) {
    if (message.messageName == L"GetAppletRelation")
        return L"<relation><relative_name>HalvetPanel_BL</relative_name>"
               L"<relative_version>1.0</relative_version></relation>";
    TraceEntry note;
    note.kind = EntryKind::Note;
    note.name = L"Core";
    note.text = L"the host has no answer to \"" + message.messageName + L"\"";
    trace_.add(std::move(note));
    return L"";
}

}  // namespace refhost
