// The library page with 100,000 songs (the program's limit), each figure
// taken in a fresh process of its own so that neither side runs on a heap the
// other warmed:
//
//   load    loading the library page and its first show of "All Recordings",
//           against the floor of that work: the same light query, rows made
//           with the same texts, sorted once by the date column and inserted
//           into a bare QTreeWidget with sorting off (goal: within 1.3x);
//   filter  keystrokes of the filter, the first one right after the list
//           shows, each until the events it leaves (layout, painting) are
//           done, against the plain way of filtering a QTreeWidget (text() of
//           each cell, setRowHidden where the state changes), with only the
//           page (or only the bare tree) alive (goal: under 100 ms);
//   menu    a right click on every song selected after the music folder was
//           moved away: until the menu shows (goal: under 100 ms), until
//           every row is marked, and the resident memory before and after
//           (goal: back within 10 MB once the menu is closed);
//   return  a return to the Recording page while it records: shown again and
//           its next frame painted (goal: under 10 ms);
//   delete  every song deleted from the library at once, files included.
//
//   library_views_bench [--rounds N] [--platform xcb|offscreen]
//
// Each measured process runs --rounds times (default 3, alternating sides)
// and the medians are printed. The platform is xcb on an X server of the
// benchmark's own (Xvfb) unless "offscreen" is asked for. The machine may be
// shared: the load average is printed at the start and the end.
#include "CAppSettings.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "../common/BenchProgram.h"
#include "../common/BenchSongs.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QResource>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <vector>

namespace {
constexpr int kSongs = kMaxMusicInfoRows;

// The keystrokes of typing "river", a miss and clearing.
const char* const kTexts[] = {"r", "ri", "riv", "rive", "river g", "river", "zzz", ""};
constexpr int kTextCount = sizeof kTexts / sizeof kTexts[0];

// Every song has a file of its own (empty) in `folder`; one in five a cover
// row, and 2,000 of them are on a play list, as in a library used for years.
void FillDatabase(const QString& folder)
{
    const QDate today = QDate::currentDate();
    QDir().mkpath(folder);
    DB_CreateTransaction();
    for (int id = 1; id <= kSongs; ++id) {
        MusicInfoRow row = bench_songs::MakeSong(id, today);
        row.MusicPath = QStringLiteral("%1/song %2.mp3").arg(folder).arg(id);
        QFile file(row.MusicPath);
        if (file.open(QIODevice::WriteOnly))
            file.close();
        DB_SetMusicInfo(&row);
        if (id % 5 == 0)
            DB_SetImageInfo(id, id, QStringLiteral("%1/cover %2.jpg").arg(folder).arg(id).toUtf8().constData());
    }
    for (int i = 1; i <= 2000; ++i)
        DB_SetMusicItem(i, 4, i * 37 % kSongs + 1);
    DB_CommitTransaction();
}

double MsSince(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Lets the event loop run as it would between the page appearing and the
// user's next action.
void Idle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// ---- the measured processes; each prints "name value..." lines ----------

using Keystroke = std::function<double(const QString&, int& visible)>;

// The first keystroke, then three rounds over every keystroke: the median of
// each is printed with the rows it left visible.
void TimeKeystrokes(double first, const Keystroke& type)
{
    std::printf("first %.2f\n", first);
    int visible = 0;
    type(QString(), visible);
    Idle(1000);
    std::vector<std::vector<double>> ms(kTextCount);
    std::vector<int> rows(kTextCount);
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < kTextCount; ++k)
            ms[static_cast<size_t>(k)].push_back(type(QString::fromLatin1(kTexts[k]), rows[static_cast<size_t>(k)]));
    }
    for (int k = 0; k < kTextCount; ++k)
        std::printf("key%d %.2f %d\n", k, bench_program::Median(ms[static_cast<size_t>(k)]), rows[static_cast<size_t>(k)]);
}

CShowListWidget* LoadPage(QList<CListTreeItem*>& entries)
{
    QList<MusicListRow> lists;
    DB_GetMusicList(lists);
    for (const MusicListRow& r : lists)
        entries.append(new CListTreeItem(r, nullptr));
    auto* page = new CShowListWidget(entries, nullptr, nullptr);
    page->resize(1000, 700);
    page->ShowList(1);
    page->show();
    QApplication::processEvents();
    return page;
}

