// Pictures of the main window in its three modes and of the learn dialog in
// its three functions, written to the build folder (screenshots/) for anyone
// to look at; they are not compared.
#include "LernenFixture.h"

#include <QDir>
#include <QPixmap>

class Screenshots : public LernenFixture {
protected:
    QString ablage() {
        const QString dir = QStringLiteral(TAVIX_BUILD_DIR "/screenshots");
        QDir().mkpath(dir);
        return dir;
    }
    void speichern(QWidget& w, const QString& name) {
        const QPixmap p = w.grab();
        EXPECT_FALSE(p.isNull()) << name.toStdString();
        EXPECT_GT(p.width(), 100);
        const QString file = ablage() + QLatin1Char('/') + name + QStringLiteral(".png");
        EXPECT_TRUE(p.save(file)) << file.toStdString();
        EXPECT_GT(QFileInfo(file).size(), 0);
    }
};

TEST_F(Screenshots, MainWindowModesAndLearnDialogFunctions) {
    auto& f = *form;
    f.show();
    speichern(f, QStringLiteral("main-normal"));
    f.Lernen1Click();
    speichern(f, QStringLiteral("main-learn"));
    f.Service2Click();
    speichern(f, QStringLiteral("main-service"));
    f.Service2Click();

    auto& l = *dialog;
    l.Beschriftung->setText(QStringLiteral("TV +"));
    l.Lernpuffer = {};
    for (std::size_t i = 0; i < 8; ++i)
        l.Lernpuffer[i] = std::array<std::int32_t, 8>{3, 2400, 600, 1200, 600, 600, 600, 26000}[i];
    l.setFunktionIndex(0);
    l.IR_Hex_Code->setText(QStringLiteral("F6 80 "));
    {
        Aktiv a(l);
        l.Feld_Display->setChecked(true);
        speichern(l, QStringLiteral("learn-ir"));
        l.setFunktionIndex(1);
        l.setMakroSchritt(1, {QStringLiteral("Mute"), QStringLiteral("TV +")},
                          QStringLiteral("Mute"));
        speichern(l, QStringLiteral("learn-macro"));
        l.setFunktionIndex(2);
        l.BinaerBox->item(0)->setCheckState(Qt::Checked);
        speichern(l, QStringLiteral("learn-analytic"));
    }
    f.hide();
}
