#include "PackageLayout.h"

#include <string_view>

namespace {

constexpr std::string_view Marker = "Client";

void appendLe32(std::string& to, std::uint64_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        to += static_cast<char>(value >> shift & 0xff);
}

} // namespace

std::string PackageAppendix(std::int64_t programSize, const std::vector<PackedFile>& files) {
    std::string appendix(Marker);
    std::vector<std::uint64_t> trailer{std::uint64_t(programSize), Marker.size()};
    for (const PackedFile& file : files) {
        appendix += file.bytes;
        trailer.push_back(file.bytes.size());
    }
    for (const PackedFile& file : files) {
        appendix += file.name;
        trailer.push_back(file.name.size());
    }
    trailer.push_back(2 * files.size() + 3);
    for (const std::uint64_t value : trailer)
        appendLe32(appendix, value);
    return appendix;
}
