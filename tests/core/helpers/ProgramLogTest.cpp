// The program's log: Qt's messages go into a dated file of its own folder.
#include "ProgramLog.h"

#include <QDate>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramLog, QtMessagesGoIntoTheDatedFileOfItsOwnFolder)
{
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    // The folder beside the library and the settings, which must never be
    // the log's to clean up.
    QFile library(data.filePath("music.db"));
    ASSERT_TRUE(library.open(QIODevice::WriteOnly));
    library.write("the library");
    library.close();

    const QString folder = data.filePath("log");
    StartProgramLog(folder);
    qDebug() << "a debug line";
    qWarning() << "a warning line";
    qCritical() << "a critical line";
    StopProgramLog();
    qWarning() << "after the log";

    const QString file = folder + "/" + QDate::currentDate().toString("yyyy_MM_dd") + "_" + kProgramLogName + ".log";
    QFile log(file);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << file.toStdString();
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains("DEBUG") && text.contains("a debug line")) << text.toStdString();
    EXPECT_TRUE(text.contains("a warning line"));
    EXPECT_TRUE(text.contains("ERROR") && text.contains("a critical line"));
    EXPECT_FALSE(text.contains("after the log"));
    EXPECT_EQ(QDir(data.path()).entryList(QDir::Files), QStringList{"music.db"});
}
