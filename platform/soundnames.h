// The one name of every sound slot and cue. A slot is a place in the sound manager's file
// table (1 to 37, in the order of the table in soundmanager.cpp); a cue is a positional effect
// played once, mapped to a slot by the manager (0 to 14). The cutscene player has its own
// four slots. The numbers follow the tables, so they change only with them.
#pragma once

#include <cstdint>

// The sound manager's slots.
constexpr int32_t SLOT_BAT_HIT = 1;       // "batHit.wav"
constexpr int32_t SLOT_RED_SHOT = 2;      // "redGunShot.wav"
constexpr int32_t SLOT_GREEN_SHOT = 3;    // "greenGunShot.wav"
constexpr int32_t SLOT_BLUE_SHOT = 4;     // "blueGunShot.wav", also the boss's shot
constexpr int32_t SLOT_BAT_SWING = 5;     // "batSwing.wav"
constexpr int32_t SLOT_ENEMY_DEATH = 6;   // "badGuyDeath.wav"
constexpr int32_t SLOT_HERO_HIT = 7;      // "tarvoHit.wav"
constexpr int32_t SLOT_BREATH = 8;        // "loudBreathing.wav", a nearby enemy
constexpr int32_t SLOT_GUN_EMPTY = 9;     // "gunEmpty.wav"
constexpr int32_t SLOT_GRAB_GEM = 10;     // "grabJewel.wav"
constexpr int32_t SLOT_TRADE_GEM = 11;    // "tradeJewel.wav"
constexpr int32_t SLOT_CASTING = 12;      // "grabJewel.wav" again, at a casting magician
constexpr int32_t SLOT_ROOSTER = 13;      // "rooster.wav", the day breaks
constexpr int32_t SLOT_NORMAL_MUSIC = 14; // "normal.wav", the level's music
constexpr int32_t SLOT_ATTACK_MUSIC = 15; // "attack.wav", the boss fight
constexpr int32_t SLOT_GAME_OVER = 16;    // "gameOver.wav"
constexpr int32_t SLOT_TITLE = 17;        // "title.mp3", streamed
constexpr int32_t SLOT_CRICKETS = 18;     // "crickets.wav", at night
constexpr int32_t SLOT_BIRDS = 19;        // "birds.wav", by day
constexpr int32_t SLOT_ENDING_VOICE = 20; // "endingVoice.wav"
constexpr int32_t SLOT_DREAM_MUSIC = 21;  // "dreamMusic.wav", the ending
constexpr int32_t SLOT_RAROZARE_1 = 22;   // "rarozare1.wav" to "rarozare5.wav": 22 to 26
constexpr int32_t SLOT_VEROZI_1 = 27;     // "verozi1.wav" to "verozi6.wav": 27 to 32
constexpr int32_t SLOT_VIRAV_1 = 33;      // "virav1.wav" to "virav5.wav": 33 to 37
constexpr int32_t SLOT_LAST = 37;

// The cues, by what they sound; the manager maps each to its slot. 0 to 10 sound at the
// hero, 11 to 14 where they are played.
constexpr int32_t CUE_RED_SHOT = 0;
constexpr int32_t CUE_GREEN_SHOT = 1;
constexpr int32_t CUE_BLUE_SHOT = 2; // the last of the hero's shots, which start over
constexpr int32_t CUE_BAT_SWING = 3;
constexpr int32_t CUE_BAT_HIT = 4;
constexpr int32_t CUE_ENEMY_DEATH = 5;
constexpr int32_t CUE_HERO_HIT = 6;
constexpr int32_t CUE_SILENT = 7; // has no sound
constexpr int32_t CUE_GUN_EMPTY = 8;
constexpr int32_t CUE_GRAB_GEM = 9;
constexpr int32_t CUE_TRADE_GEM = 10;
constexpr int32_t CUE_CASTING = 11; // the first cue placed where it is played
constexpr int32_t CUE_ROOSTER = 12;
constexpr int32_t CUE_CRICKETS = 13;
constexpr int32_t CUE_BIRDS = 14;
constexpr int32_t CUE_LAST = 14;

// The cutscene player's slots.
constexpr int32_t CUTSCENE_SLOT_DREAM_VOICE = 1;  // "dreamVoice.wav"
constexpr int32_t CUTSCENE_SLOT_DREAM_MUSIC = 2;  // "dreamMusic.wav"
constexpr int32_t CUTSCENE_SLOT_DODUDA_VOICE = 3; // "dodudaVoice.wav"
constexpr int32_t CUTSCENE_SLOT_DODUDA_MUSIC = 4; // "dodudaMusic.wav"
