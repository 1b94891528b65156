#pragma once
// The prompts seam: every box and dialog the programs show goes through one
// small interface. Texts are shown as given; "\r" is a line break.

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QPrinter;
class QTranslator;

namespace platform {

enum class PromptKind { Message, Error, YesNo, YesNoCancel, Open, Save, Print, Input, OkNo };
enum class Answer { Ok, Yes, No, Cancel };

struct FileDialogOptions {
    QString filter; // "Fernsteuerdateien (*.cdx *.CDX)"
    QString initialDir;
    QString fileName;
    QString defaultSuffix; // added to a name without an extension
    bool overwritePrompt = false;
    bool mustExist = false; // an open dialog then accepts existing files only
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void message(const QString& text) = 0; // information, OK
    virtual void error(const QString& text) = 0;   // error, OK
    virtual bool yesNo(const QString& text) = 0;
    // A question with the buttons No and OK; true for OK.
    virtual bool okNo(const QString& text) = 0;
    virtual Answer yesNoCancel(const QString& text) = 0;
    virtual std::optional<QString> openFile(const FileDialogOptions& o) = 0;
    virtual std::optional<QString> saveFile(const FileDialogOptions& o) = 0;
    // The printer is set up by the dialog when it is confirmed.
    virtual bool print(QPrinter* printer) = 0;
    virtual std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                              const QString& value) = 0;
};

// Not owning; null restores the default, which is the Qt dialogs.
void setPrompts(Prompts* p);
Prompts& prompts();

// The title of every box: the program's title as it sets it (the name of the
// open file, say); empty gives the application's name.
void setPromptTitle(const QString& title);
QString promptTitle();

// Qt's dialogs. Each box deactivates the program's active window while it is
// up, as any window of the program does.
class QtPrompts final : public Prompts {
public:
    void message(const QString& text) override;
    void error(const QString& text) override;
    bool yesNo(const QString& text) override;
    bool okNo(const QString& text) override;
    Answer yesNoCancel(const QString& text) override;
    std::optional<QString> openFile(const FileDialogOptions& o) override;
    std::optional<QString> saveFile(const FileDialogOptions& o) override;
    bool print(QPrinter* printer) override;
    std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                      const QString& value) override;
};

// A queue of expected prompts and their answers. A prompt that is not the next
// expected one is reported to the failure handler and answered No / Cancel /
// nothing. Every prompt deactivates and reactivates the active window exactly
// as a real box does.
class ScriptedPrompts final : public Prompts {
public:
    struct Expected {
        PromptKind kind;
        QString text; // exact text; for file dialogs the filter, empty: any
        Answer answer = Answer::Ok;
        bool hasValue = false;
        QString value; // file name or input
    };
    struct Shown {
        PromptKind kind;
        QString text;
        FileDialogOptions dialog; // what a file dialog was started with
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    ScriptedPrompts& expect(PromptKind kind, const QString& text, Answer answer = Answer::Ok,
                            std::optional<QString> value = std::nullopt);
    ScriptedPrompts& expectMessage(const QString& text) {
        return expect(PromptKind::Message, text);
    }
    ScriptedPrompts& expectError(const QString& text) { return expect(PromptKind::Error, text); }
    ScriptedPrompts& expectYesNo(const QString& text, bool yes) {
        return expect(PromptKind::YesNo, text, yes ? Answer::Yes : Answer::No);
    }
    ScriptedPrompts& expectOkNo(const QString& text, bool ok) {
        return expect(PromptKind::OkNo, text, ok ? Answer::Ok : Answer::No);
    }
    // Called for every prompt, when it comes up (before it is answered).
    std::function<void(const Shown&)> onShown;
    // Called with a description of each unexpected prompt.
    std::function<void(const QString&)> onUnexpected;

    std::size_t remaining() const { return queue_.size(); }
    const std::vector<Shown>& shown() const { return shown_; }
    const std::vector<QString>& failures() const { return failures_; }

    void message(const QString& text) override;
    void error(const QString& text) override;
    bool yesNo(const QString& text) override;
    bool okNo(const QString& text) override;
    Answer yesNoCancel(const QString& text) override;
    // With mustExist, a scripted name of a file that does not exist is
    // refused as the dialog refuses it: nothing is chosen.
    std::optional<QString> openFile(const FileDialogOptions& o) override;
    std::optional<QString> saveFile(const FileDialogOptions& o) override;
    bool print(QPrinter* printer) override;
    std::optional<QString> inputQuery(const QString& caption, const QString& prompt,
                                      const QString& value) override;

private:
    // False (and the failure reported) when the prompt was not expected.
    bool take(PromptKind kind, const QString& text, Expected& e,
              const FileDialogOptions& dialog = {});

    std::deque<Expected> queue_;
    std::vector<Shown> shown_;
    std::vector<QString> failures_;
    char boxToken_ = 0; // the id of the scripted box while it is up
};

QString promptKindName(PromptKind k);

// Installs Qt's own translation of `language` (qtbase_<language>.qm from Qt's
// translations folder), so that the boxes' buttons speak the program's
// language; false when it is missing.
bool installQtTranslation(QTranslator& translator, const QString& language);

} // namespace platform
