#include "zelko/link_list_box.h"

namespace zelko {

std::string BoxLinkList(const std::vector<std::string>& links) {
    std::string text;
    const std::size_t shown = links.size() < kBoxLinksMax ? links.size() : kBoxLinksMax;
    for (std::size_t i = 0; i < shown; ++i) text += "\r\n" + links[i];
    if (links.size() > shown) text += "\r\nand " + std::to_string(links.size() - shown) + " more";
    return text;
}

}  // namespace zelko
