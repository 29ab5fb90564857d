#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file the offline package carries: its bare name in the narrow code page, and its bytes.
struct PackedFile {
    std::string name;
    std::string bytes;
};

// What follows the program in an offline package, in standard C++: the marker "Client", the
// files' bytes, their names, and the trailer of 32-bit little-endian sizes (program, marker,
// each file, each name) closed by the number of sizes including itself.
std::string PackageAppendix(std::int64_t programSize, const std::vector<PackedFile>& files);
