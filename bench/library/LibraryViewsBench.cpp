// The library page with 100,000 songs (the program's limit), each figure
// taken in a fresh process of its own so that neither side runs on a heap the
// other warmed. Keys and buttons are pressed for real, through the X server
// (XTEST), so every figure holds what the toolkit does with the press too:
//
//   load    loading the library page and its first show of "All Recordings",
//           against the floor of that work: the same light query, rows made
//           with the same texts, sorted once by the date column and inserted
//           into a bare QTreeWidget with sorting off (goal: within 1.3x);
//   filter  keystrokes typed into the filter box, the first one right after
//           the list shows, each from the end of the filter's 500 ms delay
//           until the program is quiet again (filtered, laid out, painted),
//           with its CPU time, against a bare QTreeWidget under a line edit
//           filtered the plain way after the same delay (text() of each
//           cell, setRowHidden where the state changes), with only the page
//           (or only the bare tree) alive (goal: the worst keystroke under
//           100 ms);
//   menu    a right press on a row with every song selected after the music
//           folder was moved away: until the X server maps the menu (goal:
//           under 100 ms) and until the program is free for the next input
//           with it shown, against a bare QTreeWidget with every row selected
//           showing a plain menu;
//           until every row is marked, and the resident memory before and
//           after (goal: back within 10 MB once the menu is closed);
//   return  a return to the Recording page while it records: shown again and
//           its next frame painted (goal: under 10 ms);
//   delete  every song deleted from the library at once, files included.
//
//   library_views_bench [--rounds N] [--parts filter,menu,recording,delete]
//                       [--platform xcb|offscreen] [--keep 1] [--busy N]
//
// Each measured process runs --rounds times (default 3, alternating sides)
// and the medians are printed. The platform is xcb on an X server of the
// benchmark's own (Xvfb); "offscreen" has no X server and so no real input
// (only the recording and delete parts run there). With --keep 1 the
// library stays (its folder is printed) for profiling one phase by hand. The
// machine may be shared: the load average is printed beside the figures, and
// --busy N adds N threads of the benchmark's own that spin while the figures
// are taken (after the library is written), for a figure under a known load.
#include "CAppSettings.h"
#include "CFilterEdit.h"
#include "CListTreeItem.h"
#include "CMusicInfoTreeWidget.h"
#include "CRecordingWidget.h"
#include "CShowListWidget.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "../common/BenchProgram.h"
#include "../common/BenchSongs.h"
#include "BenchXInput.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QResource>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <vector>

