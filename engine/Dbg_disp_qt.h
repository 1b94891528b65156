#pragma once
// The debug window: a plain text window holding the last trace lines.

#include "engine/Debug.h"

#include <QWidget>

class QPlainTextEdit;

class TDebug_Display : public QWidget, public Dbg_disp::DebugSink {
    Q_OBJECT
public:
    explicit TDebug_Display(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;

    bool isShowing() const override { return isVisible(); }
    int lineCount() const override;
    void deleteFirstLine() override;
    void appendToLastLine(std::string_view text) override;
    void addEmptyLine() override;

    // The memo's lines as Windows-1252 bytes.
    std::vector<std::string> lines() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
};