int PagePhase()
{
    QElapsedTimer t;
    t.start();
    QList<CListTreeItem*> entries;
    CShowListWidget* page = LoadPage(entries);
    std::printf("load %.2f\n", MsSince(t));
    const Keystroke type = [page](const QString& text, int& visible) {
        QElapsedTimer k;
        k.start();
        page->Filter(0, text);
        QApplication::processEvents();
        const double ms = MsSince(k);
        visible = page->GetVisibleCount();
        return ms;
    };
    int visible = 0;
    const double first = type(QStringLiteral("r"), visible);
    TimeKeystrokes(first, type);
    delete page;
    qDeleteAll(entries);
    return 0;
}

int FloorPhase()
{
    QElapsedTimer t;
    t.start();
    QTreeWidget tree;
    tree.setWindowTitle(QStringLiteral("bare"));
    std::vector<MusicInfoListRow> records;
    DB_GetAllMusicListRows(records);
    tree.setColumnCount(10);
    tree.setUniformRowHeights(true);
    tree.setSortingEnabled(false);
    tree.header()->setSortIndicator(7, Qt::DescendingOrder);
    // Sorted once by the date column's key (year first), newest first.
    struct Entry {
        QString key;
        QTreeWidgetItem* item;
    };
    std::vector<Entry> entries;
    entries.reserve(records.size());
    for (const MusicInfoListRow& r : records) {
        auto* item = new QTreeWidgetItem;
        const QString date = r.Text(MusicInfoListRow::DateAdded).left(16).toString();
        item->setText(7, date);
        item->setText(2, r.Text(MusicInfoListRow::MusicName).toString());
        item->setText(3, r.Text(MusicInfoListRow::TimeRecorded).toString());
        item->setText(4, r.Text(MusicInfoListRow::Artist).toString());
        item->setText(5, r.Text(MusicInfoListRow::Album).toString());
        const QStringView genre = r.Text(MusicInfoListRow::Genre);
        const qsizetype semi = genre.indexOf(QLatin1Char(';'));
        item->setText(6, (semi < 0 ? genre : genre.left(semi)).toString());
        entries.push_back({date.mid(6, 4) + date.left(6) + date.mid(10), item});
    }
    records.clear();
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return b.key < a.key; });
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(entries.size()));
    for (const Entry& e : entries)
        items.append(e.item);
    entries.clear();
    tree.addTopLevelItems(items);
    tree.resize(1000, 700);
    tree.show();
    QApplication::processEvents();
    std::printf("load %.2f\n", MsSince(t));

    const Keystroke type = [&tree](const QString& text, int& visible) {
        QElapsedTimer k;
        k.start();
        const int count = tree.topLevelItemCount();
        for (int i = 0; i < count; ++i) {
            const QTreeWidgetItem* item = tree.topLevelItem(i);
            bool match = text.isEmpty();
            for (int c : {2, 4, 5}) {
                if (!match && item->text(c).contains(text, Qt::CaseInsensitive))
                    match = true;
            }
            if (tree.isRowHidden(i, QModelIndex()) == match)
                tree.setRowHidden(i, QModelIndex(), !match);
        }
        QApplication::processEvents();
        const double ms = MsSince(k);
        visible = 0;
        for (int i = 0; i < count; ++i)
            visible += tree.isRowHidden(i, QModelIndex()) ? 0 : 1;
        return ms;
    };
    int visible = 0;
    const double first = type(QStringLiteral("r"), visible);
    TimeKeystrokes(first, type);
    return 0;
}

// Closes the context menu as soon as it shows, noting when that was.
class MenuCloser : public QObject
{
public:
    MenuCloser(QMenu* menu, const QElapsedTimer& clock) : m_menu(menu), m_clock(clock) { menu->installEventFilter(this); }
    double shownMs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_menu && event->type() == QEvent::Show && shownMs < 0) {
            shownMs = MsSince(m_clock);
            QTimer::singleShot(0, m_menu, &QMenu::close);
        }
        return false;
    }