namespace {
constexpr int kSongs = kMaxMusicInfoRows;

// The texts of typing "star" and a second word, back, a miss and clearing:
// on the bench library they leave 94,799, 64,653, 13,152, 1,198, 23, 1,198,
// 0 and all 100,000 songs visible.
const char* const kTexts[] = {"s", "st", "sta", "star", "star b", "star", "starq", ""};
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

// Real input on the benchmark's X server, and the moments the program is
// done with it. After a keystroke that is when it went quiet: the time its
// event loop was about to wait after the last event before 30 ms without any
// (the layout, the painting and whatever the work left for later are done by
// then). After a right press it is when the event loop, the menu shown, is
// first about to wait for the next event: free for the user's next input
// (the menu's own roll-out animation and the work it leaves behind the open
// menu come later, a little at a time).
class RealUser : public QObject
{
public:
    RealUser()
    {
        QCoreApplication::instance()->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (!m_armed || !m_done || m_idleNs >= 0)
                return;
            if (!m_untilQuiet)
                Finish(BenchXInput::NowNs());
            else if (m_waitNs < 0)
                m_waitNs = BenchXInput::NowNs();
        });
        m_quiet.setInterval(5);
        connect(&m_quiet, &QTimer::timeout, this, [this] {
            if (m_waitNs >= 0 && BenchXInput::NowNs() - m_waitNs >= kQuietNs)
                Finish(m_waitNs);
        });
    }
    ~RealUser() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool Open() const { return m_input.IsOpen() && m_maps.IsOpen(); }

    // The filter's delay: it ends when this timer fires or 500 ms after the
    // last key, whichever is first.
    void WatchDelay(QTimer* timer) { m_delay = timer; }

    // Clicks into the filter's edit; from here on the keys go to it.
    void FocusEdit(QLineEdit* edit)
    {
        m_input.MoveTo(edit->mapToGlobal(edit->rect().center()));
        m_input.Click(1);
        m_input.Sync();
        Idle(300);
        m_text = edit->text();
    }

    // Types what turns the edit's text into text (backspaces to the common
    // beginning, then the rest) at a brisk typist's pace, and waits for the
    // filter's delay and the work after it: FilterDone() is to be called
    // when the filter has run. Returns the milliseconds from the end of the
    // delay to the program quiet again, and the CPU time of the process from
    // the last key on.
    double Type(const QString& text, double& cpuMs)
    {
        int common = 0;
        while (common < m_text.size() && common < text.size() && m_text[common] == text[common])
            ++common;
        for (int i = common; i < m_text.size(); ++i)
            Stroke([this] { return m_input.Key(QStringLiteral("BackSpace")); });
        for (int i = common; i < text.size(); ++i)
            Stroke([&] { return m_input.Type(text.mid(i, 1)); });
        m_text = text;
        Arm(true);
        const double cpu = ProcessCpuMs();
        Wait();
        cpuMs = ProcessCpuMs() - cpu;
        if (m_idleNs < 0)
            return -1;
        const qint64 delayEnd = m_lastKeyNs + kFilterDelayNs;
        return (m_idleNs - (m_firedNs > 0 ? qMin(m_firedNs, delayEnd) : delayEnd)) / 1e6;
    }
    // The filter has run.
    void FilterDone() { m_done = true; }

    // A right press at a point of the screen: the milliseconds until the X
    // server mapped a window (the menu) and until the program was free again
    // with it shown (MenuShown() is to be called when it shows), then
    // the button goes up and Escape closes the menu.
    void RightPress(const QPoint& global, double& mappedMs, double& freeMs)
    {
        m_input.MoveTo(global);
        m_input.Sync();
        Idle(300);
        Arm(false);
        // The menu runs an event loop of its own: it is closed from there.
        m_onIdle = [this] {
            m_input.Release(3);
            m_input.Key(QStringLiteral("Escape"));
            m_input.Sync();
        };
        const qint64 pressed = BenchXInput::NowNs();
        Profile(true);
        m_input.Press(3);
        m_input.Sync();
        Wait();
        m_onIdle = nullptr;
        const qint64 mapped = m_maps.WaitForMap(pressed, 1000);
        mappedMs = mapped < 0 ? -1 : (mapped - pressed) / 1e6;
        freeMs = m_idleNs < 0 ? -1 : (m_idleNs - pressed) / 1e6;
    }
    void MenuShown() { m_done = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_armed)
            return false;
        if (watched == m_delay && event->type() == QEvent::Timer && m_firedNs < 0) {
            m_firedNs = BenchXInput::NowNs();
            Profile(true);
        }
        if (m_done && watched != &m_quiet)
            m_waitNs = -1;   // busy again
        return false;
    }

private:
    static constexpr qint64 kFilterDelayNs = 500 * 1000000LL;
    static constexpr qint64 kQuietNs = 30 * 1000000LL;
    template <typename Send>
    void Stroke(Send send)
    {
        // 30 ms between keys, as a brisk typist leaves.
        Idle(30);
        m_lastKeyNs = BenchXInput::NowNs();
        if (!send())
            std::fprintf(stderr, "a key could not be sent\n");
        m_input.Sync();
    }
    void Arm(bool untilQuiet)
    {
        m_untilQuiet = untilQuiet;
        m_done = false;
        m_idleNs = -1;
        m_firedNs = -1;
        m_waitNs = -1;
        m_armed = true;
        if (untilQuiet)
            m_quiet.start();
    }
    void Finish(qint64 idleNs)
    {
        m_idleNs = idleNs;
        Profile(false);
        m_quiet.stop();
        if (m_onIdle)
            m_onIdle();
        m_loop.quit();
    }
    void Wait()
    {
        QTimer::singleShot(60000, &m_loop, &QEventLoop::quit);
        if (m_idleNs < 0)
            m_loop.exec();
        m_armed = false;
        m_quiet.stop();
    }
    // With BENCH_PERF_CONTROL naming the control fifo of a "perf record
    // -D -1 --control fifo:..." around this process, only the measured work
    // is recorded.
    void Profile(bool on)
    {
        static const QByteArray fifo = qgetenv("BENCH_PERF_CONTROL");
        if (fifo.isEmpty() || on == m_profiling)
            return;
        m_profiling = on;
        QFile control(QString::fromLocal8Bit(fifo));
        if (control.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            control.write(on ? "enable\n" : "disable\n");
    }
    static double ProcessCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
    }

    BenchXInput m_input;
    BenchMapWatch m_maps;
    QEventLoop m_loop;
    QTimer m_quiet;
    QTimer* m_delay = nullptr;
    std::function<void()> m_onIdle;
    QString m_text;
    qint64 m_lastKeyNs = 0;
    qint64 m_firedNs = -1;
    // The first time the event loop was about to wait since the last event
    // (-1 while it works).
    qint64 m_waitNs = -1;
    qint64 m_idleNs = -1;
    bool m_armed = false;
    bool m_untilQuiet = false;
    bool m_done = false;
    bool m_profiling = false;
};

