#include "LoopbackGuard.h"

#include <QApplication>
#include <gtest/gtest.h>

// One QApplication for every test binary; widgets run on the offscreen platform; on Linux,
// nothing is sent beyond this computer.
int main(int argc, char** argv) {
#ifndef _WIN32
    installLoopbackGuard();
#endif
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
