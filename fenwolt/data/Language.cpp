#include "fenwolt/data/Language.h"

#include <stdexcept>

#include "fenwolt/data/Fonts.h"

namespace fwdata {

namespace {

struct Entry {
    int id;
    const char* en;
    const char* us;   // null: as English
    const char* fr;
    const char* de;
};

// Written in UTF-8 here; converted to the game's character set on output. German avoids
// the sharp s, which the fonts lack ("ss" as in Swiss spelling).
const Entry kEntries[] = {
    {74, "Unable to load mesh", nullptr, "Impossible de charger le modèle", "Modell nicht ladbar"},
    {75, "Unable to load texture", nullptr, "Impossible de charger la texture", "Textur nicht ladbar"},
    {280, "Abandon this game?", nullptr, "Abandonner la partie ?", "Spiel abbrechen?"},
    {281, "Quit the game?", nullptr, "Quitter le jeu ?", "Spiel beenden?"},
    {283, "Yes", nullptr, "Oui", "Ja"},
    {284, "No", nullptr, "Non", "Nein"},
    {289, "Back", nullptr, "Retour", "Zurück"},
    {292, "Preparing the stadium...", nullptr, "Préparation du stade...", "Das Stadion wird vorbereitet..."},
    {293, "Loading %d", nullptr, "Chargement %d", "Laden %d"},
    {294, "SOUND", nullptr, "SON", "TON"},
    {295, "Music", nullptr, "Musique", "Musik"},
    {296, "Effects", nullptr, "Effets", "Effekte"},
    {297, "Volume", nullptr, "Volume", "Lautstärke"},
    {300, "OPTIONS", nullptr, "OPTIONS", "OPTIONEN"},
    {302, "Resume Match", nullptr, "Reprendre le match", "Weiterspielen"},
    {303, "Return", nullptr, "Retour", "Zurück"},
    {304, "Off", nullptr, "Non", "Aus"},
    {305, "On", nullptr, "Oui", "An"},
    {306, "On", nullptr, "Oui", "An"},
    {307, "Off", nullptr, "Non", "Aus"},
    {384, "Home", nullptr, "Domicile", "Heim"},
    {385, "Away", nullptr, "Extérieur", "Auswärts"},
    {386, "Goalkeeper", "Goalie", "Gardien", "Torwart"},
    {387, "Defender", nullptr, "Défenseur", "Verteidiger"},
    {388, "Midfielder", nullptr, "Milieu", "Mittelfeld"},
    {389, "Attacker", "Forward", "Attaquant", "Stürmer"},
    {390, "Substitute", nullptr, "Remplaçant", "Ersatzspieler"},
    {393, "HOW TO PLAY", nullptr, "COMMENT JOUER", "SO WIRD GESPIELT"},
    {394, "The two sides take turns to give their orders.", nullptr,
     "Les deux équipes donnent leurs ordres à tour de rôle.", "Beide Teams geben abwechselnd ihre Befehle."},
    {395, "Click a player, then click the pitch to move him.", nullptr,
     "Cliquez sur un joueur, puis sur le terrain.", "Spieler anklicken, dann das Ziel auf dem Rasen."},
    {396, "Press Pass, then aim at a team-mate or a space.", "Press Pass, then aim at a teammate or a space.",
     "Passe : visez un partenaire ou un espace libre.", "Pass: auf einen Mitspieler oder freien Raum zielen."},
    {397, "Aim at the goal from close range to shoot.", nullptr, "Visez le but de près pour tirer.",
     "Aus kurzer Distanz aufs Tor zielen, um zu schiessen."},
    {398, "END TURN STARTS THE ACTION", nullptr, "FIN DU TOUR : ACTION !", "ZUG BEENDEN: ANSTOSS!"},
    {399, "Each turn lasts five seconds of match time.", nullptr,
     "Chaque tour dure cinq secondes de jeu.", "Jeder Zug dauert fünf Sekunden Spielzeit."},
    {400, "The computer always plays the away side.", nullptr, "L'ordinateur joue toujours à l'extérieur.",
     "Der Computer spielt immer auswärts."},
    {401, "THE CAMERA", nullptr, "LA CAMÉRA", "DIE KAMERA"},
    {402, "Move the mouse to the screen edges to look around.", nullptr,
     "Approchez la souris des bords pour regarder autour.", "Maus an den Bildrand bewegen, um sich umzusehen."},
    {404, "Get ready for kick-off", "Get ready for kickoff", "Préparez-vous au coup d'envoi", "Gleich ist Anstoss"},
    {405, "YOUR SQUAD", nullptr, "VOTRE ÉQUIPE", "DEIN KADER"},
    {406, "Spend points on abilities", nullptr, "Dépensez vos points", "Punkte auf Fähigkeiten"},
    {407, "in the squad editor.", nullptr, "dans l'éditeur d'équipe.", "im Kader-Editor verteilen."},
    {408, "Tired players slow down:", nullptr, "Un joueur fatigué ralentit :", "Müde Spieler werden langsam:"},
    {409, "bring on a substitute,", nullptr, "faites entrer un remplaçant,", "wechsle einen Ersatzmann ein,"},
    {410, "up to three in a match.", nullptr, "trois au plus par match.", "höchstens drei pro Spiel."},
    {411, "Click to continue", nullptr, "Cliquez pour continuer", "Klicken zum Weitermachen"},
};

}  // namespace

std::vector<LanguageFile> BuildLanguages() {
    std::vector<LanguageFile> out = {{"english.txt", {}}, {"usa.txt", {}}, {"french.txt", {}}, {"german.txt", {}}};
    for (auto& l : out) l.texts.assign(kTextCount, std::string());
    for (const auto& e : kEntries) {
        if (e.id < 0 || e.id >= kTextCount) throw std::runtime_error("text id out of range");
        out[0].texts[size_t(e.id)] = ToGameCharset(e.en);
        out[1].texts[size_t(e.id)] = ToGameCharset(e.us ? e.us : e.en);
        out[2].texts[size_t(e.id)] = ToGameCharset(e.fr);
        out[3].texts[size_t(e.id)] = ToGameCharset(e.de);
    }
    return out;
}

std::string FormatLanguageFile(const LanguageFile& lang) {
    std::string s;
    for (size_t i = 0; i < lang.texts.size(); ++i) {
        const std::string& t = lang.texts[i];
        if (t.find('"') != std::string::npos || t.find('\0') != std::string::npos || t.size() > 999)
            throw std::runtime_error("text " + std::to_string(i) + " cannot be stored");
        s += std::to_string(i) + " \"" + t + "\"\n";
    }
    return s;
}

}  // namespace fwdata
