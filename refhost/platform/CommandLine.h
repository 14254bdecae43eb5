#pragma once
#include <string>

namespace refhost {

// One argument of a command line, written so that the program started reads
// it back as exactly one argument, whatever it holds: in quotes, with every
// quote escaped and the backslashes before a quote (or before the closing
// one) doubled. Windows programs split their command line by these rules,
// and Wine builds a Linux program's arguments by them too.
std::wstring quoteArgument(const std::wstring& argument);

}  // namespace refhost
