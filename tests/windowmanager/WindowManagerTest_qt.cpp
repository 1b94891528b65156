// Tavix's windows under a real window manager: each test process starts an X
// server of its own (Xvfb, on the first free display) with openbox, which
// frames and places windows as a desktop does. Tavix is started three times
// on the simulated adapter: the video window is opened, left and closed
// twice at each start, the adapter window is moved and enlarged at the first
// and closed at each. What is stored, and where the frames stand on the X
// server, must be what the user left.
#include "support/ProgramFixture.h"

#include "platform/IniFile.h"
#include "platform/ScreenFit_qt.h"
#include "platform/WindowTracker_qt.h"
#include "sim/AdapterWindow_qt.h"
#include "video/Kamera_qt.h"

#include <QApplication>
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

namespace {

using Clock = std::chrono::steady_clock;
// Generous: a loaded machine may be slow to start a server or map a window.
constexpr int kWaitMs = 20000;

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

// The X server and the window manager of this process.
class XSession {
public:
    // Sets DISPLAY to the new server. False when Xvfb or openbox is not
    // installed (`missing`) or could not be started (`failure` says why).
    bool start() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfb.isEmpty() || openbox.isEmpty()) {
            missing = true;
            return false;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return fail("no pipe");
        server_ = spawn({xvfb.toStdString(), "-displayfd", std::to_string(fds[1]), "-nolisten",
                         "tcp", "-screen", "0", "1280x1024x24"},
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

        // Its own settings folder: no user's openbox configuration.
        config_ = std::make_unique<QTemporaryDir>();
        wm_ = spawn({openbox.toStdString(), "--sm-disable"}, -1,
                    {{"XDG_CONFIG_HOME", config_->path().toStdString()}});
        if (!waitForWindowManager()) return fail("openbox did not come up on " + display);
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

    bool missing = false;
    std::string failure;
    std::string display;

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

    // The window manager announces itself on the root window; wait for that
    // property's change, not for a time.
    bool waitForWindowManager() {
        const xcb_atom_t check = atom("_NET_SUPPORTING_WM_CHECK");
        const auto deadline = Clock::now() + std::chrono::milliseconds(kWaitMs);
        while (!wmPresent(check)) {
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
        if (x->missing) GTEST_SKIP() << "Xvfb or openbox is not installed";
        ASSERT_TRUE(x->failure.empty()) << x->failure;
    }
    void TearDown() override {
        EXPECT_TRUE(unexpected.isEmpty()) << unexpected.join('\n').toStdString();
    }

    // The window's frame once the window manager has framed it and it stands
    // still where `expected` says, or where it stands when the wait ends.
    static std::optional<QRect> frameWhenPlaced(QWidget& w, const QRect& expected) {
        return frameWhen(w, [&](const QRect& f) { return f == expected; });
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
    static std::optional<QRect> frameWhenFramed(QWidget& w) {
        return frameWhen(w, [](const QRect&) { return true; });
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
    const QRect left(100, 230, 760, 500);
    {
        platform::IniFile ini(folder / "Tavix.ini");
        ini.writeInteger("Videomaske", "top", left.y());
        ini.writeInteger("Videomaske", "left", left.x());
        ini.writeInteger("Videomaske", "width", left.width());
        ini.writeInteger("Videomaske", "height", left.height());
    }
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        tavix::TavixProgram& p = start();
        video::TKameraDialog& k = *p.kameraDialog;
        // Opened from the menu, used, and left for the main window, which
        // stores where the window stands; then closed, and once more.
        for (int oeffnen = 1; oeffnen <= 2; ++oeffnen) {
            SCOPED_TRACE(oeffnen);
            p.mainWindow->Kamera1Click();
            platform::WindowTracker::instance().activate(static_cast<QWidget*>(&k));
            const std::optional<QRect> frame = frameWhenPlaced(k, left);
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

TEST_F(WindowManager, AdapterWindowComesBackWhereAndAsLargeAsItWasLeft) {
    std::optional<QRect> left;
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        tavix::TavixProgram& p = start();
        ASSERT_NE(p.adapterWindow, nullptr);
        sim::AdapterWindow& w = *p.adapterWindow;
        if (!left) {
            // The first time beside the main window, whole on the screen.
            const std::optional<QRect> main = frameWhenFramed(*p.mainWindow);
            // Where the window put itself (no smaller than it can be): it
            // stands still there once the window manager has framed it.
            const std::optional<QRect> frame =
                frameWhen(w, [&](const QRect& f) { return f == w.leftFrame(); });
            ASSERT_TRUE(main && frame) << "the window manager framed both";
            EXPECT_GT(frame->left(), main->right()) << "beside the main window";
            EXPECT_EQ(frame->top(), main->top());
            EXPECT_TRUE(platform::availableScreenArea().contains(*frame))
                << ::testing::PrintToString(*frame);
            // Moved and made larger by its user, then closed.
            left = QRect(frame->left() + 40, frame->top() + 300, frame->width() + 60,
                         frame->height() + 30);
            w.move(left->topLeft());
            w.resize(w.size() + QSize(60, 30));
        }
        const std::optional<QRect> frame = frameWhenPlaced(w, *left);
        ASSERT_TRUE(frame.has_value()) << "the window manager framed the window";
        EXPECT_EQ(*frame, *left) << "the frame on the screen";
        w.close();
        program.reset();
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    XSession session;
    x = &session;
    if (session.start())
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