private:
    QMenu* m_menu;
    const QElapsedTimer& m_clock;
};

// Run while the music folder is away: every song's file is missing.
int MenuPhase()
{
    QList<CListTreeItem*> entries;
    CShowListWidget* page = LoadPage(entries);
    CMusicInfoTreeWidget* list = page->TrackList();
    page->selectAll();
    Idle(1000);
    const long before = bench_program::ResidentKb();
    QElapsedTimer clock;
    MenuCloser closer(page->ContextMenu(), clock);
    const QPoint at = list->visualItemRect(list->itemAt(QPoint(20, 5))).center();
    clock.start();
    page->customContextMenuRequested(at);
    page->WaitForFileCheck(600000);
    const double markedMs = MsSince(clock);
    Idle(500);
    const long after = bench_program::ResidentKb();
    int marked = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        marked += list->topLevelItem(i)->icon(CTreeWidgetItem::ColNotice).isNull() ? 0 : 1;
    std::printf("menu_shown %.2f\nmenu_marked %.2f %d\nrss_before %ld\nrss_after %ld\n", closer.shownMs, markedMs,
                marked, before, after);
    delete page;
    qDeleteAll(entries);
    return 0;
}

// The Recording page while it records: a first loop of its frames, then
// away and back five times.
int RecordingPhase()
{
    CRecordingWidget page;
    page.resize(1000, 700);
    page.show();
    Idle(300);
    page.StartRecordingAnimation();
    QElapsedTimer loop;
    loop.start();
    const double loopCpu = ThreadCpuMs();
    for (int i = 0; i < 28; ++i) {
        page.RecordingAnimation();
        QApplication::processEvents();
    }
    std::printf("first_loop %.2f %.2f\n", MsSince(loop), ThreadCpuMs() - loopCpu);
    std::vector<double> wall, cpu;
    for (int i = 0; i < 5; ++i) {
        page.hide();
        Idle(200);
        QElapsedTimer back;
        back.start();
        const double cpuStart = ThreadCpuMs();
        page.show();
        page.RecordingAnimation();   // the frame the timer shows next
        QApplication::processEvents();
        wall.push_back(MsSince(back));
        cpu.push_back(ThreadCpuMs() - cpuStart);
        Idle(200);
    }
    std::printf("return %.2f %.2f\n", bench_program::Median(wall), bench_program::Median(cpu));
    // A whole loop after a return: what showing the page again costs while
    // the recording goes on.
    page.hide();
    Idle(200);
    const double againCpu = ThreadCpuMs();
    page.show();
    for (int i = 0; i < 28; ++i) {
        page.RecordingAnimation();
        QApplication::processEvents();
    }
    std::printf("loop_after_return %.2f\n", ThreadCpuMs() - againCpu);
    page.StopRecordingAnimation();
    return 0;
}

int DeletePhase(const QString& songs)
{
    QList<CListTreeItem*> entries;
    CShowListWidget* page = LoadPage(entries);
    CAppSettings::GetInstance()->SetDeleteType(1);
    page->selectAll();
    const QList<CTreeWidgetItem*> all = page->TrackList()->GetSelectedItems();
    QElapsedTimer deletion;
    deletion.start();
    page->DeleteSelectedMusic(all, 1);
    QApplication::processEvents();
    const double deleteMs = MsSince(deletion);
    page->WaitForFileRemovals(600000);
    const double filesMs = MsSince(deletion);
    QMap<int, MusicInfoRow*> left;
    DB_GetAllMusicInfo(left);
    std::printf("delete %.2f %.2f %d %d %d %d\n", deleteMs, filesMs, all.size(), page->TrackList()->topLevelItemCount(),
                left.size(), QDir(songs).entryList(QDir::Files).size());
    qDeleteAll(left);
    delete page;
    qDeleteAll(entries);
    return 0;
}

// ---- the parent ----------------------------------------------------------------

using Figures = std::map<QString, std::vector<QStringList>>;

