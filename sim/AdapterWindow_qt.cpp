#include "sim/AdapterWindow_qt.h"

#include "sim/PeoplesAdapter.h"
#include "sim/PortAccess.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace sim {

namespace {

constexpr std::size_t kShownSendings = 8;
constexpr std::size_t kShownSegments = 12;
constexpr int kKeysPerRow = 4;

QLabel* fixedLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// Whole on the screens where it fits: beside a window near the edge it
// covers part of that window rather than reaching past the edge.
QRect keptOnScreen(QRect r) {
    const QRect a = platform::availableScreenArea();
    r.setSize(r.size().boundedTo(a.size()));
    if (r.right() > a.right()) r.moveRight(a.right());
    if (r.bottom() > a.bottom()) r.moveBottom(a.bottom());
    if (r.left() < a.left()) r.moveLeft(a.left());
    if (r.top() < a.top()) r.moveTop(a.top());
    return r;
}

} // namespace

QString reasonText(const std::string& reason) {
    if (reason == kBecauseAsked)
        return QStringLiteral("Simulated adapter in use: asked for with TAVIX_PORTS=sim.");
    if (reason == kBecauseRefused)
        return QStringLiteral("Simulated adapter in use: no permission for direct port access.");
    return QStringLiteral("Simulated adapter in use.");
}

AdapterWindow::AdapterWindow(PeoplesDevices& devices, const std::string& reason, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowDoesNotAcceptFocus), devices_(devices) {
    setObjectName(QStringLiteral("AdapterWindow"));
    setWindowTitle(QStringLiteral("Simulated adapter"));
    // It stands for hardware: showing or using it never moves the activation.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    auto* column = new QVBoxLayout(this);
    reasonLabel = new QLabel(reasonText(reason), this);
    reasonLabel->setWordWrap(true);
    column->addWidget(reasonLabel);

    auto* remote = new QGroupBox(QStringLiteral("Remote in front of the IR detector"), this);
    auto* grid = new QGridLayout(remote);
    keys = new QButtonGroup(this);
    keys->setExclusive(true);
    const auto& all = devices_.keys();
    for (std::size_t i = 0; i < all.size(); ++i) {
        auto* b = new QPushButton(QString::fromStdString(all[i].name), remote);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        const int n = static_cast<int>(i);
        keys->addButton(b, n);
        grid->addWidget(b, n / kKeysPerRow, n % kKeysPerRow);
    }
    chosenLabel = new QLabel(remote);
    grid->addWidget(chosenLabel, grid->rowCount(), 0, 1, kKeysPerRow);
    column->addWidget(remote);
    connect(keys, &QButtonGroup::idClicked, this, [this](int id) {
        devices_.choose(static_cast<std::size_t>(id));
        refresh();
    });

    auto* sent = new QGroupBox(QStringLiteral("IR sender: last commands"), this);
    auto* sentColumn = new QVBoxLayout(sent);
    sentLabel = fixedLabel(sent);
    sentColumn->addWidget(sentLabel);
    column->addWidget(sent);

    auto* decks = new QGroupBox(QStringLiteral("Edit decks"), this);
    auto* decksColumn = new QVBoxLayout(decks);
    decksLabel = fixedLabel(decks);
    decksColumn->addWidget(decksLabel);
    column->addWidget(decks);

    auto* recorder =
        new QGroupBox(QStringLiteral("IR recorder (inputs: 1 camcorder, 2 VCR)"), this);
    auto* recorderColumn = new QVBoxLayout(recorder);
    recorderLabel = fixedLabel(recorder);
    recorderColumn->addWidget(recorderLabel);
    column->addWidget(recorder);
    column->addStretch(1);

    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &AdapterWindow::refresh);
    timer_->start();
    refresh();
}

