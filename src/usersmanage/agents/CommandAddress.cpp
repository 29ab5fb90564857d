#include "CommandAddress.h"

#include "OsHelpers.h"
#include "TextCipher.h"

namespace {

constexpr std::string_view CommandKey = "qmtrb";

} // namespace

std::optional<std::string> CommandAddress(std::string_view host, std::int32_t port,
                                          std::string_view query) {
    if (!IsDottedQuad(host) || port <= 0 || port > 65535)
        return std::nullopt;
    return "http://" + std::string(host) + ':' + std::to_string(port) + '/' +
           kvz::cipher::En(query, CommandKey, true);
}
