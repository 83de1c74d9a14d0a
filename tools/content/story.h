// The words of the game: what the three villagers say and offer, and the lines of the
// cutscenes. The level file and the voices are both made from these texts.
// Each villager's greeting teaches a newcomer one thing, in the order they stand from the
// hero's start: Rarozare the unseen creatures, the gun's paint and the bat; Verozi gems and
// trading; Virav the map. A greeting must fit the old-paper box: at most five lines of 58
// characters as the box wraps them.
// Each menu opens on an answer that costs nothing, so Enter pressed to go on never spends
// gems. A menu holds only as many answers as its villager has answer voices (Rarozare
// three counting his refusal, Verozi four with his, Virav three), so every answer is
// spoken: Rarozare sells the bread, Verozi the shells and the frost charges. What one
// villager says of another or of the land must hold in the level: who sells what, where
// the flocks start and where the boss lands (tests/content checks it).
#pragma once

namespace story {

struct Item {
    int id; // 1 life, 2 blue ammunition, 3 red ammunition, 4 the map
    const char* text;
    const char* reply;
};

struct Villager {
    const char* name;
    const char* model;
    const char* normalChat;
    const char* scaredChat;
    const char* menuTitle;
    const char* negativeReply;
    Item items[3];
    int itemCount;
};

inline constexpr Villager VILLAGERS[3] = {
    {"Rarozare",
     "Data/rarozare.ms3d",
     "Tarvo, beware! Some of Doduda's creatures walk unseen. Watch for a shadow moving on "
     "the grass with nobody above it, then shoot it with the left button: the paint shows the "
     "beast. Close in, swing your bat with the right button.",
     "Hide, Tarvo! They are everywhere!",
     "I have little, but it is yours for ten gems.",
     "Ten gems, Tarvo. The fallen creatures drop them. Come back when you have them.",
     {{0, "Nothing for now, thank you", "Then go carefully, Tarvo. Come back when you are hurt."},
      {1, "Herb bread for your wounds (10 gems)", "Eat, and be strong again. The land needs you."},
      {0, "", ""}},
     2},
    {"Verozi",
     "Data/verozi.ms3d",
     "Every creature you fell leaves a gem. Walk over it to pick it up. Trade ten gems "
     "with me for red shells or blue frost charges, or with Rarozare for herb bread.",
     "Not now, Tarvo, not now!",
     "I trade in what a fighter needs. Choose.",
     "You cannot pay for that. Bring me ten gems.",
     {{0, "Nothing for now", "Then go and fight. Bring me gems when you have them."},
      {2, "Blue frost charges (10 gems)",
       "Cold as the mountain streams. A hit freezes a beast where it stands."},
      {3, "Red shells (10 gems)", "Take them, and keep your head down."}},
     3},
    {"Virav",
     "Data/virav.ms3d",
     "Ask me for the map: its red marks show where the creatures wait. Meet the lone ones "
     "first. The flocks roam out of the east, where Doduda will land on the stone ring.",
     "Quiet! They will hear us.",
     "What would you know, young one?",
     "Even I cannot give what I do not have.",
     {{0, "Nothing for now", "Go well, young one. The path will wait for you."},
      {4, "Show me a map of the land", "Here. The red marks are Doduda's creatures. Go carefully."},
      {0, "Who is Doduda?",
       "A sorcerer who hates all that grows. When his last servant falls, he will come down "
       "on the stone ring far to the east, past the river."}},
     3},
};

inline constexpr const char* DREAM_VOICE =
    "Tarvo. Tarvo, wake up. The land is calling you. Doduda has woken, and only you can stop him.";
inline constexpr const char* DODUDA_VOICE =
    "Foolish little hero. My servants cover the valley. When they fall, I will rise, and the river "
    "will run dry.";
inline constexpr const char* ENDING_VOICE =
    "Doduda is gone. The river sings again, and the land is free. Thank you, Tarvo.";

} // namespace story
