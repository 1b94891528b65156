// Tavix's windows under a real window manager: each test process starts an X
// server of its own (Xvfb, on the first free display) with a window manager
// that frames and places windows as a desktop does. TAVIX_TEST_DESKTOP names
// the window manager and the screen ("icewm:1024x600"; openbox on 1280x1024
// by default). Tavix is started on the simulated adapter, several times in a
// test: what is stored, and where the frames stand on the X server, must be
// what the user left, whole on the work area.
#include "support/ProgramFixture.h"

#include "platform/IniFile.h"
#include "platform/ScreenFit_qt.h"
#include "platform/WindowTracker_qt.h"
#include "sim/AdapterWindow_qt.h"
#include "video/Kamera_qt.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << "x" << s.height();
}
void PrintTo(const QPoint& p, std::ostream* os) {
    *os << p.x() << "," << p.y();
}

namespace {

using Clock = std::chrono::steady_clock;
// Generous: a loaded machine may be slow to start a server or map a window.
constexpr int kWaitMs = 20000;
// Between the frames of the adapter window and the main window.
constexpr int kGap = 8;

// A child process with its output discarded; extraFd stays open in it, and
// `env` is added to its environment.
pid_t spawn(const std::vector<std::string>& args, int extraFd = -1,
            const std::vector<std::pair<std::string, std::string>>& env = {}) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        if (extraFd >= 0) fcntl(extraFd, F_SETFD, 0);
        for (const auto& [name, value] : env)
            setenv(name.c_str(), value.c_str(), 1);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// The window manager and the screen size the tests run on.
struct Desktop {
    std::string wm = "openbox";
    std::string screen = "1280x1024";

    static Desktop fromEnvironment() {
        Desktop d;
        const char* e = std::getenv("TAVIX_TEST_DESKTOP");
        const std::string v = e != nullptr ? e : "";
        const std::size_t colon = v.find(':');
        if (colon != std::string::npos) {
            d.wm = v.substr(0, colon);
            d.screen = v.substr(colon + 1);
        }
        return d;
    }
    std::string name() const { return wm + "-" + screen; }
    bool hasPanel() const { return wm == "icewm"; }
    // Each with its own settings folder: no user's configuration.
    std::vector<std::string> command(const QString& program) const {
        std::vector<std::string> c{program.toStdString()};
        if (wm == "openbox") c.push_back("--sm-disable");
        return c;
    }
};

// The X server and the window manager of this process.
class XSession {
public:
    // Sets DISPLAY to the new server. False when Xvfb or the window manager
    // is not installed (`missing`) or could not be started (`failure` says
    // why).
    bool start(const Desktop& desktop) {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString wm = QStandardPaths::findExecutable(QString::fromStdString(desktop.wm));
        if (xvfb.isEmpty() || wm.isEmpty()) {
            missing = true;
            return false;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return fail("no pipe");
        server_ = spawn({xvfb.toStdString(), "-displayfd", std::to_string(fds[1]), "-nolisten",
                         "tcp", "-screen", "0", desktop.screen + "x24"},
                        fds[1]);
        close(fds[1]);
        std::string number;
        const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        while (number.empty() || number.back() != '\n') {
            pollfd p{fds[0], POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char c;
            if (read(fds[0], &c, 1) != 1) break;
            number += c;
        }
        close(fds[0]);
        if (number.empty() || number.back() != '\n') return fail("Xvfb gave no display");
        number.pop_back();
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);

        conn_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(conn_)) return fail("no connection to " + display);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_);

        // Its own settings folder: no user's configuration.
        config_ = std::make_unique<QTemporaryDir>();
        const std::string home = config_->path().toStdString();
        wm_ = spawn(desktop.command(wm), -1, {{"XDG_CONFIG_HOME", home}, {"HOME", home}});
        if (!waitForWindowManager(desktop))
            return fail(desktop.wm + " did not come up on " + display);
        return true;
    }

    ~XSession() {
        if (conn_ != nullptr) xcb_disconnect(conn_);
        stop(wm_);
        stop(server_);
    }

