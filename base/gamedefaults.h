#pragma once

#include <QtGlobal>

// The game's fixed values, written once: the game program, its host, its
// windows and the lobby all take them from here (CMake reads the version too).
namespace Game {

// Sent at login and compared as exact text; shown in the about box.
inline constexpr char VersionText[] = "1.0.2";

// The host listens for players on this port.
inline constexpr quint16 GamePort = 7772;
// A game started by the lobby links back to it on 127.0.0.1 at this port.
inline constexpr quint16 LobbyLinkPort = 9001;

// The phrase buttons' texts until the player changes them.
inline constexpr const char *BuiltInPhrases[9] = {
    "Way To Go!", "Good One!", "Nice Try!",
    "Excellent!", "Brilliant!", "Wow, WTG!",
    "Thanks!", "Way To Go Teamie!", "Good Game Everyone!",
};

} // namespace Game
