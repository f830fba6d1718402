#pragma once

// A throw-away user: HOME and the XDG folders point into a temporary folder,
// with a user-dirs file whose music folder has non-ASCII letters.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdlib>

struct TestUserHome {
    QTemporaryDir dir;
    QString home;

    TestUserHome()
    {
        home = dir.path();
        setenv("HOME", home.toUtf8().constData(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8().constData(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").toUtf8().constData(), 1);
        QDir().mkpath(home + "/.config");
        QFile dirs(home + "/.config/user-dirs.dirs");
        if (dirs.open(QIODevice::WriteOnly)) {
            dirs.write("# written by the test\n"
                       "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                       "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                       "XDG_MUSIC_DIR=\"$HOME/Musik \xc3\x84rger \xe9\x9f\xb3\xe6\xa5\xbd\"\n"
                       "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                       "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n"
                       "XDG_TEMPLATES_DIR=\"$HOME/Vorlagen\"\n");
        }
    }

    static QString MusicName() { return QString::fromUtf8("Musik \xc3\x84rger \xe9\x9f\xb3\xe6\xa5\xbd"); }
    QString DataFolder() const { return home + "/.local/share/Tavrel/Sonacap"; }
    QString MusicFolder() const { return home + "/" + MusicName() + "/Tavrel/Sonacap"; }
};