// The first keystroke right after the list shows, then three rounds over
// every keystroke: the median and the worst of each are printed with the
// rows it left visible, and the worst of all with its CPU time.
void TimeKeystrokes(RealUser& user, QLineEdit* edit, const std::function<int()>& visible)
{
    user.FocusEdit(edit);
    double cpu = 0;
    double worst = user.Type(QString::fromLatin1(kTexts[0]), cpu), worstCpu = cpu;
    std::printf("first %.2f %.2f\n", worst, cpu);
    user.Type(QString(), cpu);
    Idle(1000);
    std::vector<std::vector<double>> ms(kTextCount);
    std::vector<int> rows(kTextCount);
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < kTextCount; ++k) {
            const double took = user.Type(QString::fromLatin1(kTexts[k]), cpu);
            ms[static_cast<size_t>(k)].push_back(took);
            rows[static_cast<size_t>(k)] = visible();
            if (took > worst) {
                worst = took;
                worstCpu = cpu;
            }
        }
    }
    for (int k = 0; k < kTextCount; ++k) {
        const std::vector<double>& v = ms[static_cast<size_t>(k)];
        std::printf("key%d %.2f %d %.2f\n", k, bench_program::Median(v), rows[static_cast<size_t>(k)],
                    *std::max_element(v.begin(), v.end()));
    }
    std::printf("worst %.2f %.2f\n", worst, worstCpu);
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
    RealUser user;
    if (!user.Open())
        return 1;
    QObject::connect(page->FilterBox(), &CFilterEdit::filter, &user, [&user] { user.FilterDone(); });
    user.WatchDelay(page->FilterBox()->DebounceTimer());
    TimeKeystrokes(user, page->FilterBox(), [page] { return page->GetVisibleCount(); });
    delete page;
    qDeleteAll(entries);
    return 0;
}

// The floor of the page: the same rows in a bare QTreeWidget, built the
// cheapest way (see FloorPhase), with the first one current.
void BuildBareTree(QTreeWidget& tree)
{
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
    tree.setCurrentItem(tree.topLevelItem(0));
}

// plain: the plain way of filtering a QTreeWidget, text() of each cell and
// setRowHidden where the state changes. Otherwise lean: the texts searched
// are case-folded copies made while loading, the hidden states are kept
// beside the tree, and only the rows that change are hidden or shown, so
// that little more than Qt's own work on the change is left.
int FloorPhase(bool plain)
{
    QElapsedTimer t;
    t.start();
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* tree = new QTreeWidget(&window);
    layout->addWidget(edit);
    layout->addWidget(tree);
    BuildBareTree(*tree);
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    std::printf("load %.2f\n", MsSince(t));

    std::vector<QString> folded;
    std::vector<char> hidden;
    if (!plain) {
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = tree->topLevelItem(i);
            folded.push_back(
                (item->text(2) + QChar(0xFFFF) + item->text(4) + QChar(0xFFFF) + item->text(5)).toCaseFolded());
        }
        hidden.assign(folded.size(), 0);
    }
    // 500 ms after the last key, as the page does.
    RealUser user;
    if (!user.Open())
        return 1;
    QTimer delay;
    delay.setSingleShot(true);
    delay.setInterval(500);
    delay.setTimerType(Qt::PreciseTimer);
    QObject::connect(edit, &QLineEdit::textEdited, &delay, qOverload<>(&QTimer::start));
    user.WatchDelay(&delay);
    QObject::connect(&delay, &QTimer::timeout, &user, [&] {
        const QString text = edit->text();
        const int count = tree->topLevelItemCount();
        const QString needle = text.toCaseFolded();
        for (int i = 0; !plain && i < count; ++i) {
            const char hide = text.isEmpty() || folded[static_cast<size_t>(i)].contains(needle) ? 0 : 1;
            if (hidden[static_cast<size_t>(i)] != hide) {
                tree->setRowHidden(i, QModelIndex(), hide);
                hidden[static_cast<size_t>(i)] = hide;
            }
        }
        for (int i = 0; plain && i < count; ++i) {
            const QTreeWidgetItem* item = tree->topLevelItem(i);
            bool match = text.isEmpty();
            for (int c : {2, 4, 5}) {
                if (!match && item->text(c).contains(text, Qt::CaseInsensitive))
                    match = true;
            }
            if (tree->isRowHidden(i, QModelIndex()) == match)
                tree->setRowHidden(i, QModelIndex(), !match);
        }
        user.FilterDone();
    });
    TimeKeystrokes(user, edit, [tree] {
        int visible = 0;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            visible += tree->isRowHidden(i, QModelIndex()) ? 0 : 1;
        return visible;
    });
    return 0;
}

