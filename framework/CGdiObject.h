#pragma once
#include <windows.h>

// Owner of one GDI object (pen, brush, bitmap): deleted with the wrapper.
// Copying is refused so that an object has exactly one owner.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Takes ownership of `object`, releasing any object held before.
    BOOL Attach(HGDIOBJ object);
    // Gives up ownership without deleting.
    HGDIOBJ Detach();
    // Deletes the held object; false when there was none or GDI refused.
    BOOL DeleteObject();

    HGDIOBJ m_hObject = nullptr;
};