    // The rectangle of the window manager's frame round `w` (its outermost
    // ancestor below the root), as the X server has it; nullopt while the
    // window is not framed and viewable.
    std::optional<QRect> frameOf(WId w) {
        xcb_window_t win = static_cast<xcb_window_t>(w);
        bool reparented = false;
        for (;;) {
            xcb_query_tree_reply_t* t =
                xcb_query_tree_reply(conn_, xcb_query_tree(conn_, win), nullptr);
            if (t == nullptr) return std::nullopt;
            const xcb_window_t parent = t->parent;
            free(t);
            if (parent == root_) break;
            win = parent;
            reparented = true;
        }
        if (!reparented) return std::nullopt;
        xcb_get_window_attributes_reply_t* a =
            xcb_get_window_attributes_reply(conn_, xcb_get_window_attributes(conn_, win), nullptr);
        const bool viewable = a != nullptr && a->map_state == XCB_MAP_STATE_VIEWABLE;
        free(a);
        if (!viewable) return std::nullopt;
        xcb_get_geometry_reply_t* g =
            xcb_get_geometry_reply(conn_, xcb_get_geometry(conn_, win), nullptr);
        if (g == nullptr) return std::nullopt;
        const int b = g->border_width;
        const QRect r(g->x, g->y, g->width + 2 * b, g->height + 2 * b);
        free(g);
        return r;
    }

    // The work area the window manager gives out (_NET_WORKAREA, of the
    // first desktop); the whole screen without one.
    QRect workArea() {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            conn_,
            xcb_get_property(conn_, 0, root_, atom("_NET_WORKAREA"), XCB_ATOM_CARDINAL, 0, 4),
            nullptr);
        QRect a;
        if (r != nullptr && xcb_get_property_value_length(r) == 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
            a = QRect(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                      static_cast<int>(v[3]));
        } else {
            xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
            a = QRect(0, 0, s->width_in_pixels, s->height_in_pixels);
        }
        free(r);
        return a;
    }

    bool missing = false;
    std::string failure;
    std::string display;
    Desktop desktop;

private:
    bool fail(const std::string& why) {
        failure = why;
        return false;
    }

    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t a = r != nullptr ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(r);
        return a;
    }

    bool wmPresent(xcb_atom_t check) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, root_, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
        const bool there = r != nullptr && xcb_get_property_value_length(r) == 4;
        free(r);
        return there;
    }

    // The window manager announces itself on the root window, and a panel
    // takes its share of the work area there: wait for those properties'
    // changes, not for a time.
    bool waitForWindowManager(const Desktop& desktop) {
        const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
        xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        const QRect screen(0, 0, s->width_in_pixels, s->height_in_pixels);
        return waitForRoot(
            [&] { return wmPresent(check) && (!desktop.hasPanel() || workArea() != screen); });
    }
    bool waitForRoot(const std::function<bool()>& ready) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        while (!ready()) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(conn_))
                free(e);
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd p{xcb_get_file_descriptor(conn_), POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
        }
        return true;
    }

    pid_t server_ = -1, wm_ = -1;
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    std::unique_ptr<QTemporaryDir> config_;
};

XSession* x = nullptr;

