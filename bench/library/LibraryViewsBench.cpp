// Loads 100,000 songs (the program's limit) into the library page and shows
// "All Recordings", side by side with a bare QTreeWidget filled with the same
// rows and columns (the cost floor of this widget), then times filter
// keystrokes. Prints the figures and the ratio.
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CShowListWidget.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <cstring>

namespace {
constexpr int kSongs = kMaxMusicInfoRows;

const char* const kWords[] = {"love", "night", "river", "gold", "fire", "summer", "blue", "dream",
                              "road", "heart", "city", "rain", "star", "wild", "echo", "stone"};

QString Words(int seed, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245 + 12345;
        parts << kWords[(seed >> 16) & 15];
    }
    return parts.join(' ');
}

void FillDatabase()
{
    const QDate today = QDate::currentDate();
    DB_CreateTransaction();
    for (int id = 1; id <= kSongs; ++id) {
        MusicInfoRow row;
        std::memset(&row.Info, 0, sizeof row.Info);
        row.MusicId = id;
        CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, Words(id, 3).toUtf8());
        CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, Words(id * 7, 2).toUtf8());
        CopyUtf8Field(row.Info.Album, sizeof row.Info.Album, Words(id * 13, 2).toUtf8());
        CopyUtf8Field(row.Info.Genre, sizeof row.Info.Genre, QByteArray("Pop;Rock"));
        row.TimeRecorded = QStringLiteral("03:%1").arg(id % 60, 2, 10, QLatin1Char('0'));
        row.DateAdded = today.addDays(-(id % 400)).toString(QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" 10:00");
        row.MusicPath = QStringLiteral("/music/song %1.mp3").arg(id);
        DB_SetMusicInfo(&row);
    }
    DB_CommitTransaction();
}

double Bare()
{
    QElapsedTimer t;
    t.start();
    QMap<int, MusicInfoRow*> records;
    DB_GetAllMusicInfo(records);
    QTreeWidget tree;
    tree.setColumnCount(10);
    tree.setSortingEnabled(true);
    tree.setUniformRowHeights(true);
    tree.header()->setSortIndicator(7, Qt::DescendingOrder);
    QList<QTreeWidgetItem*> items;
    items.reserve(records.size());
    for (MusicInfoRow* r : records) {
        auto* item = new QTreeWidgetItem;
        item->setText(2, QString::fromUtf8(r->Info.MusicName));
        item->setText(3, r->TimeRecorded);
        item->setText(4, QString::fromUtf8(r->Info.Artist));
        item->setText(5, QString::fromUtf8(r->Info.Album));
        item->setText(6, QString::fromUtf8(r->Info.Genre));
        item->setText(7, r->DateAdded.left(16));
        items.append(item);
    }
    tree.addTopLevelItems(items);
    tree.resize(1000, 700);
    tree.show();
    QApplication::processEvents();
    qDeleteAll(records);
    return t.nsecsElapsed() / 1e6;
}

double Ours(CShowListWidget*& page, QList<CListTreeItem*>& entries)
{
    QElapsedTimer t;
    t.start();
    QList<MusicListRow> lists;
    DB_GetMusicList(lists);
    for (const MusicListRow& r : lists)
        entries.append(new CListTreeItem(r, nullptr));
    page = new CShowListWidget(entries, nullptr, nullptr);
    page->resize(1000, 700);
    page->ShowList(1);
    page->show();
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

double Keystroke(CShowListWidget* page, const QString& text)
{
    QElapsedTimer t;
    t.start();
    page->Filter(0, text);
    QApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/.config").toUtf8());
    QApplication app(argc, argv);
    if (DB_OpenDatabaseFile(dir.path() + "/music.db") != 0) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    FillDatabase();
    std::printf("database with %d songs written in %.0f ms\n", kSongs, fill.nsecsElapsed() / 1e6);

    const double bare = Bare();
    CShowListWidget* page = nullptr;
    QList<CListTreeItem*> entries;
    const double ours = Ours(page, entries);
    std::printf("load + first show of \"All Recordings\": library page %.0f ms, bare QTreeWidget %.0f ms, ratio %.2f (goal <= 1.50)\n",
                ours, bare, ours / bare);
    std::printf("visible rows: %d\n", page->GetVisibleCount());

    double worst = 0;
    for (const QString& text : {QStringLiteral("r"), QStringLiteral("ri"), QStringLiteral("riv"),
                                QStringLiteral("rive"), QStringLiteral("river g"), QStringLiteral("river"),
                                QStringLiteral("zzz"), QString()}) {
        const double ms = Keystroke(page, text);
        worst = qMax(worst, ms);
        std::printf("filter \"%s\": %.1f ms, %d rows visible\n", qPrintable(text), ms, page->GetVisibleCount());
    }
    std::printf("worst filter keystroke %.1f ms (goal < 100 ms)\n", worst);
    delete page;
    qDeleteAll(entries);
    return 0;
}
