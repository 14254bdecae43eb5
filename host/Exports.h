#pragma once
#include <cstddef>
#include <cstdlib>

#include "host/HandlerReply.h"
#include "host/MessageRecord.h"

// The host's entry points initialize, processMessage and finalize are declared
// in the public header (through host/MessageRecord.h) and exported undecorated
// by the .def file, cdecl. A null release out-parameter, like a null request
// or a null string pointer in it, gives "InvalidArguments" with *release
// untouched.

// Frees a reply copy made by processMessage (null allowed). Always true.
bool __cdecl releaseReply(void* reply);

namespace halvet {

using ReplyAllocator = void* (*)(size_t bytes);

// Turns a handler's answer into what processMessage hands the host: its static
// text, the module's empty text, or a copy on the runtime heap (allocated with
// allocate, released by releaseReply). When the copy cannot be allocated a
// short text goes back from a buffer of the module, valid until the next such
// reply, and a long one as "Failure". *release is always written.
const wchar_t* replyForHost(const HandlerReply& reply, ReplyReleaseFunction* release,
                            ReplyAllocator allocate = std::malloc);

}  // namespace halvet