class WindowManager : public ProgramFixture {
protected:
    void SetUp() override {
        if (x->missing) GTEST_SKIP() << "Xvfb or " << x->desktop.wm << " is not installed";
        ASSERT_TRUE(x->failure.empty()) << x->failure;
        // The program sees the work area that the window manager gives out
        // (a panel may take its share a moment after the window manager
        // announced itself).
        ASSERT_TRUE(QTest::qWaitFor(
            [] { return QGuiApplication::primaryScreen()->availableGeometry() == x->workArea(); },
            kWaitMs))
            << ::testing::PrintToString(x->workArea());
    }
    static QRect workArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // The whole screen as the user sees it, for a look at the placement.
    static void screenshot(const char* name) {
        const QString d = QStringLiteral(TAVIX_BUILD_DIR "/screenshots");
        QDir().mkpath(d);
        const QString file =
            d + QStringLiteral("/%1-%2.png")
                    .arg(QLatin1String(name), QString::fromStdString(x->desktop.name()));
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(file))
            << file.toStdString();
    }
    void TearDown() override {
        EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join('\n').toStdString();
    }

    // The window's frame once the window manager has framed it and it stands
    // still where `expected` says, as the program too has it by then, or
    // where it stands when the wait ends.
    static std::optional<QRect> frameWhenPlaced(QWidget& w, const QRect& expected) {
        return frameWhen(w,
                         [&](const QRect& f) { return f == expected && w.frameGeometry() == f; });
    }
    static std::optional<QRect> frameWhen(QWidget& w, const std::function<bool(const QRect&)>& ok) {
        std::optional<QRect> f;
        (void)QTest::qWaitFor(
            [&] {
                f = x->frameOf(w.winId());
                return f && ok(*f);
            },
            kWaitMs);
        return f;
    }

    // The video window's frame as stored at an earlier start.
    void store(const QRect& left) const {
        platform::IniFile ini(folder / "Tavix.ini");
        ini.writeInteger("Videomaske", "top", left.y());
        ini.writeInteger("Videomaske", "left", left.x());
        ini.writeInteger("Videomaske", "width", left.width());
        ini.writeInteger("Videomaske", "height", left.height());
    }
    // Opened from the menu and used; its frame once it stands where
    // expected, as the window too has it (which is what it stores), or
    // where it stands when the wait ends.
    std::optional<QRect> openVideoWindow(const std::function<bool(const QRect&)>& ok) {
        program->mainWindow->Kamera1Click();
        activateKamera();
        video::TKameraDialog& k = *program->kameraDialog;
        return frameWhen(k, [&](const QRect& f) { return ok(f) && k.Rahmen() == f; });
    }
    std::optional<QRect> openVideoWindow(const QRect& expected) {
        return openVideoWindow([&](const QRect& f) { return f == expected; });
    }

    // The frames of the main window and of the adapter window once the
    // adapter window stands still beside the main window (where
    // expectBeside() says), or where they stand when the wait ends.
    struct Frames {
        std::optional<QRect> main, adapter;
    };
    // The frames once the window stands beside the main window and stays
    // there: the window may first be placed by a guess of the main window's
    // frame and follow when the window manager has framed it, and on a busy
    // machine the guess can meet the rule for a moment.
    static Frames placedBeside(sim::AdapterWindow& w, QWidget& main) {
        Frames f;
        auto beside = [&] {
            f.main = x->frameOf(main.winId());
            f.adapter = x->frameOf(w.winId());
            return f.main && f.adapter && f.adapter == w.leftFrame() &&
                   f.adapter->topLeft() == besideAt(*f.main, f.adapter->size());
        };
        QDeadlineTimer bis(kWaitMs);
        while (QTest::qWaitFor(beside, static_cast<int>(bis.remainingTime()))) {
            const Frames vorher = f;
            QTest::qWait(300);
            if (beside() && f.main == vorher.main && f.adapter == vorher.adapter) break;
        }
        return f;
    }
    // Beside the main window, their frames kGap apart: to its right, or its
    // left where only that side has room; where neither has, at the edge of
    // the side with more. Its top at the main window's, or higher where it
    // would reach below the work area.
    static QPoint besideAt(const QRect& main, const QSize& size) {
        const QRect a = workArea();
        const int roomRight = a.right() - main.right() - kGap;
        const int roomLeft = main.left() - a.left() - kGap;
        int left = 0;
        if (size.width() <= roomRight)
            left = main.right() + 1 + kGap;
        else if (size.width() <= roomLeft)
            left = main.left() - kGap - size.width();
        else
            left = roomRight >= roomLeft ? a.right() + 1 - size.width() : a.left();
        return QPoint(left, std::min(main.top(), a.bottom() + 1 - size.height()));
    }
    static void expectBeside(const QRect& main, const QRect& frame) {
        EXPECT_EQ(frame.topLeft(), besideAt(main, frame.size()))
            << "main window " << ::testing::PrintToString(main) << ", adapter window "
            << ::testing::PrintToString(frame);
        EXPECT_TRUE(workArea().contains(frame)) << ::testing::PrintToString(frame);
        const QRect a = workArea();
        if (frame.width() <= std::max(a.right() - main.right(), main.left() - a.left()) - kGap) {
            EXPECT_FALSE(frame.intersects(main)) << "no overlap where there is room";
        }
    }

    QRect stored() const {
        platform::IniFile ini(folder / "Tavix.ini");
        return QRect(
            ini.readInteger("Videomaske", "left", 0), ini.readInteger("Videomaske", "top", 0),
            ini.readInteger("Videomaske", "width", 0), ini.readInteger("Videomaske", "height", 0));
    }
};