// Runs one measured process and files its lines by name.
bool RunPhase(const QString& phase, const QString& folder, Figures& figures)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--phase"), phase, QStringLiteral("--folder"), folder});
    if (!child.waitForFinished(1800000) || child.exitCode() != 0) {
        std::fprintf(stderr, "the %s process failed\n", qPrintable(phase));
        return false;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QStringList words = QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 2)
            figures[phase + QLatin1Char('.') + words.front()].push_back(words.mid(1));
    }
    return true;
}

// The median of field `at` of a figure over the runs.
double Med(const Figures& figures, const QString& name, int at = 0)
{
    const auto found = figures.find(name);
    if (found == figures.end())
        return -1;
    std::vector<double> values;
    for (const QStringList& run : found->second)
        values.push_back(run.value(at).toDouble());
    return bench_program::Median(values);
}

// The least and the most of a figure over the runs, "min-max".
QString Range(const Figures& figures, const QString& name)
{
    const auto found = figures.find(name);
    if (found == figures.end() || found->second.empty())
        return QStringLiteral("-");
    double low = 1e300, high = -1e300;
    for (const QStringList& run : found->second) {
        low = qMin(low, run.value(0).toDouble());
        high = qMax(high, run.value(0).toDouble());
    }
    return QStringLiteral("%1-%2").arg(low, 0, 'f', 0).arg(high, 0, 'f', 0);
}

