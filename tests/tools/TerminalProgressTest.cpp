#include "TerminalProgress.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(TerminalProgress, LineCountsAndPercent) {
    EXPECT_EQ(TerminalProgress::line(u"users"_s, 500, 2000), u"users: 500/2000 (25%)"_s);
    EXPECT_EQ(TerminalProgress::line(u"users"_s, 0, 0), u"users: 0/0 (100%)"_s);
}

// Output that goes to a file or a pipe carries no progress.
TEST(TerminalProgress, QuietWhenNoTerminal) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        TerminalProgress progress(u"users"_s, file);
        progress.update(1, 2);
        progress.update(2, 2);
    }
    EXPECT_EQ(std::ftell(file), 0);
    std::fclose(file);
}
