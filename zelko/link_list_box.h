// The links a "Zelko Error" box names when a request was not handed on.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zelko {

// A box lists this many links at most, then how many more there are.
inline constexpr std::size_t kBoxLinksMax = 20;

// Each link on a line of its own (each line begins with CR LF), at most
// kBoxLinksMax of them, then "and N more". Links are ANSI text.
std::string BoxLinkList(const std::vector<std::string>& links);

}  // namespace zelko
