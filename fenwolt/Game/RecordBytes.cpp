#include "fenwolt/Game/RecordBytes.h"

void WriteSquadStats(ByteWriter& w, const SquadStats& s)
{
    w.I32(s.tacklesWon);
    w.I32(s.tackleAttemptsLost);
    w.I32(s.haveBeenTackled);
    w.I32(s.preventedBeingTackled);
    w.I32(s.foulsDone);
    w.I32(s.haveBeenFouled);
    for (int32_t v : s.passAttempts) w.I32(v);
    for (int32_t v : s.goodPasses) w.I32(v);
    w.I32(s.attemptsOnGoal);
    w.I32(s.goalsScored);
    w.F32(s.timeOnBall);
}

void ReadSquadStats(ByteReader& r, SquadStats& s)
{
    s.tacklesWon = r.I32();
    s.tackleAttemptsLost = r.I32();
    s.haveBeenTackled = r.I32();
    s.preventedBeingTackled = r.I32();
    s.foulsDone = r.I32();
    s.haveBeenFouled = r.I32();
    for (int32_t& v : s.passAttempts) v = r.I32();
    for (int32_t& v : s.goodPasses) v = r.I32();
    s.attemptsOnGoal = r.I32();
    s.goalsScored = r.I32();
    s.timeOnBall = r.F32();
}

void WriteSquad(ByteWriter& w, const TeamSquad& squad, NameBytes names)
{
    for (const SquadPlayer& p : squad.players) {
        for (float a : p.attributes) w.F32(a);
        w.I32(p.role);
        w.I32(p.wingFlag);
        w.I32(p.wingSide);
        w.F32(p.formationX);
        w.F32(p.formationZ);
        if (names == NameBytes::AsText) w.Text(p.name, sizeof p.name);
        else w.Bytes(p.name, sizeof p.name);
        w.I32(p.gamesPlayed);
        WriteSquadStats(w, p.career);
        WriteSquadStats(w, p.lastMatch);
        for (int32_t v : p.reserved) w.I32(v);
    }
}

void ReadSquad(ByteReader& r, TeamSquad& squad, size_t nameLength)
{
    for (SquadPlayer& p : squad.players) {
        for (float& a : p.attributes) a = r.F32();
        p.role = r.I32();
        p.wingFlag = r.I32();
        p.wingSide = r.I32();
        p.formationX = r.F32();
        p.formationZ = r.F32();
        r.Text(p.name, sizeof p.name, nameLength);
        p.gamesPlayed = r.I32();
        ReadSquadStats(r, p.career);
        ReadSquadStats(r, p.lastMatch);
        for (int32_t& v : p.reserved) v = r.I32();
    }
}
