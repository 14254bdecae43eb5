#pragma once
// The records and function types that cross the boundary between the host and
// the plug-in come from the public header that host teams include: one
// definition, checked there for every size and offset at both widths.
#include "include/HalvetPanelUI.h"

static_assert(sizeof(MessageRecord) == 11 * sizeof(void*), "envelope layout");
static_assert(sizeof(HostContext) == 5 * sizeof(void*), "host record layout");
