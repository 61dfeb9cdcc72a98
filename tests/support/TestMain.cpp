#include <QCoreApplication>
#include <gtest/gtest.h>

// Tests run with a core application on the main thread so that message receivers registered
// there get their queued messages while a test waits.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
