#include "video/Geraete.h"

namespace video {

std::vector<std::string> Geraete_laden(const platform::IniFile& ini, TGeraeteliste& liste) {
    std::vector<std::string> namen;
    for (TVideoGeraet& g : liste)
        g.Name.clear();
    for (int n = 0; n < kGeraete; ++n) {
        const std::string s = "VideoGeraet" + std::to_string(n);
        TVideoGeraet& g = liste[static_cast<std::size_t>(n)];
        g.Name = ini.readString(s, "Name", kNeu);
        namen.push_back(g.Name);
        g.dt_IR_rec = ini.readString(s, "dt_IR_rec", "");
        g.dt_IR_Pause = ini.readString(s, "dt_IR_Pause", "");
        g.dt_K_rec = ini.readString(s, "dt_K_rec", "");
        g.dt_K_Pause = ini.readString(s, "dt_K_Pause", "");
        g.MaxPausenZeit = ini.readString(s, "MaxPausenZeit", "");
        g.IRDatei = ini.readString(s, "IRDatei", "");
        g.PausePause = ini.readBool(s, "PausePause", true);
        if (g.Name == kNeu) break;
    }
    return namen;
}

void Geraete_speichern(platform::IniBatch& ini, const TGeraeteliste& liste) {
    int k = 0;
    for (const TVideoGeraet& g : liste) {
        if (g.Name.empty() || g.Name == kNeu) continue;
        const std::string s = "VideoGeraet" + std::to_string(k);
        ini.writeString(s, "Name", g.Name);
        ini.writeString(s, "dt_IR_rec", g.dt_IR_rec);
        ini.writeString(s, "dt_IR_Pause", g.dt_IR_Pause);
        ini.writeString(s, "dt_K_rec", g.dt_K_rec);
        ini.writeString(s, "dt_K_Pause", g.dt_K_Pause);
        ini.writeString(s, "MaxPausenZeit", g.MaxPausenZeit);
        ini.writeString(s, "IRDatei", g.IRDatei);
        ini.writeBool(s, "PausePause", g.PausePause);
        ++k;
    }
}

} // namespace video