// Tells the user when the menu shows.
class MenuWatch : public QObject
{
public:
    MenuWatch(QMenu* menu, RealUser& user) : m_menu(menu), m_user(user) { menu->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_menu && event->type() == QEvent::Show)
            m_user.MenuShown();
        return false;
    }

private:
    QMenu* m_menu;
    RealUser& m_user;
};

// A real right press on the top row, with every row selected.
void TimeRightPress(RealUser& user, QTreeWidget* list, QMenu* menu)
{
    MenuWatch shown(menu, user);
    const QPoint at = list->visualItemRect(list->itemAt(QPoint(20, 5))).center();
    double mapped = -1, free = -1;
    user.RightPress(list->viewport()->mapToGlobal(at), mapped, free);
    std::printf("menu_mapped %.2f\nmenu_free %.2f\n", mapped, free);
}

// Run while the music folder is away: every song's file is missing.
int MenuPhase()
{
    QList<CListTreeItem*> entries;
    CShowListWidget* page = LoadPage(entries);
    CMusicInfoTreeWidget* list = page->TrackList();
    RealUser user;
    if (!user.Open())
        return 1;
    page->selectAll();
    Idle(1000);
    const long before = bench_program::ResidentKb();
    QElapsedTimer clock;
    clock.start();
    TimeRightPress(user, list, page->ContextMenu());
    page->WaitForFileCheck(600000);
    const double markedMs = MsSince(clock);
    Idle(500);
    const long after = bench_program::ResidentKb();
    int marked = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        marked += list->topLevelItem(i)->icon(CTreeWidgetItem::ColNotice).isNull() ? 0 : 1;
    int selected = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        selected += list->topLevelItem(i)->isSelected() ? 1 : 0;
    std::printf("menu_marked %.2f %d\nmenu_selected %d\nrss_before %ld\nrss_after %ld\n", markedMs, marked, selected,
                before, after);
    delete page;
    qDeleteAll(entries);
    return 0;
}

