#pragma once
// The player's sound settings: three volumes, the captions of the spoken lines, and the captions
// themselves. This is what a settings screen calls; every change is heard or seen at once and
// remembered in the user defaults (platform/Settings.h) for the next start.
//
// Volumes, 0 to 100 % in steps of 10 (100 when never set):
//   Music    the menu and game music (the background track player's volume)
//   Effects  Hit, Miss, GameOver
//   Voice    the spoken pickup lines
// Each applies to what is playing and to what plays next. The mute (M) stays a master switch on
// top: muted, nothing is heard whatever the volumes, and unmuting brings the volumes back.
//
//   setSoundVolume(Volume::Music, 30);   // quieter music, at once, remembered
//   playVolumeSample(Volume::Effects);   // a short sound at the new level
//   setCaptionMode(CaptionMode::On);
//
// Captions: while a spoken line plays its words are shown, with who speaks, in a strip that covers
// no hole (in a game: the sky above the fence, below the score line; elsewhere, as in the main
// menu: the bottom middle, between the two characters' holes), and taken away when the line ends.
// Auto (the default) shows them when the player would not hear the line: muted or voice volume 0.
#include <string>

#include "math/Vec2.h"

namespace peckish {

namespace ui {
class Caption;
}

enum class Volume { Music, Effects, Voice };
enum class CaptionMode { Off, On, Auto };

// In percent.
int soundVolume(Volume which);
// Rounds to the nearest step of 10 in 0 to 100, applies it and remembers it.
void setSoundVolume(Volume which, int percent);
// A short sound at the volume (Effects: Hit.caf; Voice: a pickup line, with its caption); Music
// plays nothing (the music is playing already).
void playVolumeSample(Volume which);

CaptionMode captionMode();
void setCaptionMode(CaptionMode mode);  // remembered
// Whether a line starting now shows its caption (On; or Auto while muted or the voice at 0).
bool captionsShown();

// At launch: the remembered volumes and caption mode, applied.
void applyRememberedSoundSettings();

// Plays a pickup line by its sound file (unless muted) and captions it when captionsShown(), for
// as long as the line plays. Lines not in the table play without a caption.
void speakPickupLine(const std::string& file);
// The caption widget (null before the first caption).
ui::Caption* currentCaption();
// Where captions go in a game and elsewhere (landscape scene coordinates).
CGRect captionStrip(bool inGame);

}  // namespace peckish
