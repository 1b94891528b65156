// Printing the cut list: its file, numbered line by line, with a header on
// every page.
#include "video/Kamera_qt.h"

#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/PathBytes_qt.h"
#include "platform/Prompts_qt.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>

#include <filesystem>
#include <fstream>
#include <memory>

namespace video {

namespace {

// The system's printer as a line printer: Courier New 8 pt, black.
class QtZeilendrucker final : public Zeilendrucker {
public:
    explicit QtZeilendrucker(QPrinter& printer) : printer_(printer) {}
    void beginnen() override {
        if (!painter_.begin(&printer_))
            throw EInOutError("Drucker kann nicht ge\xF6"
                              "ffnet werden");
        QFont f(QStringLiteral("Courier New"));
        f.setStyleHint(QFont::Courier);
        f.setPointSize(8);
        painter_.setFont(f);
        painter_.setPen(Qt::black);
        hoehe_ = QFontMetrics(painter_.font(), painter_.device()).lineSpacing();
        y_ = 0;
        seite_ = 1;
    }
    void zeile(const QString& text) override {
        if (voll()) {
            if (!printer_.newPage()) throw EInOutError("Druckerfehler");
            ++seite_;
            y_ = 0;
        }
        painter_.drawText(0, y_ + QFontMetrics(painter_.font(), painter_.device()).ascent(), text);
        y_ += hoehe_;
    }
    // A line end that leaves no room for the next line opens the next page;
    // the page itself starts with the next line, so no empty page ends a job.
    int seite() const override { return seite_ + (voll() ? 1 : 0); }
    void beenden() override {
        if (painter_.isActive()) painter_.end();
    }

private:
    bool voll() const { return y_ > 0 && y_ + hoehe_ > painter_.viewport().height(); }
    QPrinter& printer_;
    QPainter painter_;
    int hoehe_ = 1;
    int y_ = 0;
    int seite_ = 1;
};

using platform::bytesOf;

} // namespace

std::string TKameraDialog::Dateigroesse(const std::string& name) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(name, ec);
    if (ec)
        throw EInOutError("Datei >" + name +
                          "< kann nicht ge\xF6"
                          "ffnet werden");
    return std::to_string(n);
}

std::string TKameraDialog::Dateidatum(const std::string& name) const {
    QFileInfo info(platform::pathOf(name));
    if (!info.exists())
        throw EInOutError("Datei >" + name +
                          "< kann nicht ge\xF6"
                          "ffnet werden");
    return Datum_Text(info.lastModified());
}

void TKameraDialog::DruckenKnopfClick() {
    const std::string kurz = bytesOf(Schnittdateiname->text());
    if (kurz.empty() || kurz != std::filesystem::path(SaveDialog1_FileName).filename().string()) {
        platform::prompts().message(
            QStringLiteral("Vor dem Drucken mu\u00DF die Schnittliste abgespeichert werden"));
        return;
    }
    if (!PrintDialog1) PrintDialog1 = std::make_unique<QPrinter>();
    if (!platform::prompts().print(PrintDialog1.get())) return;
    StringGrid_to_Memofeld();
    Raster_anzeigen();
    platform::saveFileAtomically(SaveDialog1_FileName, Text_aus_Zeilen(Schnittliste));
    Drucken(SaveDialog1_FileName);
}

void TKameraDialog::Drucken(const std::string& name) {
    const std::string kopf =
        std::string(14, ' ') + name + "   " + Dateigroesse(name) + " Bytes, " + Dateidatum(name);
    std::ifstream in(name, std::ios::binary);
    if (!in)
        throw EInOutError("Datei >" + name +
                          "< kann nicht ge\xF6"
                          "ffnet werden");
    std::string inhalt((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
    if (!PrintDialog1) PrintDialog1 = std::make_unique<QPrinter>();
    std::unique_ptr<Zeilendrucker> d =
        Drucker ? Drucker() : std::make_unique<QtZeilendrucker>(*PrintDialog1);
    d->beginnen();
    struct Ende {
        Zeilendrucker& d;
        ~Ende() { d.beenden(); }
    } ende{*d};
    int n = 0, gedruckt = 0;
    for (const std::string& zeile : Zeilen_aus_Text(inhalt)) {
        if (d->seite() != gedruckt) {
            gedruckt = d->seite();
            d->zeile(QString());
            d->zeile(platform::fromCp1252(kopf + "    Seite " + std::to_string(gedruckt)));
            d->zeile(QString());
        }
        ++n;
        std::string nr = std::to_string(n);
        if (nr.size() < 14) nr.insert(0, 14 - nr.size(), ' ');
        d->zeile(platform::fromCp1252(nr + "   " + zeile));
    }
}

} // namespace video
