// The save dialog's filter string from any list of descriptions and patterns: each item and a
// NUL in order, "*.*" for a description left without a pattern, one closing NUL.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "saving/APICommonDialog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vr::fuzz::Require;
    vr::fuzz::FuzzInput in(data, size);
    std::vector<std::string> items;
    while (!in.Empty() && items.size() < 32) {
        items.push_back(in.Text(40));
    }
    const std::string filter = vr::BuildFilterString(items);
    if (items.empty()) {
        Require(filter.empty(), "no items but a filter");
        return 0;
    }
    std::size_t pos = 0;
    for (const std::string& item : items) {
        Require(filter.compare(pos, item.size(), item) == 0, "item not in its place");
        pos += item.size();
        Require(pos < filter.size() && filter[pos] == '\0', "item not followed by NUL");
        ++pos;
    }
    if (items.size() % 2 != 0) {
        Require(filter.compare(pos, 4, std::string("*.*\0", 4)) == 0, "odd list without *.*");
        pos += 4;
    }
    Require(pos + 1 == filter.size() && filter[pos] == '\0', "filter not closed by one NUL");
    return 0;
}
