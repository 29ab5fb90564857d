#pragma once

#include "uAES.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

template <std::size_t Size> std::array<std::uint8_t, Size> bytesFromHex(const char* hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    EXPECT_EQ(bytes.size(), static_cast<qsizetype>(Size)) << hex;
    std::array<std::uint8_t, Size> result{};
    std::copy_n(bytes.cbegin(), std::min<qsizetype>(bytes.size(), Size), result.begin());
    return result;
}

template <std::size_t Size> QByteArray toByteArray(const std::array<std::uint8_t, Size>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), Size);
}

inline QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) {
        byte = static_cast<char>(generator.bounded(256));
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