// The floor of the right press: the bare tree, every row selected, a menu of
// the page's entries shown on the press.
int MenuFloorPhase()
{
    QTreeWidget tree;
    BuildBareTree(tree);
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree.setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu menu;
    for (const char* text : {"Play", "Edit Music Tags", "Add to playlist", "Add to iTunes", "Select All",
                             "Unselect All", "Show in Folder", "Delete"})
        menu.addAction(QString::fromLatin1(text));
    QObject::connect(&tree, &QWidget::customContextMenuRequested, &menu,
                     [&](const QPoint& pos) { menu.exec(tree.viewport()->mapToGlobal(pos) + QPoint(5, 0)); });
    tree.resize(1000, 700);
    tree.show();
    QApplication::processEvents();
    RealUser user;
    if (!user.Open())
        return 1;
    tree.selectAll();
    Idle(1000);
    TimeRightPress(user, &tree, &menu);
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

void ReportFilter(const Figures& f, int rounds);
void ReportMenu(const Figures& f);
void ReportRecording(const Figures& f);
void ReportDelete(const Figures& f);

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
    if (options.value(QStringLiteral("--keep")) == QLatin1String("1")) {
        // For profiling one phase by hand: --phase NAME --folder PATH.
        dir.setAutoRemove(false);
        std::printf("library kept in %s\n", qPrintable(dir.path()));
    }
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

    const bench_program::BusyLoad busy(qMax(0, options.value(QStringLiteral("--busy"), QStringLiteral("0")).toInt()));
    if (busy.Threads() > 0)
        std::printf("%d busy threads spin while the figures are taken\n", busy.Threads());

    Figures f;
    bool ok = true;
    const QStringList parts = options.value(QStringLiteral("--parts"), QStringLiteral("filter,menu,recording,delete"))
                                  .split(QLatin1Char(','));
    for (int round = 0; round < rounds && ok && parts.contains(QLatin1String("filter")); ++round) {
        // Alternate the order so that neither side always follows the other.
        const QStringList order =
            round % 2 ? QStringList{"qtfloor", "floor", "page"} : QStringList{"page", "floor", "qtfloor"};
        for (const QString& phase : order)
            ok = ok && RunPhase(phase, dir.path(), f);
    }
    if (parts.contains(QLatin1String("menu"))) {
        // The music folder moved away for the right presses, and back.
        ok = ok && QDir().rename(songs, songs + "-moved");
        for (int round = 0; round < rounds && ok; ++round) {
            const QStringList order = round % 2 ? QStringList{"menufloor", "menu"} : QStringList{"menu", "menufloor"};
            for (const QString& phase : order)
                ok = ok && RunPhase(phase, dir.path(), f);
        }
        ok = QDir().rename(songs + "-moved", songs) && ok;
    }
    for (int round = 0; round < rounds && ok && parts.contains(QLatin1String("recording")); ++round)
        ok = RunPhase(QStringLiteral("recording"), dir.path(), f);
    if (parts.contains(QLatin1String("delete")))
        ok = ok && RunPhase(QStringLiteral("delete"), dir.path(), f);
    if (!ok)
        return 1;

    if (parts.contains(QLatin1String("filter")))
        ReportFilter(f, rounds);
    if (parts.contains(QLatin1String("menu")))
        ReportMenu(f);
    if (parts.contains(QLatin1String("recording")))
        ReportRecording(f);
    if (parts.contains(QLatin1String("delete")))
        ReportDelete(f);
    std::printf("load average at the end: %s\n", qPrintable(bench_program::LoadAverage()));
    return 0;
}

void ReportFilter(const Figures& f, int rounds)
{
    const double page = Med(f, "page.load"), floor = Med(f, "floor.load");
    std::printf("load + first show of \"All Recordings\" (median of %d fresh processes each): library page %.0f ms "
                "(%s), floor %.0f ms (%s; same light query, rows sorted once, inserted with sorting off), ratio %.2f "
                "(goal <= 1.30, %s) [load average %s]\n",
                rounds, page, qPrintable(Range(f, "page.load")), floor, qPrintable(Range(f, "floor.load")),
                page / floor, page / floor <= 1.3 ? "met" : "MISSED", qPrintable(bench_program::LoadAverage()));
    std::printf("real keystrokes in the filter box (XTEST on the benchmark's X server), each from the end of the "
                "filter's 500 ms delay to the program quiet again (filtered, laid out, painted); median over the "
                "processes of each one's median (and worst). Peers: a bare QTreeWidget filtered the plain way "
                "(text() of each cell), and one filtered lean (case-folded copies made beforehand searched, only the "
                "rows that change hidden or shown):\n");
    const double first = Med(f, "page.first");
    std::printf("  first keystroke right after the first show: library page %.1f ms (%.1f ms CPU), plain %.1f ms, "
                "lean %.1f ms, ratio to lean %.2f\n",
                first, Med(f, "page.first", 1), Med(f, "floor.first"), Med(f, "qtfloor.first"),
                first / Med(f, "qtfloor.first"));
    for (int k = 0; k < kTextCount; ++k) {
        const QString key = QStringLiteral("key%1").arg(k);
        const double ms = Med(f, "page." + key), qt = Med(f, "qtfloor." + key);
        const int rows = static_cast<int>(Med(f, "page." + key, 1));
        const bool same = rows == static_cast<int>(Med(f, "floor." + key, 1))
            && rows == static_cast<int>(Med(f, "qtfloor." + key, 1));
        std::printf("  \"%s\": library page %.1f ms (worst %.1f), plain %.1f ms (worst %.1f), lean %.1f ms "
                    "(worst %.1f), ratio to lean %.2f; %d rows visible%s\n",
                    kTexts[k], ms, Med(f, "page." + key, 2), Med(f, "floor." + key), Med(f, "floor." + key, 2), qt,
                    Med(f, "qtfloor." + key, 2), ms / qt, rows, same ? "" : " (a bare widget differs!)");
    }
    const double worst = Med(f, "page.worst"), worstQt = Med(f, "qtfloor.worst");
    std::printf("worst keystroke after the filter's delay: library page %.1f ms (%s over the processes; %.1f ms "
                "CPU), plain %.1f ms (%s), lean %.1f ms (%s), ratio to lean %.2f; goal < 100 ms, %s [load "
                "average %s]\n",
                worst, qPrintable(Range(f, "page.worst")), Med(f, "page.worst", 1), Med(f, "floor.worst"),
                qPrintable(Range(f, "floor.worst")), worstQt, qPrintable(Range(f, "qtfloor.worst")), worst / worstQt,
                worst < 100 ? "met" : "MISSED", qPrintable(bench_program::LoadAverage()));
}

