// The Qt layer the forms stand on: active-window reports, scripted prompts,
// the handler guard, the modal runner and the code-page edge.
#include "platform/AppFolders.h"
#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/ModalRunner_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/WindowTracker_qt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

using platform::Answer;
using platform::PromptKind;
using platform::WindowTracker;

namespace {

struct Log {
    std::vector<std::string> events;
    void add(const std::string& e) { events.push_back(e); }
};

class PlatformLayer : public ::testing::Test {
protected:
    PlatformLayer() {
        WindowTracker::instance().setFollowFocus(false);
        prompts.onUnexpected = [this](const QString& d) { unexpected.push_back(d); };
        platform::setPrompts(&prompts);
        WindowTracker::instance().registerWindow(
            &a, [this] { log.add("A+"); }, [this] { log.add("A-"); });
        WindowTracker::instance().registerWindow(
            &b, [this] { log.add("B+"); }, [this] { log.add("B-"); });
    }
    ~PlatformLayer() override {
        WindowTracker::instance().unregisterWindow(&a);
        WindowTracker::instance().unregisterWindow(&b);
        platform::setPrompts(nullptr);
        platform::clearModalScripts();
    }
    int a = 0, b = 0;
    Log log;
    platform::ScriptedPrompts prompts;
    std::vector<QString> unexpected;
};

} // namespace

TEST_F(PlatformLayer, ActivationIsReportedOnlyBetweenOwnWindows) {
    auto& t = WindowTracker::instance();
    t.activate(&a);
    t.activate(&a);
    t.activate(&b);
    t.activate(nullptr); // another program
    t.activate(&b);      // and back
    t.activate(&a);
    EXPECT_EQ(log.events, (std::vector<std::string>{"A+", "A-", "B+", "B-", "A+"}));

    // A box over A: A is deactivated and activated again, also when the box
    // comes up inside A's own activation.
    log.events.clear();
    prompts.expectMessage("eins").expectYesNo("zwei", true);
    platform::prompts().message("eins");
    EXPECT_TRUE(platform::prompts().yesNo("zwei"));
    EXPECT_EQ(log.events, (std::vector<std::string>{"A-", "A+", "A-", "A+"}));
    t.unregisterWindow(&b);
    t.activate(&b); // an unknown window: A goes, nothing comes
    EXPECT_EQ(log.events.back(), "A-");
}

TEST_F(PlatformLayer, ScriptedPromptsAnswerInOrderAndReportStrangers) {
    prompts.expect(PromptKind::YesNoCancel, "sichern?", Answer::Cancel)
        .expect(PromptKind::Save, "F (*.cdx)", Answer::Ok, QString("/tmp/name"))
        .expect(PromptKind::Save, "", Answer::Ok, QString("/tmp/name.txt"))
        .expect(PromptKind::Input, "Zahl", Answer::Ok, QString("42"));
    EXPECT_EQ(platform::prompts().yesNoCancel("sichern?"), Answer::Cancel);
    platform::FileDialogOptions o;
    o.filter = "F (*.cdx)";
    o.defaultSuffix = "cdx";
    EXPECT_EQ(platform::prompts().saveFile(o), QString("/tmp/name.cdx"));
    EXPECT_EQ(platform::prompts().saveFile(o), QString("/tmp/name.txt"));
    EXPECT_EQ(platform::prompts().inputQuery("T", "Zahl", ""), QString("42"));
    EXPECT_TRUE(unexpected.empty());

    // Not expected: reported, and answered with the safe choice.
    EXPECT_FALSE(platform::prompts().yesNo("löschen?"));
    EXPECT_EQ(platform::prompts().openFile(o), std::nullopt);
    ASSERT_EQ(unexpected.size(), 2u);
    EXPECT_TRUE(unexpected[0].contains("löschen?"));
    EXPECT_EQ(prompts.shown().size(), 6u);
}

TEST_F(PlatformLayer, GuardShowsTheErrorEndsTheHandlerAndRestores) {
    bool restored = false;
    bool after = false;
    prompts.expectError("Bereichsfehler: Tabelle[9]")
        .expectError("Gr\u00f6\u00dfe")
        .expectError("Unbekannter Fehler");
    platform::guarded([&] {
        platform::ScopeExit back([&] { restored = true; });
        int t[3] = {};
        tabelle(t, 9) = 1;
        after = true;
    });
    EXPECT_TRUE(restored);
    EXPECT_FALSE(after);
    // Messages of the engine are Windows-1252 bytes.
    platform::guarded([] {
        throw EInOutError("Gr\xF6\xDF"
                          "e");
    });
    platform::guarded([] { throw 5; });
    EXPECT_TRUE(unexpected.empty());
}

TEST_F(PlatformLayer, ModalRunnerPlaysScriptsOverTheActiveWindow) {
    WindowTracker::instance().activate(&a);
    log.events.clear();
    QDialog d;
    auto* edit = new QLineEdit(&d);
    platform::queueModalScript([&](QDialog& dlg) {
        log.add("script");
        edit->setText("eingegeben");
        return static_cast<int>(dlg.isModal() ? QDialog::Rejected : QDialog::Accepted);
    });
    EXPECT_EQ(platform::runModal(d), QDialog::Accepted);
    EXPECT_EQ(edit->text(), "eingegeben");
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(log.events, (std::vector<std::string>{"A-", "script", "A+"}));
    EXPECT_EQ(platform::pendingModalScripts(), 0u);
}

