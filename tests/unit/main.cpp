#include <QCoreApplication>
#include <gtest/gtest.h>

// The listener's notices come through the Qt event loop, so the tests run inside a
// core application (no window system needed).
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