TEST_F(WindowManager, VideoWindowComesBackWhereAndAsLargeAsItWasLeft) {
    // Wider than the window's least width with any frame.
    const QRect a = workArea();
    const QRect left(a.left() + 60, a.top() + 20, 760, std::min(500, a.height() - 40));
    store(left);
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        tavix::TavixProgram& p = start();
        video::TKameraDialog& k = *p.kameraDialog;
        // Opened from the menu, used, and left for the main window, which
        // stores where the window stands; then closed, and once more.
        for (int oeffnen = 1; oeffnen <= 2; ++oeffnen) {
            SCOPED_TRACE(oeffnen);
            const std::optional<QRect> frame = openVideoWindow(left);
            ASSERT_TRUE(frame.has_value()) << "the window manager framed the window";
            EXPECT_EQ(*frame, left) << "the frame on the screen";
            platform::WindowTracker::instance().activate(static_cast<QWidget*>(p.mainWindow.get()));
            EXPECT_EQ(stored(), left) << "what the settings hold";
            // Back to the remote control: the window closes.
            k.FBKnopfClick();
        }
        program.reset();
    }
}

TEST_F(WindowManager, VideoWindowComesBackWholeOnTheWorkArea) {
    // Left on a larger screen, or never (the design size, centred): the
    // frame comes back whole on this screen's work area, its device boxes in
    // view, moved no further and made no smaller than it must.
    const QRect a = workArea();
    const int h = std::min(500, a.height());
    const struct {
        const char* what;
        std::optional<QRect> left;
        QRect expected;
    } cases[] = {
        {"its bottom below the work area", QRect(a.left() + 50, a.bottom() - 150, 760, h),
         QRect(a.left() + 50, a.bottom() + 1 - h, 760, h)},
        {"past the right edge", QRect(a.right() - 300, a.top() + 10, 760, h - 20),
         QRect(a.right() + 1 - 760, a.top() + 10, 760, h - 20)},
        {"larger than the work area",
         QRect(a.left() - 40, a.top() - 30, a.width() + 400, a.height() + 300), a},
        {"never left", std::nullopt, QRect(0, 0, 725, 562)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.left)
            store(*c.left);
        else
            platform::IniFile(folder / "Tavix.ini").deleteKey("Videomaske", "top");
        start();
        const std::optional<QRect> frame =
            c.left ? openVideoWindow(c.expected) : openVideoWindow([&](const QRect& f) {
                return f.size() == c.expected.size() && a.contains(f);
            });
        ASSERT_TRUE(frame.has_value()) << "the window manager framed the window";
        EXPECT_TRUE(a.contains(*frame)) << ::testing::PrintToString(*frame);
        if (c.left) {
            EXPECT_EQ(*frame, c.expected);
        } else {
            EXPECT_EQ(frame->size(), c.expected.size()) << "the design size fits";
            EXPECT_LE((frame->center() - a.center()).manhattanLength(), 2) << "centred";
        }
        if (!c.left) screenshot("video-window-first-start");
        program.reset();
    }
}

