#include "sim/AdapterWindow_qt.h"

#include "platform/Guard_qt.h"
#include "sim/PeoplesAdapter.h"
#include "sim/PortAccess.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace sim {

namespace {

constexpr std::size_t kShownSendings = 8;
constexpr int kKeysPerRow = 4;
// Between the frames of the window and the one it stands beside.
constexpr int kGap = 8;
// Segments in view at the window's own size; more scroll.
constexpr int kSegmentsInView = 6;

QLabel* fixedLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

// One line of the recorder's content map.
QString segmentLine(const RecordedSegment& s) {
    auto at = [](double p) {
        return QString::fromStdString(counterText(static_cast<std::int32_t>(p)));
    };
    return QStringLiteral("%1 -%2  <- %3 %4 -%5%6")
        .arg(at(s.recorderStart), at(s.recorderEnd))
        .arg(s.input == 0 ? QStringLiteral("no picture") : QString::fromStdString(s.player), -10)
        .arg(at(s.playerStart), at(s.playerEnd))
        .arg(s.input != 0 && !s.playerPlaying ? QStringLiteral("  (not playing)") : QString());
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
    recorderStateLabel = fixedLabel(recorder);
    recorderColumn->addWidget(recorderStateLabel);
    // Every segment of a long run, scrolling: the window keeps its size and
    // an enlarged window shows more of them.
    recorderMap = new QScrollArea(recorder);
    recorderMap->setFrameShape(QFrame::NoFrame);
    recorderMap->setWidgetResizable(true);
    recorderLabel = fixedLabel(recorderMap);
    recorderMap->setWidget(recorderLabel);
    // As wide as the widest line: each segment is read without scrolling
    // sideways.
    RecordedSegment widest;
    widest.input = 1;
    widest.player = "camcorder";
    recorderLabel->setText(segmentLine(widest));
    recorderMap->setMinimumSize(recorderLabel->sizeHint().width() +
                                    recorderMap->verticalScrollBar()->sizeHint().width() +
                                    2 * recorderMap->frameWidth(),
                                recorderLabel->fontMetrics().lineSpacing() * kSegmentsInView);
    // The newest segments stay in view while the map is scrolled to its end.
    QScrollBar* bar = recorderMap->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int v) { followMap_ = v == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int max) {
        if (followMap_) bar->setValue(max);
    });
    recorderColumn->addWidget(recorderMap, 1);
    column->addWidget(recorder, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &AdapterWindow::refresh);
    timer_->start();
    refresh();
}

void AdapterWindow::showBeside(QWidget& beside) {
    // Its own size the first time.
    if (!shown_) adjustSize();
    placeBeside(beside);
    // Before the window manager has framed `beside` its frame is a guess:
    // the window follows once the frame is known.
    if (platform::frameMargins(beside).isNull())
        besideWatch_ = std::make_unique<platform::FrameWatch>(beside, [this, &beside] {
            if (platform::frameMargins(beside).isNull()) return false;
            platform::guarded([&] { placeBeside(beside); });
            return true;
        });
}

void AdapterWindow::placeBeside(const QWidget& beside) {
    // The frames side by side. One window manager frames both windows alike,
    // so this window's frame is taken as large as that of `beside` until it
    // has its own.
    const QMargins b = platform::frameMargins(beside);
    const QMargins own = platform::frameMargins(*this);
    const QRect f = beside.geometry().marginsAdded(b);
    const QSize s = size().expandedTo(minimumSize()).grownBy(own.isNull() ? b : own);
    // To the right, or to the left where only that side has room; where
    // neither has, on the side with more, covering as little as it must.
    const QRect a = platform::workAreaAt(f);
    const int roomRight = a.right() - f.right() - kGap, roomLeft = f.left() - a.left() - kGap;
    const bool right = s.width() <= roomRight || (s.width() > roomLeft && roomRight >= roomLeft);
    place(QRect(QPoint(right ? f.right() + 1 + kGap : f.left() - kGap - s.width(), f.top()), s));
}

void AdapterWindow::showAt(const QRect& frame) {
    place(platform::fitToScreens(frame.left(), frame.top(), frame.width(), frame.height()));
}

void AdapterWindow::place(const QRect& frame) {
    // Whole on the work area: beside a window near the edge it covers part
    // of that window rather than reaching past the edge.
    frame_.set(platform::wholeOnWorkArea(frame));
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
    recorderStateLabel->setText(
        QStringLiteral("%1  input %2  %3")
            .arg(QString::fromLatin1(modeName(r.transport().mode())), -12)
            .arg(r.input() == 0 ? QStringLiteral("switching") : QString::number(r.input()))
            .arg(QString::fromStdString(counterText(r.transport().position()))));
    QStringList rec;
    const auto map = r.contentMap();
    if (map.empty()) rec << QStringLiteral("tape holds nothing recorded yet");
    for (const RecordedSegment& s : map)
        rec << segmentLine(s);
    recorderLabel->setText(rec.join('\n'));
}

} // namespace sim
