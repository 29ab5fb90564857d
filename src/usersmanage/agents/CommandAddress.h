#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The address of a command to a client agent, in standard C++: "http://" host ":" port "/" and
// the query (narrow bytes) enciphered under the command key. Nothing when the host is not a
// plain dotted quad or the port is not one: such a text never reaches the network.
std::optional<std::string> CommandAddress(std::string_view host, std::int32_t port,
                                          std::string_view query);
