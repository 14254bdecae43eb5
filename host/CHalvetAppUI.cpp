#include "host/CHalvetAppUI.h"

// Copies nothing: the class carries no data.
CHalvetAppUI& CHalvetAppUI::operator=(const CHalvetAppUI&) { return *this; }
