#pragma once
// The player's global mute (the --mute option and the M key): silences the sound effects and the
// music together. The music keeps its place while silenced.
namespace peckish {

void setAudioMuted(bool muted);
bool isAudioMuted();
// Flips the global mute; returns the new state.
bool toggleAudioMuted();

}  // namespace peckish
