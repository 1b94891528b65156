#pragma once
// The main window with its learn dialog on the simulated adapter (virtual
// clock), the IR detector with a scripted remote on channel 3, scripted
// prompts and modal scripts. The dialog's pending-message runs do nothing.

#include "desk/KeyFile.h"
#include "desk/Lernen_qt.h"
#include "sim/IrDetector.h"
#include "sim/IrRemote.h"
#include "sim/IrSender.h"
#include "support/DeskFixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <memory>
#include <string>
#include <vector>

class LernenFixture : public DeskFixture {
protected:
    void SetUp() override {
        writeCompleteSettings(100);
        makeForm();
        dialog = std::make_unique<desk::TLernenForm>(form->IniDatei.get());
        dialog->ProcessMessages = [] {};
        form->LerneKnopf = [this](desk::TButtonx& k) { desk::Taste_lernen(*form, *dialog, k); };
        activate();
        Dbg_disp::Debug_An = false; // the capture's trace is long
        detector = sim::attachIrDetector(sim, {}, false);
    }
    void TearDown() override {
        platform::clearModalScripts();
        dialog.reset();
    }

    // The dialog as the user sees it: activated over the main window, as the
    // modal runner does.
    struct Aktiv {
        explicit Aktiv(desk::TLernenForm& d) : scope(static_cast<QWidget*>(&d)) {}
        platform::WindowTracker::ModalScope scope;
    };

    static std::vector<std::int32_t> liste(const Sio::TBefehl& b, bool withEntry0 = true) {
        std::vector<std::int32_t> v;
        if (withEntry0) v.push_back(b[0]);
        for (std::size_t i = 1; i < b.size() && b[i] != 0; ++i)
            v.push_back(b[i]);
        return v;
    }
    static QStringList items(const QListWidget* box) {
        QStringList l;
        for (int i = 0; i < box->count(); ++i)
            l << box->item(i)->text();
        return l;
    }
    static std::string ticks(const QListWidget* box) {
        std::string s;
        for (int i = 0; i < box->count(); ++i)
            s += box->item(i)->checkState() == Qt::Checked ? '1' : '0';
        return s;
    }

    std::unique_ptr<desk::TLernenForm> dialog;
    std::shared_ptr<sim::IrDetectorDevice> detector;
};