TEST_F(WindowManager, AdapterWindowStandsBesideTheMainWindowAndComesBackWhereItWasLeft) {
    const QRect a = workArea();
    std::optional<QRect> left;
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        tavix::TavixProgram& p = start();
        ASSERT_NE(p.adapterWindow, nullptr);
        sim::AdapterWindow& w = *p.adapterWindow;
        if (!left) {
            // The first time beside the main window, whole on the work area.
            const auto [main, frame] = placedBeside(w, *p.mainWindow);
            screenshot("adapter-window-first-start");
            ASSERT_TRUE(main && frame) << "the window manager framed both";
            expectBeside(*main, *frame);
            // The main window at the right edge: the window goes to its left.
            const QRect rechts(a.right() + 1 - 20 - main->width(), main->top(), main->width(),
                               main->height());
            ASSERT_LE(frame->width(), rechts.left() - a.left() - kGap) << "room on the left";
            p.mainWindow->move(rechts.topLeft());
            ASSERT_EQ(frameWhenPlaced(*p.mainWindow, rechts), rechts);
            w.showBeside(*p.mainWindow);
            const auto [main2, frame2] = placedBeside(w, *p.mainWindow);
            ASSERT_TRUE(main2 && frame2);
            expectBeside(*main2, *frame2);
            EXPECT_EQ(frame2->right(), rechts.left() - 1 - kGap);
            // Moved and made larger by its user, then closed.
            left = QRect(a.left() + 20, a.top() + 10, frame->width() + 60, frame->height() + 30);
            ASSERT_TRUE(a.contains(*left)) << "the screen has room to enlarge the window";
            w.move(left->topLeft());
            w.resize(w.size() + QSize(60, 30));
        }
        // Also as the window has it, which is what is stored.
        const std::optional<QRect> frame =
            frameWhen(w, [&](const QRect& f) { return f == *left && w.leftFrame() == f; });
        ASSERT_TRUE(frame.has_value()) << "the window manager framed the window";
        EXPECT_EQ(*frame, *left) << "the frame on the screen";
        EXPECT_EQ(w.leftFrame(), *left);
        w.close();
        program.reset();
    }
}

TEST_F(WindowManager, AdapterWindowListsEveryRecordedSegmentScrolling) {
    tavix::TavixProgram& p = start();
    sim::AdapterWindow& w = *p.adapterWindow;
    const std::optional<QRect> before = placedBeside(w, *p.mainWindow).adapter;
    ASSERT_TRUE(before.has_value());
    // A long run: 40 segments, the camcorder playing in every other.
    sim::TapeTransport& rec = devices->recorder->transport();
    sim::TapeTransport& cam = devices->camcorder->transport();
    rec.setMode(sim::TapeTransport::Mode::Record);
    for (int i = 0; i < 40; ++i) {
        cam.setMode(i % 2 == 0 ? sim::TapeTransport::Mode::Play : sim::TapeTransport::Mode::Stop);
        clock.advanceMs(200);
        adapter().sync();
    }
    rec.setMode(sim::TapeTransport::Mode::Stop);
    clock.advanceMs(100);
    adapter().sync();
    w.refresh();
    ASSERT_EQ(devices->recorder->contentMap().size(), 40u);
    const QStringList lines = w.recorderLabel->text().split('\n');
    EXPECT_EQ(lines.size(), 40) << "every segment, the first one too";
    EXPECT_EQ(lines.filter(QStringLiteral("camcorder")).size(), 40);
    // The window keeps its size; the map scrolls, at its end (the newest
    // segments) until the user scrolls back.
    QScrollBar* bar = w.recorderMap->verticalScrollBar();
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0; }, kWaitMs));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(QTest::qWaitFor([&] { return x->frameOf(w.winId()) == before; }, kWaitMs))
        << "now " << ::testing::PrintToString(x->frameOf(w.winId()))
        << ", placed " << ::testing::PrintToString(before);
    // Enlarged, it shows more of them.
    const int view = w.recorderMap->viewport()->height();
    w.move(workArea().topLeft());
    w.resize(w.width(), w.height() + 40);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w.recorderMap->viewport()->height() == view + 40; }, kWaitMs));
    screenshot("adapter-window-long-run");
    // Scrolled back by the user, it stays there as the run goes on.
    bar->setValue(0);
    const int range = bar->maximum();
    cam.setMode(sim::TapeTransport::Mode::Play);
    rec.setMode(sim::TapeTransport::Mode::Record);
    clock.advanceMs(200);
    adapter().sync();
    w.refresh();
    EXPECT_EQ(w.recorderLabel->text().split('\n').size(), 41);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > range; }, kWaitMs));
    EXPECT_EQ(bar->value(), 0);
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    XSession session;
    x = &session;
    session.desktop = Desktop::fromEnvironment();
    if (session.start(session.desktop))
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    else
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int rc = 0;
    {
        QApplication app(argc, argv);
        rc = RUN_ALL_TESTS();
    }
    x = nullptr;
    return rc;
}
