#include "engine/Dbg_disp_qt.h"

#include <QCloseEvent>
#include <QFont>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

// Trace texts are Windows-1252 bytes; the ones the engine writes are ASCII and
// Latin-1 umlauts, which map one to one.
QString fromBytes(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

TDebug_Display::TDebug_Display(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("Debug_Display");
    setWindowTitle("Debug_Display");
    setGeometry(44, 9, 702, 252);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font("System");
    font.setStyleHint(QFont::System);
    font.setPixelSize(13);
    Memo1->setFont(font);
    Memo1->setPlainText("Debug Display, 09-Apr-02\n");
    layout->addWidget(Memo1);
}

int TDebug_Display::lineCount() const {
    return Memo1->document()->blockCount();
}

void TDebug_Display::deleteFirstLine() {
    QTextCursor c(Memo1->document()->firstBlock());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
}

void TDebug_Display::appendToLastLine(std::string_view text) {
    QTextCursor c(Memo1->document());
    c.movePosition(QTextCursor::End);
    c.insertText(fromBytes(text));
}

void TDebug_Display::addEmptyLine() {
    QTextCursor c(Memo1->document());
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    Memo1->verticalScrollBar()->setValue(Memo1->verticalScrollBar()->maximum());
}

std::vector<std::string> TDebug_Display::lines() const {
    std::vector<std::string> out;
    for (QTextBlock b = Memo1->document()->firstBlock(); b.isValid(); b = b.next())
        out.push_back(b.text().toLatin1().toStdString());
    return out;
}

void TDebug_Display::FormClose() {
    Dbg_disp::Debug_An = false;
}

void TDebug_Display::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}
