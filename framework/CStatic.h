#pragma once
#include "framework/CWnd.h"

// A static control; controls of this kind are subclassed from a dialog's
// items (SubclassDlgItem), never created by this module.
class CStatic : public CWnd {};
