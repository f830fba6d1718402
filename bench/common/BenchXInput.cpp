#include "BenchXInput.h"

#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {
Display* Open(const QString& name)
{
    const QByteArray local = name.toLocal8Bit();
    return XOpenDisplay(name.isEmpty() ? nullptr : local.constData());
}
} // namespace

// ---- input ----------------------------------------------------------------

struct BenchXInput::Private {
    Display* display = nullptr;
    QString error;
    KeyCode shift = 0;

    // The key of keysym and whether it needs Shift; false when none has it.
    bool KeyOf(KeySym keysym, KeyCode& code, bool& shifted) const
    {
        code = XKeysymToKeycode(display, keysym);
        if (code == 0)
            return false;
        shifted = XkbKeycodeToKeysym(display, code, 0, 0) != keysym
            && XkbKeycodeToKeysym(display, code, 0, 1) == keysym;
        return true;
    }
    bool Button(int button, bool down)
    {
        if (!display || button < 1)
            return false;
        XTestFakeButtonEvent(display, static_cast<unsigned>(button), down ? True : False, CurrentTime);
        XFlush(display);
        return true;
    }
    void Stroke(KeyCode code, bool shifted)
    {
        if (shifted)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
    }
};

BenchXInput::BenchXInput(const QString& display)
    : d(new Private)
{
    d->display = Open(display);
    if (!d->display) {
        d->error = QStringLiteral("cannot reach the X server '%1'").arg(display);
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d->display, &event, &error, &major, &minor)) {
        d->error = QStringLiteral("the X server has no XTEST extension");
        XCloseDisplay(d->display);
        d->display = nullptr;
        return;
    }
    d->shift = XKeysymToKeycode(d->display, XK_Shift_L);
}

BenchXInput::~BenchXInput()
{
    if (d->display)
        XCloseDisplay(d->display);
}

bool BenchXInput::IsOpen() const
{
    return d->display != nullptr;
}

QString BenchXInput::Error() const
{
    return d->error;
}

bool BenchXInput::MoveTo(const QPoint& global)
{
    if (!d->display)
        return false;
    XTestFakeMotionEvent(d->display, -1, global.x(), global.y(), CurrentTime);
    XFlush(d->display);
    return true;
}

bool BenchXInput::Press(int button)
{
    return d->Button(button, true);
}

bool BenchXInput::Release(int button)
{
    return d->Button(button, false);
}

bool BenchXInput::Click(int button)
{
    return Press(button) && Release(button);
}

bool BenchXInput::Type(const QString& text)
{
    if (!d->display)
        return false;
    std::vector<std::pair<KeyCode, bool>> strokes;
    for (const QChar c : text) {
        // Latin-1 characters are their own keysyms.
        if (c.unicode() < 0x20 || c.unicode() > 0xff)
            return false;
        KeyCode code = 0;
        bool shifted = false;
        if (!d->KeyOf(c.unicode(), code, shifted))
            return false;
        strokes.emplace_back(code, shifted);
    }
    for (const auto& stroke : strokes)
        d->Stroke(stroke.first, stroke.second);
    XFlush(d->display);
    return true;
}

bool BenchXInput::Key(const QString& keysymName)
{
    if (!d->display)
        return false;
    const KeySym keysym = XStringToKeysym(keysymName.toLatin1().constData());
    KeyCode code = 0;
    bool shifted = false;
    if (keysym == NoSymbol || !d->KeyOf(keysym, code, shifted))
        return false;
    d->Stroke(code, shifted);
    XFlush(d->display);
    return true;
}

void BenchXInput::Sync()
{
    if (d->display)
        XSync(d->display, False);
}

qint64 BenchXInput::NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<qint64>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// ---- mapped windows ---------------------------------------------------------

// Thread contract: the watch's thread alone uses `display` after the start;
// `maps` is written by it and read by WaitForMap's caller under `lock`;
// `stop` (a pipe) is written once by the destructor.
struct BenchMapWatch::Private {
    Display* display = nullptr;
    int stop[2] = {-1, -1};
    std::thread thread;
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::pair<qint64, quint64>> maps;   // when, which window

    void Run()
    {
        const int fd = ConnectionNumber(display);
        for (;;) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type != MapNotify)
                    continue;
                const qint64 now = BenchXInput::NowNs();
                std::lock_guard<std::mutex> guard(lock);
                maps.emplace_back(now, static_cast<quint64>(event.xmap.window));
                arrived.notify_all();
            }
            pollfd fds[2] = {{fd, POLLIN, 0}, {stop[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents)
                return;
        }
    }
};

BenchMapWatch::BenchMapWatch(const QString& display)
    : d(new Private)
{
    d->display = Open(display);
    if (!d->display || pipe(d->stop) != 0) {
        if (d->display)
            XCloseDisplay(d->display);
        d->display = nullptr;
        return;
    }
    // Top-level windows are children of the root: their mappings reach it.
    XSelectInput(d->display, DefaultRootWindow(d->display), SubstructureNotifyMask);
    XSync(d->display, False);
    d->thread = std::thread([this] { d->Run(); });
}

BenchMapWatch::~BenchMapWatch()
{
    if (d->thread.joinable()) {
        const char byte = 0;
        while (write(d->stop[1], &byte, 1) < 0) {
        }
        d->thread.join();
    }
    for (int fd : d->stop) {
        if (fd >= 0)
            close(fd);
    }
    if (d->display)
        XCloseDisplay(d->display);
}

bool BenchMapWatch::IsOpen() const
{
    return d->display != nullptr;
}

qint64 BenchMapWatch::WaitForMap(qint64 sinceNs, int timeoutMs, quint64 window)
{
    if (!d->display)
        return -1;
    std::unique_lock<std::mutex> guard(d->lock);
    qint64 found = -1;
    d->arrived.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& map : d->maps) {
            if (map.first >= sinceNs && (window == 0 || map.second == window)) {
                found = map.first;
                return true;
            }
        }
        return false;
    });
    return found;
}
