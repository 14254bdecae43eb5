#pragma once
#include <string>
#include <vector>

#include "boundary/PanelLibrary.h"
#include "scenario/Scenario.h"
#include "recording/Trace.h"

namespace refhost {

// Judges one expectation step against what the trace recorded. The step's
// attributes have their placeholders filled in already.
class Expectation {
public:
    struct Verdict {
        bool met = false;
        std::wstring what;  // the expectation in words
        std::wstring why;   // what was found instead (or what matched)
    };

    // expect-message / expect-relay over the DLL's outbound envelopes in
    // entries[from, end). A relay is a message to "HalvetPanel_BL".
    static Verdict message(const Step& step, const std::vector<TraceEntry>& entries, size_t from);
    // expect-log over the log calls in entries[from, end).
    static Verdict log(const Step& step, const std::vector<TraceEntry>& entries, size_t from);
    // expect-reply against the reply to the last send (none: not met).
    static Verdict reply(const Step& step, const PanelLibrary::Reply* last);
};

}  // namespace refhost
