// Entry point of every Windows test executable: the tests run on a single-threaded
// apartment, as the control does inside a browser.
#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::OleInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    ::OleUninitialize();
    return result;
}
