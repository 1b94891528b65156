// Start-up and key-file figures of Tavix:
//   the time from process start to the main window shown with the default
//   key file (a child process of this benchmark, on the offscreen platform),
//   and the time to write and to read a key file of 900 keys with 200
//   durations each.
#include "desk/IR_qt.h"
#include "desk/IrSendLink.h"
#include "engine/Debug.h"
#include "platform/IniFile.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "platform/WindowTracker_qt.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

void completeSettings(const std::filesystem::path& folder) {
    platform::IniFile ini(folder / "Tavix.ini");
    ini.writeInteger("Einstellungen", "Sprache", 1);
    ini.writeInteger("Einstellungen", "IR_Einheit", 0);
    ini.writeInteger("Schnittstelle", "Com_Nr", 1);
    ini.writeInteger("Timing", "Anfragen_Sec", 700000);
}

// The child: start the main window in folder and print the monotonic time at
// which it was shown.
int child(const char* folder) {
    int argc = 1;
    char name[] = "Tavix";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    platform::ScriptedPrompts prompts; // any prompt would be a fault here
    platform::setPrompts(&prompts);
    desk::TIRFormOptions o;
    o.programFile = std::filesystem::path(folder) / "Tavix";
    desk::TIRForm form(std::move(o));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 2;
    std::printf("%lld %zu\n", static_cast<long long>(monotonicNs()), prompts.shown().size());
    return 0;
}

double startUpMs(const char* self) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    completeSettings(folder);
    int fds[2];
    if (pipe(fds) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    std::string f = folder.string();
    char childArg[] = "--child";
    char* argv[] = {const_cast<char*>(self), childArg, f.data(), nullptr};
    pid_t pid = 0;
    const std::int64_t t0 = monotonicNs();
    const int rc = posix_spawn(&pid, self, &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    if (rc != 0) return -1;
    char buf[128] = {};
    std::string out;
    ssize_t n = 0;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long shown = 0;
    std::size_t prompts = 0;
    if (std::sscanf(out.c_str(), "%lld %zu", &shown, &prompts) != 2 || prompts != 0) return -1;
    return static_cast<double>(shown - t0) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return child(argv[2]);

    std::vector<double> starts;
    for (int i = 0; i < 5; ++i)
        starts.push_back(startUpMs("/proc/self/exe"));
    std::printf("tavix_start_to_window_shown: %.1f ms\n", median(starts));

    QApplication app(argc, argv);
    platform::ScriptedPrompts prompts;
    platform::setPrompts(&prompts);
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    completeSettings(folder);
    desk::TIRFormOptions o;
    o.programFile = folder / "Tavix";
    desk::TIRForm form(std::move(o));
    // A window for the whole 30 x 30 grid, every key with 200 durations.
    form.setBounds({0, 0, 1240, 1240});
    form.Knopfbreite = form.Knopfhoehe = 40;
    form.Lernen1->setChecked(true);
    form.Tasten_Aufbau();
    for (int c = 1; c <= 30; ++c)
        for (int r = 1; r <= 30; ++r) {
            desk::TButtonx* k = form.Taste(c * 100 + r);
            form.Setze_Beschriftung(c * 100 + r, QStringLiteral("Taste %1").arg(c * 100 + r));
            k->IR_Code = "A5 0F";
            k->Befehl[0] = 1;
            for (int i = 1; i <= 200; ++i)
                k->Befehl[static_cast<std::size_t>(i)] = 500 + i;
        }
    const std::string name = (folder / "gross.cdx").string();
    std::vector<double> writes, reads;
    for (int i = 0; i < 7; ++i) {
        std::int64_t t = monotonicNs();
        form.Schreibe_Fernsteuerdatei(name);
        writes.push_back(static_cast<double>(monotonicNs() - t) / 1e6);
        t = monotonicNs();
        form.Lies_Fernsteuerdatei(name);
        reads.push_back(static_cast<double>(monotonicNs() - t) / 1e6);
    }
    std::printf("key_file_900x200_bytes: %lld bytes\n",
                static_cast<long long>(std::filesystem::file_size(name)));
    std::printf("key_file_900x200_write: %.1f ms\n", median(writes));
    std::printf("key_file_900x200_read: %.1f ms\n", median(reads));
    return prompts.shown().empty() ? 0 : 1;
}