void AdapterWindow::showBeside(const QWidget& beside) {
    // Its own size the first time.
    if (!shown_) adjustSize();
    const QMargins m = platform::frameMargins(beside);
    if (m.isNull()) {
        // `beside` is not framed yet. One window manager frames both alike,
        // so the frames line up when the windows themselves do.
        const QRect b = beside.geometry();
        setGeometry(keptOnScreen(QRect(QPoint(b.right() + 8, b.top()), size())));
        shown_ = true;
        show();
        return;
    }
    // In a frame like that of `beside`, so that it fits the screen whole.
    const QRect b = beside.frameGeometry();
    const QSize least = minimumSize().grownBy(m);
    place(QRect(QPoint(b.right() + 8, b.top()), frame_.get().size().expandedTo(least)));
}

void AdapterWindow::showAt(const QRect& frame) {
    place(platform::fitToScreens(frame.left(), frame.top(), frame.width(), frame.height()));
}

void AdapterWindow::place(const QRect& frame) {
    frame_.set(keptOnScreen(frame));
    shown_ = true;
    show();
}

std::optional<QRect> AdapterWindow::leftFrame() const {
    if (!shown_) return std::nullopt;
    return frame_.get();
}

void AdapterWindow::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    frame_.catchUp();
}

void AdapterWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    frame_.catchUp();
}

void AdapterWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    frame_.catchUp();
}

void AdapterWindow::refresh() {
    const auto& all = devices_.keys();
    const std::size_t chosen = devices_.chosen();
    if (QAbstractButton* b = keys->button(static_cast<int>(chosen))) b->setChecked(true);
    chosenLabel->setText(QStringLiteral("The next capture learns: %1")
                             .arg(QString::fromStdString(all[chosen].name)));

    QStringList lines;
    for (const Sending& s : devices_.sendings(kShownSendings))
        lines << QStringLiteral("%1 s  %2 bursts  %3 ms  %4")
                     .arg(devices_.secondsSinceStart(s.start), 9, 'f', 3)
                     .arg(s.bursts, 4)
                     .arg(static_cast<double>(s.lengthPs) / 1e9, 7, 'f', 1)
                     .arg(s.key.empty() ? QStringLiteral("-") : QString::fromStdString(s.key));
    sentLabel->setText(lines.isEmpty() ? QStringLiteral("nothing sent yet") : lines.join('\n'));

    auto deck = [](int channel, const char* what, const TapeTransport& t) {
        return QStringLiteral("Channel %1  %2  %3  %4")
            .arg(channel)
            .arg(QString::fromLatin1(what), -25)
            .arg(QString::fromLatin1(modeName(t.mode())), -12)
            .arg(QString::fromStdString(counterText(t.position())));
    };
    decksLabel->setText(deck(1, "Sony Control-L camcorder", devices_.camcorder->transport()) +
                        '\n' + deck(2, "Panasonic VCR", devices_.vcr->transport()));

    const IrRecorder& r = *devices_.recorder;
    QStringList rec;
    rec << QStringLiteral("%1  input %2  %3")
               .arg(QString::fromLatin1(modeName(r.transport().mode())), -12)
               .arg(r.input() == 0 ? QStringLiteral("switching") : QString::number(r.input()))
               .arg(QString::fromStdString(counterText(r.transport().position())));
    const auto map = r.contentMap();
    if (map.empty()) rec << QStringLiteral("tape holds nothing recorded yet");
    auto at = [](double p) {
        return QString::fromStdString(counterText(static_cast<std::int32_t>(p)));
    };
    // The last segments: the window must not outgrow the screen.
    const std::size_t from = map.size() > kShownSegments ? map.size() - kShownSegments : 0;
    if (from > 0) rec << QStringLiteral("... %1 earlier segments").arg(from);
    for (std::size_t i = from; i < map.size(); ++i) {
        const RecordedSegment& s = map[i];
        rec << QStringLiteral("%1 -%2  <- %3 %4 -%5%6")
                   .arg(at(s.recorderStart), at(s.recorderEnd))
                   .arg(s.input == 0 ? QStringLiteral("no picture")
                                     : QString::fromStdString(s.player),
                        -10)
                   .arg(at(s.playerStart), at(s.playerEnd))
                   .arg(s.input != 0 && !s.playerPlaying ? QStringLiteral("  (not playing)")
                                                         : QString());
    }
    recorderLabel->setText(rec.join('\n'));
}

} // namespace sim
