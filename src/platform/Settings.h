#pragma once
// The settings a player changes while playing: mute, fullscreen and the window scale, and the
// answer about sharing play statistics. They are kept in the user defaults beside the player name
// ("mute", "fullscreen" and "analytics" as 0 or 1, "scale" as a whole number) whenever they change,
// and used at the next start.
//
// For a run, each comes from the command line when given there, else from the remembered value,
// else from the default (sound on, windowed, the largest scale that fits the desktop). Headless runs
// keep scale 2 unless --scale says otherwise.
#include <optional>

#include "platform/Options.h"

namespace peckish::platform {

inline constexpr const char* kMuteSetting = "mute";
inline constexpr const char* kFullscreenSetting = "fullscreen";
inline constexpr const char* kScaleSetting = "scale";
// Scene changes as a short fade and nothing on screen shaking or flashing (the settings screen).
inline constexpr const char* kReducedMotionSetting = "reduced-motion";
// The sound settings: each volume in percent (0 to 100, a multiple of 10; 100 when never set), and
// the captions of the spoken lines as "on", "off" or "auto" ("auto" when never set).
inline constexpr const char* kMusicVolumeSetting = "music-volume";
inline constexpr const char* kEffectsVolumeSetting = "effects-volume";
inline constexpr const char* kVoiceVolumeSetting = "voice-volume";
inline constexpr const char* kCaptionsSetting = "captions";
// The player's answer to the question about sharing play statistics: 1 share, 0 don't; absent
// until answered.
inline constexpr const char* kAnalyticsSetting = "analytics";

// Fills in what the command line left open (see above). A remembered scale marks nothing as given,
// so the display still brings it down to what the desktop allows.
void applyRememberedSettings(Options& options);

void rememberMute(bool muted);
void rememberFullscreen(bool on);
void rememberScale(int scale);
void rememberReducedMotion(bool on);
// The remembered wish for reduced motion; off when none is remembered.
bool rememberedReducedMotion();
std::optional<bool> rememberedAnalyticsConsent();
void rememberAnalyticsConsent(bool share);

// A remembered volume (one of the keys above), 100 when none or not a valid one.
int rememberedVolume(const char* key);
void rememberVolume(const char* key, int percent);
// "on", "off" or "auto".
const char* rememberedCaptions();
void rememberCaptions(const char* mode);

}  // namespace peckish::platform
