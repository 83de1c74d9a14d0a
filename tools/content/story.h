// The words of the game: what the three villagers say and offer, and the lines of the
// cutscenes. The level file and the voices are both made from these texts.
// Each villager's greeting teaches a newcomer one thing, in the order they stand from the
// hero's start: Rarozare the unseen creatures, the gun's paint and the bat; Verozi gems and
// trading; Virav the map. A greeting must fit the old-paper box: at most five lines of 58
// characters as the box wraps them.
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
     "Tarvo, beware! Doduda's creatures walk unseen. Watch for a shadow on the grass and a "
     "puff of smoke, then shoot it with the left button: the paint shows the beast. Close "
     "in, swing your bat with the right button.",
     "Hide, Tarvo! They are everywhere!",
     "I have little, but it is yours for ten gems.",
     "Ten gems, Tarvo. The fallen creatures drop them. Come back when you have them.",
     {{1, "Herb bread for your wounds (10 gems)", "Eat, and be strong again. The land needs you."},
      {3, "Red shells for your gun (10 gems)", "Heavy shells. Aim true, and do not waste them."},
      {0, "", ""}},
     2},
    {"Verozi",
     "Data/verozi.ms3d",
     "Every creature you fell leaves a gem. Walk over it to pick it up. Bring ten gems to "
     "me or to Rarozare and trade them for bread, shells or frost charges.",
     "Not now, Tarvo, not now!",
     "I trade in what a fighter needs. Choose.",
     "You cannot pay for that. Bring me ten gems.",
     {{2, "Blue frost charges (10 gems)",
       "Cold as the mountain streams. They will slow the beasts."},
      {3, "Red shells (10 gems)", "Take them, and keep your head down."},
      {1, "A healing draught (10 gems)", "Drink it all. It tastes of moss, but it works."}},
     3},
    {"Virav",
     "Data/virav.ms3d",
     "I have walked every path of this land. Ask me for the map: its red marks show where "
     "the creatures wait. The flocks roam far to the east. Meet the lone ones first.",
     "Quiet! They will hear us.",
     "What would you know, young one?",
     "Even I cannot give what I do not have.",
     {{4, "Show me a map of the land", "Here. The red marks are Doduda's creatures. Go carefully."},
      {0, "Who is Doduda?",
       "A sorcerer who hates all that grows. When his last servant falls, he will come himself."},
      {0, "Where should I go?",
       "Follow the river north to the ford, then east to the old stone ring."}},
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