int Parent(const QMap<QString, QString>& options)
{
    const int rounds = qMax(1, options.value(QStringLiteral("--rounds"), QStringLiteral("3")).toInt());
    const QString platform = options.value(QStringLiteral("--platform"), QStringLiteral("xcb"));
    bench_program::Display display;
    if (platform == QLatin1String("xcb")) {
        if (!display.Start()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return 2;
        }
        qputenv("DISPLAY", display.Name().toUtf8());
        qunsetenv("WAYLAND_DISPLAY");
    }
    qputenv("QT_QPA_PLATFORM", platform.toUtf8());
    std::printf("load average at the start: %s; %d rounds on %s\n", qPrintable(bench_program::LoadAverage()), rounds,
                qPrintable(platform));

    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/.config").toUtf8());
    if (DB_OpenDatabaseFile(dir.path() + "/music.db") != 0) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    QElapsedTimer fill;
    fill.start();
    const QString songs = dir.path() + "/songs";
    FillDatabase(songs);
    DB_CloseDatabase();
    std::printf("database with %d songs (and their files) written in %.0f ms\n", kSongs, MsSince(fill));

    Figures f;
    bool ok = true;
    for (int round = 0; round < rounds && ok; ++round) {
        // Alternate the order so that neither side always follows the other.
        const QStringList order = round % 2 ? QStringList{"floor", "page"} : QStringList{"page", "floor"};
        for (const QString& phase : order)
            ok = ok && RunPhase(phase, dir.path(), f);
    }
    // The music folder moved away for the right clicks, and back.
    ok = ok && QDir().rename(songs, songs + "-moved");
    for (int round = 0; round < rounds && ok; ++round)
        ok = RunPhase(QStringLiteral("menu"), dir.path(), f);
    ok = QDir().rename(songs + "-moved", songs) && ok;
    for (int round = 0; round < rounds && ok; ++round)
        ok = RunPhase(QStringLiteral("recording"), dir.path(), f);
    ok = ok && RunPhase(QStringLiteral("delete"), dir.path(), f);
    if (!ok)
        return 1;

    const double page = Med(f, "page.load"), floor = Med(f, "floor.load");
    std::printf("load + first show of \"All Recordings\" (median of %d fresh processes each): library page %.0f ms "
                "(%s), floor %.0f ms (%s; same light query, rows sorted once, inserted with sorting off), ratio %.2f "
                "(goal <= 1.30, %s)\n",
                rounds, page, qPrintable(Range(f, "page.load")), floor, qPrintable(Range(f, "floor.load")),
                page / floor, page / floor <= 1.3 ? "met" : "MISSED");
    const double first = Med(f, "page.first"), firstFloor = Med(f, "floor.first");
    std::printf("first keystroke right after the first show: library page %.1f ms (goal < 100 ms), floor %.1f ms, "
                "ratio %.2f\n",
                first, firstFloor, first / firstFloor);
    double worst = first;
    for (int k = 0; k < kTextCount; ++k) {
        const QString key = QStringLiteral("key%1").arg(k);
        const double ms = Med(f, "page." + key), floorMs = Med(f, "floor." + key);
        const int rows = static_cast<int>(Med(f, "page." + key, 1));
        worst = qMax(worst, ms);
        std::printf("filter \"%s\": library page %.1f ms, bare QTreeWidget %.1f ms, ratio %.2f; %d rows visible%s\n",
                    kTexts[k], ms, floorMs, ms / floorMs, rows,
                    rows == static_cast<int>(Med(f, "floor." + key, 1)) ? "" : " (bare widget differs!)");
    }
    std::printf("worst filter keystroke %.1f ms (goal < 100 ms, %s)\n", worst, worst < 100 ? "met" : "MISSED");

    const double shown = Med(f, "menu.menu_shown");
    const double grew = (Med(f, "menu.rss_after") - Med(f, "menu.rss_before")) / 1024;
    std::printf("right click on %d selected songs whose files are missing: menu shown after %.1f ms (%s; goal < 100 ms, "
                "%s), %d rows marked after %.0f ms; resident memory %.0f MB before, %.0f MB after the menu closed "
                "(%+.1f MB, goal within 10 MB, %s)\n",
                kSongs, shown, qPrintable(Range(f, "menu.menu_shown")), shown < 100 ? "met" : "MISSED", static_cast<int>(Med(f, "menu.menu_marked", 1)),
                Med(f, "menu.menu_marked"), Med(f, "menu.rss_before") / 1024, Med(f, "menu.rss_after") / 1024, grew,
                grew <= 10 ? "met" : "MISSED");

    const double back = Med(f, "recording.return");
    std::printf("Recording page while recording: first loop of 28 frames %.0f ms (%.0f ms CPU); a return to the page "
                "%.1f ms (%.1f ms CPU; goal < 10 ms, %s); the loop after a return %.0f ms CPU\n",
                Med(f, "recording.first_loop"), Med(f, "recording.first_loop", 1), back, Med(f, "recording.return", 1),
                back < 10 ? "met" : "MISSED", Med(f, "recording.loop_after_return"));

    std::printf("delete %d songs: library and list done in %.0f ms (goal < 2000 ms), their files gone (on a worker) "
                "after %.0f ms; %d rows, %d records, %d files left\n",
                static_cast<int>(Med(f, "delete.delete", 2)), Med(f, "delete.delete"), Med(f, "delete.delete", 1),
                static_cast<int>(Med(f, "delete.delete", 3)), static_cast<int>(Med(f, "delete.delete", 4)),
                static_cast<int>(Med(f, "delete.delete", 5)));
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QMap<QString, QString> options = bench_program::Options(args);
    const QString phase = options.value(QStringLiteral("--phase"));
    if (phase.isEmpty()) {
        QCoreApplication app(argc, argv);
        return Parent(options);
    }
    QApplication app(argc, argv);
    // The pictures the program shows (backgrounds, notices, the Recording
    // page's frames) come from its skin.
    const QString skin = QCoreApplication::applicationDirPath() + QStringLiteral("/skin.rcc");
    if (!QResource::registerResource(skin)) {
        std::fprintf(stderr, "no skin at %s\n", qPrintable(skin));
        return 1;
    }
    const QString folder = options.value(QStringLiteral("--folder"));
    if (phase == QLatin1String("recording"))
        return RecordingPhase();
    if (DB_OpenDatabaseFile(folder + "/music.db") != 0) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    if (phase == QLatin1String("page"))
        return PagePhase();
    if (phase == QLatin1String("floor"))
        return FloorPhase();
    if (phase == QLatin1String("menu"))
        return MenuPhase();
    if (phase == QLatin1String("delete"))
        return DeletePhase(folder + "/songs");
    std::fprintf(stderr, "unknown phase %s\n", qPrintable(phase));
    return 2;
}
