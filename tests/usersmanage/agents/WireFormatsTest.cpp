// The wire formats in standard C++, built for Linux and for Windows alike: the presence
// datagram, a command's address and the bytes an offline package carries after its program.

#include "CommandAddress.h"
#include "PackageLayout.h"
#include "PresenceDatagram.h"
#include "TextCipher.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

using Sign = PresenceDatagram::Sign;

TEST(WireFormats, PresenceDatagrams) {
    const struct {
        std::string bytes;
        Sign sign;
        std::int32_t userId;
    } cases[] = {
        {"Sign=KVZCLIENTIN\r\nUserId=12", Sign::ClientIn, 12},
        {"  uSERiD= -7 \nsign=kvzclientout\r", Sign::ClientOut, -7},
        {"Sign=KVZCLIENTOUT\rUserId=+2147483647\rUserId=3", Sign::ClientOut, 2147483647},
        {"Sign=KVZCLIENTIN\nUserId=2147483648", Sign::ClientIn, 0},
        {"UserId=-2147483648\nSign=KVZCLIENTIN", Sign::ClientIn, -2147483647 - 1},
        {"Sign=KVZCLIENTIN \nUserId=1x", Sign::Unknown, 0},
        {"Sign=KVZCLIENT\nUserId=", Sign::Unknown, 0},
        {"Sign=KVZCLIENTIN\0\nUserId=5"s, Sign::ClientIn, 0},
        {std::string(PresenceDatagram::MaxBytes, '\n') + "Sign=KVZCLIENTIN", Sign::Unknown, 0},
        {"Sign = KVZCLIENTIN\nUserId=4", Sign::Unknown, 4},
    };
    for (const auto& c : cases) {
        const PresenceDatagram read = PresenceDatagram::parse(c.bytes);
        EXPECT_EQ(read.sign, c.sign) << c.bytes;
        EXPECT_EQ(read.userId, c.userId) << c.bytes;
    }
}

// A new cipher text every time, deciphering to the query under the command key; nothing for
// a host that is not a plain dotted quad or a port out of range.
TEST(WireFormats, CommandAddress) {
    const std::string first = CommandAddress("127.0.1.1", 2230, "aFlag=X").value();
    ASSERT_EQ(first.substr(0, 22), "http://127.0.1.1:2230/");
    EXPECT_EQ(first.find_first_of("/?%", 22), std::string::npos);
    EXPECT_EQ(kvz::cipher::En(first.substr(22), "qmtrb", false), "aFlag=X");
    bool differ = false;
    for (int i = 0; i < 20 && !differ; ++i)
        differ = first != CommandAddress("127.0.1.1", 2230, "aFlag=X");
    EXPECT_TRUE(differ);
    for (const auto& [host, port] : {std::pair{"127.0.1.1/x", 1},
                                     {" 127.0.0.1", 1},
                                     {"127.0.1.01", 1},
                                     {"localhost", 1},
                                     {"127.0.0.1", 0},
                                     {"127.0.0.1", 65536}})
        EXPECT_FALSE(CommandAddress(host, port, "aFlag=X")) << host << ':' << port;
}

TEST(WireFormats, PackageAppendix) {
    EXPECT_EQ(PackageAppendix(0x01020304, {{"Exply.dat", "abc"}, {"M", ""}}),
              "ClientabcExply.datM"
              "\x04\x03\x02\x01"
              "\x06\0\0\0\x03\0\0\0\0\0\0\0\x09\0\0\0\x01\0\0\0\x07\0\0\0"s);
}

} // namespace
