// Settings-file figures: the time of one read of a key from a settings file
// of the usual size, once the file has stood unchanged for a while and right
// after a write, and the time of one write (also without its flushes to
// disk, to show what the flushes cost).
#include "platform/AtomicSave.h"
#include "platform/IniFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double usSince(Clock::time_point t0, int n) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / n;
}

// Six sections of eight keys, about the size of a program's settings file.
void fill(platform::IniFile& ini) {
    platform::IniBatch batch(ini);
    for (int s = 0; s < 6; ++s)
        for (int k = 0; k < 8; ++k)
            batch.writeString("Abschnitt" + std::to_string(s), "Schluessel" + std::to_string(k),
                              "Wert " + std::to_string(s * 100 + k));
    batch.commit();
}

double readUs(const platform::IniFile& ini, int n) {
    std::size_t sum = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        sum += ini.readString("Abschnitt5", "Schluessel7", "").size();
    const double us = usSince(t0, n);
    if (sum == 0) std::puts("no value read");
    return us;
}

double writeUs(platform::IniFile& ini, int n) {
    const auto t0 = Clock::now();
    for (int i = 0; i < n; ++i)
        ini.writeInteger("Abschnitt3", "Zaehler", i);
    return usSince(t0, n);
}

int noSync(int) {
    return 0;
}

} // namespace

int main() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "settings_bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const std::filesystem::path folder = pattern;
    platform::IniFile ini(folder / "Tavix.ini");
    fill(ini);

    std::printf("settings write: %.1f us\n", writeUs(ini, 200));
    std::printf("settings read after a write: %.2f us\n", readUs(ini, 2000));
    platform::saveCalls().fsync = noSync;
    std::printf("settings write without flushes: %.1f us\n", writeUs(ini, 2000));
    platform::saveCalls() = platform::plainSaveCalls();
    // A file that has not changed for a few seconds, as at a program's start.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    std::printf("settings read of an unchanged file: %.2f us\n", readUs(ini, 20000));

    std::filesystem::remove_all(folder);
    return 0;
}
