#pragma once
// Shows forms modally. Tests install a script that plays the user's part in
// the dialog and returns its result; the real runner runs the dialog's own
// loop. Either way the window under it is deactivated and activated again.

#include <QDialog>

#include <deque>
#include <functional>

namespace platform {

using ModalScript = std::function<int(QDialog&)>;

// Runs the dialog modally and returns its result (QDialog::Accepted ...).
int runModal(QDialog& dialog);

// A window that stands for a device keeps taking input while dialogs run
// modally (each in turn makes it its transient child); other windows stay
// blocked. For the window's lifetime.
void keepUsableUnderModals(QWidget& window);

// While a script is queued, the next runModal plays it instead of exec().
void queueModalScript(ModalScript script);
void clearModalScripts();
std::size_t pendingModalScripts();

} // namespace platform
