#include "engine/ControlL.h"
#include "engine/EditLine.h"
#include "engine/Panasonic.h"
#include "sim/ControlLDeck.h"
#include "sim/PanasonicDeck.h"
#include "support/SimFixture.h"

#include <iostream>

class EditDecks : public SimFixture {
protected:
    EditDecks() {
        sony = std::make_shared<sim::ControlLDeck>();
        pana = std::make_shared<sim::PanasonicDeck>();
        sim.adapter.attach(sony, 1);
        sim.adapter.attach(pana, 2);
        Sio::UART_Init_9600();
    }
    std::shared_ptr<sim::ControlLDeck> sony;
    std::shared_ptr<sim::PanasonicDeck> pana;
};

TEST_F(EditDecks, Smoke) {
    advanceUs(100000);
    for (int k = 1; k <= 3; ++k) {
        Sio::Waehle_Kanal(k);
        std::cout << k << ": '" << Sio::Erkenne_Protokoll() << "'\n";
    }
    Sio::Bandposition p;
    std::string proto, text;
    bool spielt = false;
    sony->transport().setPosition(12345);
    pana->transport().setPosition(23456);
    Sio::Lies_Geraetestatus(1, p, proto, text, spielt);
    std::cout << proto << " " << text << " " << Sio::Position_nach_Zaehler(p) << " schwelle " << Sio::Sony_Schwelle << "\n";
    Sio::Lies_Geraetestatus(2, p, proto, text, spielt);
    std::cout << proto << " " << text << " " << Sio::Position_nach_Zaehler(p) << " mittel " << Sio::Pana_Mittel << " schwelle " << Sio::Pana_Schwelle << "\n";
    Sio::Waehle_Kanal(1);
    std::cout << "Mess " << Sio::UART_Messroutine(5) << " " << Sio::Sony1 << " " << Sio::Sony2 << "\n";
    for (int c : {1, 3, 3, 2, 6, 3, 3, 2, 4, 5, 7, 8, 9, 12, 13, 14, 10}) {
        int r1 = Sio::Kamera_Befehl(1, c);
        int r2 = Sio::Kamera_Befehl(2, c);
        std::cout << "cmd " << c << ": " << r1 << " st " << int(sony->status()) << " / " << r2 << " st " << int(pana->status()) << "\n";
    }
    for (auto& l : memo.lines) std::cout << l << "\n";
}
