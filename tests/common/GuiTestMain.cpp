// gtest entry shared by the widget tests: a throw-away user home (the settings
// store and the dialogs write their ini file there), then a QApplication for
// the whole run.
//
// This folder has no CMakeLists.txt of its own; a test lists this file by path.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    const QByteArray path = home.path().toUtf8();
    setenv("HOME", path.constData(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/.config").constData(), 1);
    setenv("XDG_DATA_HOME", (path + "/.local/share").constData(), 1);
    setenv("XDG_RUNTIME_DIR", path.constData(), 1);
    QDir().mkpath(home.path() + "/.config");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
