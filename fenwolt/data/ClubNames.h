// Club names and squad surnames that dress the default squads, the cup and the league:
// invented for this game. Club names have at most 11 characters (team-name fields hold 12
// bytes), surnames at most 14 (player-name fields hold 15). With 18 lists of 16 names drawn
// from a smaller pool, a few surnames turn up at more than one club.
#pragma once

namespace fwdata {

inline constexpr const char* kClubNames[18] = {
    "Ashford Utd", "Kelby Town", "Brackwater", "Dunmore FC", "Carrow City", "Westfell",
    "Orlington", "Stourhaven", "Millbridge", "Farnley Ath", "Penhallow", "Greyford",
    "Thornwick", "Calder Vale", "Riverside", "Halvergate", "Norcastle", "All Stars",
};

// The five cup opponents, round by round.
inline constexpr const char* kCupOpponents[5] = {
    "Elmstead", "Corvale FC", "Kingsmarsh", "Port Ellery", "Real Albor",
};

inline constexpr const char* kClubSurnames[18][16] = {
    {"Jessop", "Oliveira", "Abernethy", "Coulter", "Gilmartin", "Mensah", "Cheung", "Sheehan",
     "Haworth", "Baptiste", "Kettering", "Oldroyd", "Lomax", "Lynch", "Abelard", "Traore"},
    {"Novak", "Calloway", "Esposito", "Evora", "Mottram", "Ormerod", "Entwistle", "Blackett",
     "Pellew", "Rafferty", "Stebbings", "Ellery", "Northcote", "Cardoso", "Iveson", "Figueira"},
    {"Brandao", "Radcliffe", "Lockhart", "Garside", "Oakes", "Tavares", "Quarrie", "Bettany",
     "Shackleton", "Trask", "Ashworth", "Ulrich", "Fairbrook", "Hollis", "Andersen", "Barrow"},
    {"Chadwick", "Whitlock", "Varley", "Janssen", "Greenhalgh", "Toivonen", "Petrovic", "Paredes",
     "Walmsley", "Salgado", "Firth", "Holroyd", "Fenwick", "Cassidy", "Mahony", "Santoro"},
    {"Tattersall", "Wojcik", "Teixeira", "Jolliffe", "Vasquez", "Elphick", "Sissoko", "Magalhaes",
     "Ramsbottom", "Kershaw", "Kitching", "Corrigan", "Sandell", "Devlin", "Zielinski", "Pendlebury"},
    {"Gaskell", "Farrelly", "Fofana", "Mellor", "Kinsella", "Rudd", "Dobson", "Dunstan",
     "Diallo", "Gallardo", "Tolland", "Kone", "Almeida", "Fontaine", "Lindqvist", "Thackeray"},
    {"Voss", "Kowalczyk", "Ackroyd", "Ostrander", "Pocock", "Eckersley", "Moreau", "Ainsley",
     "Fothergill", "Rasmussen", "Sorensen", "Bergmann", "Duarte", "Whelan", "Nolan", "Castellano"},
    {"Yardley", "Queiroz", "Dalgarno", "Underhill", "Mcallister", "Nuttall", "Camara", "Kilbride",
     "Hennessy", "Ibarra", "Urquhart", "Tierney", "Dimitrov", "Godinho", "Drummond", "Hadleigh"},
    {"Gedge", "Weissmann", "Marwood", "Cresswell", "Pimentel", "Rushton", "Kavanagh", "Bramwell",
     "Okafor", "Pickles", "Hobday", "Lacerda", "Westmacott", "Quigley", "Marchetti", "Bellamy"},
    {"Lefevre", "Vickery", "Brennan", "Delaney", "Lumb", "Ingram", "Loveday", "Rinaldi",
     "Haugland", "Egerton", "Navarro", "Brodie", "Nettleford", "Gallagher", "Valdez", "Jardine"},
    {"Upton", "Sugden", "Adeyemi", "Illingworth", "Wragg", "Quintero", "Naylor", "Jessop",
     "Oliveira", "Abernethy", "Coulter", "Gilmartin", "Mensah", "Cheung", "Sheehan", "Haworth"},
    {"Baptiste", "Kettering", "Oldroyd", "Lomax", "Lynch", "Abelard", "Traore", "Novak",
     "Calloway", "Esposito", "Evora", "Mottram", "Ormerod", "Entwistle", "Blackett", "Pellew"},
    {"Rafferty", "Stebbings", "Ellery", "Northcote", "Cardoso", "Iveson", "Figueira", "Brandao",
     "Radcliffe", "Lockhart", "Garside", "Oakes", "Tavares", "Quarrie", "Bettany", "Shackleton"},
    {"Trask", "Ashworth", "Ulrich", "Fairbrook", "Hollis", "Andersen", "Barrow", "Chadwick",
     "Whitlock", "Varley", "Janssen", "Greenhalgh", "Toivonen", "Petrovic", "Paredes", "Walmsley"},
    {"Salgado", "Firth", "Holroyd", "Fenwick", "Cassidy", "Mahony", "Santoro", "Tattersall",
     "Wojcik", "Teixeira", "Jolliffe", "Vasquez", "Elphick", "Sissoko", "Magalhaes", "Ramsbottom"},
    {"Kershaw", "Kitching", "Corrigan", "Sandell", "Devlin", "Zielinski", "Pendlebury", "Gaskell",
     "Farrelly", "Fofana", "Mellor", "Kinsella", "Rudd", "Dobson", "Dunstan", "Diallo"},
    {"Gallardo", "Tolland", "Kone", "Almeida", "Fontaine", "Lindqvist", "Thackeray", "Voss",
     "Kowalczyk", "Ackroyd", "Ostrander", "Pocock", "Eckersley", "Moreau", "Ainsley", "Fothergill"},
    {"Rasmussen", "Sorensen", "Bergmann", "Duarte", "Whelan", "Nolan", "Castellano", "Yardley",
     "Queiroz", "Dalgarno", "Underhill", "Mcallister", "Nuttall", "Camara", "Kilbride", "Hennessy"},
};

}  // namespace fwdata
