#include "platform/Prompts_qt.h"

#include "platform/WindowTracker_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTranslator>

namespace platform {

namespace {
QtPrompts qtPrompts;
Prompts* current = nullptr;
QString boxTitle;

QString lines(QString t) {
    return t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QWidget* owner() {
    return QApplication::activeWindow();
}

QMessageBox::StandardButton runBox(QMessageBox::Icon icon, const QString& text,
                                   QMessageBox::StandardButtons buttons,
                                   QMessageBox::StandardButton def) {
    QMessageBox box(icon, promptTitle(), lines(text), buttons, owner());
    box.setDefaultButton(def);
    WindowTracker::ModalScope scope(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void setPrompts(Prompts* p) {
    current = p;
}

void setPromptTitle(const QString& title) {
    boxTitle = title;
}

bool installQtTranslation(QTranslator& translator, const QString& language) {
    if (!translator.load(QStringLiteral("qtbase_") + language,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QString promptTitle() {
    return boxTitle.isEmpty() ? QApplication::applicationName() : boxTitle;
}
Prompts& prompts() {
    return current ? *current : static_cast<Prompts&>(qtPrompts);
}

QString promptKindName(PromptKind k) {
    switch (k) {
    case PromptKind::Message:
        return QStringLiteral("message");
    case PromptKind::Error:
        return QStringLiteral("error");
    case PromptKind::YesNo:
        return QStringLiteral("yes/no");
    case PromptKind::YesNoCancel:
        return QStringLiteral("yes/no/cancel");
    case PromptKind::Open:
        return QStringLiteral("open dialog");
    case PromptKind::Save:
        return QStringLiteral("save dialog");
    case PromptKind::Print:
        return QStringLiteral("print dialog");
    case PromptKind::Input:
        return QStringLiteral("input query");
    case PromptKind::OkNo:
        return QStringLiteral("ok/no");
    }
    return {};
}

// ---- Qt dialogs ----

void QtPrompts::message(const QString& text) {
    runBox(QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::error(const QString& text) {
    runBox(QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompts::yesNo(const QString& text) {
    return runBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                  QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtPrompts::okNo(const QString& text) {
    return runBox(QMessageBox::Warning, text, QMessageBox::No | QMessageBox::Ok, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

Answer QtPrompts::yesNoCancel(const QString& text) {
    switch (runBox(QMessageBox::Question, text,
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

std::optional<QString> QtPrompts::openFile(const FileDialogOptions& o) {
    QFileDialog d(owner(), QString(), o.initialDir, o.filter);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    // Unless told otherwise, a name of a file that does not exist yet is
    // accepted (it is created).
    d.setFileMode(o.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    d.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!o.fileName.isEmpty()) d.selectFile(o.fileName);
    WindowTracker::ModalScope scope(&d);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().front();
}

std::optional<QString> QtPrompts::saveFile(const FileDialogOptions& o) {
    QFileDialog d(owner(), QString(), o.initialDir, o.filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setOption(QFileDialog::DontConfirmOverwrite, !o.overwritePrompt);
    if (!o.fileName.isEmpty()) d.selectFile(o.fileName);
    WindowTracker::ModalScope scope(&d);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    QString name = d.selectedFiles().front();
    // The suffix only for a name without an extension of its own.
    if (!o.defaultSuffix.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + o.defaultSuffix;
    return name;
}

bool QtPrompts::print(QPrinter* printer) {
    QPrintDialog d(printer, owner());
    WindowTracker::ModalScope scope(&d);
    return d.exec() == QDialog::Accepted;
}

std::optional<QString> QtPrompts::inputQuery(const QString& caption, const QString& prompt,
                                             const QString& value) {
    QInputDialog d(owner());
    d.setWindowTitle(caption);
    d.setLabelText(lines(prompt));
    d.setTextValue(value);
    WindowTracker::ModalScope scope(&d);
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return d.textValue();
}

// ---- scripted ----

ScriptedPrompts::ScriptedPrompts() = default;
ScriptedPrompts::~ScriptedPrompts() = default;

ScriptedPrompts& ScriptedPrompts::expect(PromptKind kind, const QString& text, Answer answer,
                                         std::optional<QString> value) {
    Expected e{kind, text, answer, value.has_value(), value.value_or(QString())};
    queue_.push_back(std::move(e));
    return *this;
}

bool ScriptedPrompts::take(PromptKind kind, const QString& text, Expected& e,
                           const FileDialogOptions& dialog) {
    shown_.push_back(Shown{kind, text, dialog});
    if (onShown) onShown(shown_.back());
    const bool fileDialog =
        kind == PromptKind::Open || kind == PromptKind::Save || kind == PromptKind::Print;
    if (!queue_.empty() && queue_.front().kind == kind &&
        (queue_.front().text == text || (fileDialog && queue_.front().text.isEmpty()))) {
        e = queue_.front();
        queue_.pop_front();
        return true;
    }
    QString d = QStringLiteral("unexpected %1: \"%2\"").arg(promptKindName(kind), text);
    if (!queue_.empty())
        d += QStringLiteral(" (expected %1: \"%2\")")
                 .arg(promptKindName(queue_.front().kind), queue_.front().text);
    failures_.push_back(d);
    if (onUnexpected) onUnexpected(d);
    return false;
}

void ScriptedPrompts::message(const QString& text) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    take(PromptKind::Message, text, e);
}

void ScriptedPrompts::error(const QString& text) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    take(PromptKind::Error, text, e);
}

bool ScriptedPrompts::yesNo(const QString& text) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    return take(PromptKind::YesNo, text, e) && e.answer == Answer::Yes;
}

bool ScriptedPrompts::okNo(const QString& text) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    return take(PromptKind::OkNo, text, e) && e.answer == Answer::Ok;
}

Answer ScriptedPrompts::yesNoCancel(const QString& text) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    return take(PromptKind::YesNoCancel, text, e) ? e.answer : Answer::Cancel;
}

std::optional<QString> ScriptedPrompts::openFile(const FileDialogOptions& o) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    if (!take(PromptKind::Open, o.filter, e, o) || e.answer == Answer::Cancel || !e.hasValue)
        return std::nullopt;
    if (o.mustExist && !QFileInfo(e.value).isFile()) return std::nullopt;
    return e.value;
}

std::optional<QString> ScriptedPrompts::saveFile(const FileDialogOptions& o) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    if (!take(PromptKind::Save, o.filter, e, o) || e.answer == Answer::Cancel || !e.hasValue)
        return std::nullopt;
    QString name = e.value;
    if (!o.defaultSuffix.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + o.defaultSuffix;
    return name;
}

bool ScriptedPrompts::print(QPrinter*) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    return take(PromptKind::Print, QString(), e) && e.answer != Answer::Cancel;
}

std::optional<QString> ScriptedPrompts::inputQuery(const QString&, const QString& prompt,
                                                   const QString&) {
    WindowTracker::ModalScope scope(&boxToken_);
    Expected e;
    if (!take(PromptKind::Input, prompt, e) || e.answer == Answer::Cancel || !e.hasValue)
        return std::nullopt;
    return e.value;
}

} // namespace platform