TEST_F(PlatformLayer, AWindowKeptUsableTakesClicksUnderNestedModalDialogs) {
    // A window that stands for a device (the simulated adapter's) takes
    // clicks while dialogs run modally one over another; every other window
    // stays blocked, and afterwards the window is on its own again.
    int klicks = 0, andere = 0;
    QWidget geraet(nullptr, Qt::Window);
    auto* knopf = new QPushButton(QStringLiteral("Taste"), &geraet);
    QObject::connect(knopf, &QPushButton::clicked, [&] { ++klicks; });
    QWidget fenster(nullptr, Qt::Window);
    auto* anderer = new QPushButton(QStringLiteral("anderer"), &fenster);
    QObject::connect(anderer, &QPushButton::clicked, [&] { ++andere; });
    geraet.show();
    fenster.show();
    platform::keepUsableUnderModals(geraet);
    // Clicks as the window system delivers them, so that blocking applies.
    auto klick = [](QPushButton* k) {
        QWidget* w = k->window();
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, k->mapTo(w, k->rect().center()));
    };
    QDialog aussen, innen;
    QTimer::singleShot(0, [&] {
        klick(knopf);
        QTimer::singleShot(0, [&] {
            klick(knopf);
            klick(anderer);
            innen.accept();
        });
        platform::runModal(innen);
        klick(knopf);
        aussen.accept();
    });
    EXPECT_EQ(platform::runModal(aussen), QDialog::Accepted);
    EXPECT_EQ(klicks, 3);
    EXPECT_EQ(andere, 0);
    EXPECT_EQ(geraet.windowHandle()->transientParent(), nullptr);
    EXPECT_EQ(aussen.windowModality(), Qt::NonModal);
}

TEST_F(PlatformLayer, QtBoxesShowTheirButtonsAndOpenDialogsTheirMode) {
    platform::setPrompts(nullptr);
    // Answers the box or dialog that comes up next and notes what it showed.
    QMessageBox::StandardButtons knoepfe;
    QFileDialog::FileMode modus = QFileDialog::AnyFile;
    auto antworte = [&](QMessageBox::StandardButton knopf) {
        QTimer::singleShot(0, [&, knopf] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                knoepfe = box->standardButtons();
                box->button(knopf)->click();
            } else if (auto* d = qobject_cast<QFileDialog*>(w)) {
                modus = d->fileMode();
                d->reject();
            } else if (w != nullptr) {
                w->close();
            }
        });
    };
    antworte(QMessageBox::Ok);
    EXPECT_TRUE(platform::prompts().okNo("weiter?"));
    EXPECT_EQ(knoepfe, QMessageBox::No | QMessageBox::Ok);
    antworte(QMessageBox::No);
    EXPECT_FALSE(platform::prompts().okNo("weiter?"));

    platform::FileDialogOptions o;
    o.mustExist = true;
    antworte(QMessageBox::Cancel);
    EXPECT_EQ(platform::prompts().openFile(o), std::nullopt);
    EXPECT_EQ(modus, QFileDialog::ExistingFile);
    o.mustExist = false;
    antworte(QMessageBox::Cancel);
    platform::prompts().openFile(o);
    EXPECT_EQ(modus, QFileDialog::AnyFile);
    platform::setPrompts(&prompts);
}

TEST(CodepageQt, WindowsBytesAndQtStringsRoundTrip) {
    const std::string bytes = "Gr\xF6\xDF"
                              "e \x80 \x84x\x93";
    const QString text = platform::fromCp1252(bytes);
    EXPECT_EQ(text, QString::fromUtf8("Größe € „x“"));
    EXPECT_EQ(platform::toCp1252(text), bytes);
    EXPECT_EQ(platform::toCp1252(QString::fromUtf8("日本")), "??");
}

// A program started without HOME keeps its files in the user's home folder
// as the user database names it, not in the current folder.
TEST(AppFolders, WithoutHomeTheUserDatabaseNamesTheHome) {
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    const std::filesystem::path home = pw->pw_dir;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
    for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const char* alt = std::getenv(v);
        saved.emplace_back(v, alt ? std::optional<std::string>(alt) : std::nullopt);
        ::unsetenv(v);
    }
    platform::ScopeExit back([&] {
        for (const auto& [v, alt] : saved)
            if (alt) ::setenv(v, alt->c_str(), 1);
    });
    EXPECT_EQ(platform::configFolder(), home / ".config" / "tavix");
    EXPECT_EQ(platform::dataFolder(), home / ".local" / "share" / "tavix");
    EXPECT_EQ(platform::dialogFolder({}), home);
    ::setenv("HOME", "", 1);
    EXPECT_EQ(platform::configFolder(), home / ".config" / "tavix");
}
