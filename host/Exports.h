#pragma once
#include <cstddef>
#include <cstdlib>

#include "host/HandlerReply.h"
#include "host/MessageRecord.h"

// The host's entry points (exported undecorated by the .def file, cdecl).
extern "C" {
// Keeps the host's log function, binds the panel processor to the host and
// registers its handlers. 1 on success, 0 when an argument is null.
int initialize(const wchar_t* initXml, HostContext* host);
// Routes one message to its handler and returns the reply text, never null.
// *release receives null for a text of the module, or releaseReply for an
// owned copy. A null request, a null string pointer in it or a null release
// gives "InvalidArguments" with *release untouched.
const wchar_t* processMessage(MessageRecord* request, ReplyReleaseFunction* release);
// Closes the panel. 0 when finalText is null, else the processor's result.
int finalize(const wchar_t* finalText);
}

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
