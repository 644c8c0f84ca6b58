#pragma once

#include <optional>

// What the window program does before it has a window: --help and --version answer without
// a display, and a missing display is said in French rather than by Qt's abort.

// Handles --help (-h) and --version, and the lack of any display: prints the answer and gives
// the exit status. nullopt when the window is to open.
std::optional<int> repondreSansFenetre(int argc, const char *const *argv);

// From its making to lever(), while Qt opens the display: Qt's messages are held back, and a
// display that Qt cannot open ends the program with the French message and exit status 1
// instead of Qt's English one and an abort. lever() passes the held messages on.
class GardeAffichage
{
public:
    GardeAffichage();
    ~GardeAffichage() { lever(); }
    void lever();
    GardeAffichage(const GardeAffichage &) = delete;
    GardeAffichage &operator=(const GardeAffichage &) = delete;

private:
    bool m_active = true;
};
