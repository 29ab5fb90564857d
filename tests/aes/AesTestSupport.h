#pragma once

#include "uAES.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

// Runs each test once on the table code and once on the AES instructions (skipped on a
// processor without them), and restores the automatic choice afterwards.
class AesPathTest : public ::testing::TestWithParam<TAESImplementation> {
protected:
    void SetUp() override {
        if (GetParam() == TAESImplementation::Hardware && !AESHardwareSupported()) {
            GTEST_SKIP() << "no AES instructions on this processor";
        }
        SetAESImplementation(GetParam());
    }
    void TearDown() override { SetAESImplementation(TAESImplementation::Automatic); }
};

inline std::string aesPathName(const ::testing::TestParamInfo<TAESImplementation>& info) {
    return info.param == TAESImplementation::Table ? "Table" : "Hardware";
}

#define KVZ_INSTANTIATE_AES_PATHS(Suite)                                                           \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Paths, Suite, ::testing::Values(TAESImplementation::Table, TAESImplementation::Hardware),  \
        aesPathName)

// The bytes of a text of hexadecimal digit pairs.
inline std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

template <std::size_t Size> std::array<std::uint8_t, Size> bytesFromHex(const char* hex) {
    const std::string bytes = fromHex(hex);
    EXPECT_EQ(bytes.size(), Size) << hex;
    std::array<std::uint8_t, Size> result{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), Size), result.begin());
    return result;
}

inline std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xff);
    }
    return bytes;
}

// The message of the Error a call raises, or "no error".
template <class Error, class Call> std::string failureOf(Call&& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}