void ReportMenu(const Figures& f)
{
    const double mapped = Med(f, "menu.menu_mapped"), floorMapped = Med(f, "menufloor.menu_mapped");
    const double grew = (Med(f, "menu.rss_after") - Med(f, "menu.rss_before")) / 1024;
    std::printf("real right press (XTEST) on %d selected songs whose files are missing: menu mapped by the X server "
                "after %.1f ms (%s; goal < 100 ms, %s), the program free for the next input after %.1f ms (%s); bare "
                "QTreeWidget with every row selected and a plain menu: mapped after %.1f ms, free after %.1f ms; "
                "ratio %.2f [load average "
                "%s]\n",
                static_cast<int>(Med(f, "menu.menu_selected")), mapped, qPrintable(Range(f, "menu.menu_mapped")),
                mapped < 100 ? "met" : "MISSED", Med(f, "menu.menu_free"),
                qPrintable(Range(f, "menu.menu_free")), floorMapped, Med(f, "menufloor.menu_free"),
                mapped / floorMapped, qPrintable(bench_program::LoadAverage()));
    std::printf("  %d rows marked missing (behind the open menu) after %.0f ms; resident memory %.0f MB before, "
                "%.0f MB after the menu closed (%+.1f MB, goal within 10 MB, %s)\n",
                static_cast<int>(Med(f, "menu.menu_marked", 1)), Med(f, "menu.menu_marked"),
                Med(f, "menu.rss_before") / 1024, Med(f, "menu.rss_after") / 1024, grew, grew <= 10 ? "met" : "MISSED");
}

void ReportRecording(const Figures& f)
{
    const double back = Med(f, "recording.return");
    std::printf("Recording page while recording: first loop of 28 frames %.0f ms (%.0f ms CPU); a return to the page "
                "%.1f ms (%.1f ms CPU; goal < 10 ms, %s); the loop after a return %.0f ms CPU\n",
                Med(f, "recording.first_loop"), Med(f, "recording.first_loop", 1), back, Med(f, "recording.return", 1),
                back < 10 ? "met" : "MISSED", Med(f, "recording.loop_after_return"));

}

void ReportDelete(const Figures& f)
{
    std::printf("delete %d songs: library and list done in %.0f ms (goal < 2000 ms), their files gone (on a worker) "
                "after %.0f ms; %d rows, %d records, %d files left\n",
                static_cast<int>(Med(f, "delete.delete", 2)), Med(f, "delete.delete"), Med(f, "delete.delete", 1),
                static_cast<int>(Med(f, "delete.delete", 3)), static_cast<int>(Med(f, "delete.delete", 4)),
                static_cast<int>(Med(f, "delete.delete", 5)));
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
        return FloorPhase(true);
    if (phase == QLatin1String("qtfloor"))
        return FloorPhase(false);
    if (phase == QLatin1String("menu"))
        return MenuPhase();
    if (phase == QLatin1String("menufloor"))
        return MenuFloorPhase();
    if (phase == QLatin1String("delete"))
        return DeletePhase(folder + "/songs");
    std::fprintf(stderr, "unknown phase %s\n", qPrintable(phase));
    return 2;
}
