// The main window's tests run in a throw-away HOME with a private runtime
// folder: no real settings, library, music folder or power-off are reachable.
#include "../../common/TestUserHome.h"
#include "SystemHelpers.h"

#include <QApplication>
#include <QResource>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestUserHome home;
    qputenv("XDG_RUNTIME_DIR", (home.home + "/run").toUtf8());
    QDir().mkpath(home.home + "/run");
    QFile::setPermissions(home.home + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SetShutdownHook([] {
        ADD_FAILURE() << "the real power-off was reached";
        return false;
    });
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // The skin's pictures (notice icons and the like) as the program has them.
    QResource::registerResource(QString(SONACAP_TEST_OUTPUT_DIR) + "/skin.rcc");
    return RUN_ALL_TESTS();
}
