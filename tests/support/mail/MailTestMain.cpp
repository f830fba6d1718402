// gtest entry of the mail tests without widgets: a throw-away user home and a
// QCoreApplication for the whole run.
#include "TestUserHome.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestUserHome home;
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
