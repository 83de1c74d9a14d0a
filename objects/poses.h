// The poses of each kind of animated model, by what the figure does in them. A pose id is
// what the animation queue and the model's blend take; the numbers are the order in which
// the content generator writes the poses into each model file, so they must not change
// without the models. Hold (ANIMATION_HOLD) is no pose: it keeps the current one.
#pragma once

#include <cstdint>

// The hero in play (Data/tarvo.ms3d).
enum HeroPose : int32_t {
    HERO_IDLE = 0,
    HERO_WALK_RIGHT = 1, // a walk step, right foot forward
    HERO_WALK_LEFT = 2,
    HERO_WADE_RIGHT = 3, // wading steps, on a water cell
    HERO_WADE_LEFT = 4,
    HERO_RISE = 5,
    HERO_FALL = 6,
    HERO_ROLL_CROUCH = 7, // the roll: the landing crouch, then the tucked body a third
    HERO_ROLL_THIRD = 8,  // and two thirds of the way round
    HERO_ROLL_TWO_THIRDS = 9,
    HERO_AIM = 10,
    HERO_HOP_AIR = 11, // the side hop: in the air, then landing with the legs apart
    HERO_HOP_LAND = 12,
    HERO_SWEEP_RIGHT = 13, // the level sweep of the bat, from the right across the front
    HERO_SWEEP_FRONT_RIGHT = 14,
    HERO_SWING_FRONT = 15, // the bat straight ahead: the middle of the sweep and of the chop
    HERO_SWEEP_FRONT_LEFT = 16,
    HERO_SWEEP_LEFT = 17,
    HERO_CHOP_OVERHEAD = 18, // the upright chop: overhead, raised, (front), low
    HERO_CHOP_RAISED = 19,
    HERO_CHOP_LOW = 20,
    HERO_HIT_BODY = 21, // hit reactions by struck part
    HERO_HIT_HEAD = 22,
    HERO_HIT_LEG = 23,
    HERO_HIT_ARM = 24,
    HERO_STAGGER = 25, // the heavy hit and the way down
    HERO_DOWN = 26,
    HERO_POSE_COUNT = 27,
};

// Melee enemies and magicians (Data/enemy.ms3d, Data/magician.ms3d). The attack is a
// brute's wind-up, strike and kick, a magician's raised arms, arms high and thrust.
enum EnemyPose : int32_t {
    ENEMY_IDLE = 0,
    ENEMY_WALK_RIGHT = 1,
    ENEMY_WALK_LEFT = 2,
    ENEMY_JUMP = 3,
    ENEMY_FALL = 4,
    ENEMY_ATTACK_WIND_UP = 5,
    ENEMY_ATTACK_STRIKE = 6,
    ENEMY_ATTACK_FINISH = 7,
    ENEMY_HIT_SHOT = 8, // hit reactions: a projectile or an unknown part, then by part
    ENEMY_HIT_HEAD = 9,
    ENEMY_HIT_ARM = 10,
    ENEMY_HIT_LEG = 11,
    ENEMY_HIT_SIDE = 12,
    ENEMY_HIT_GUT = 13,
    ENEMY_KNEEL = 14, // the collapse, then lying dead
    ENEMY_LYING = 15,
    ENEMY_POSE_COUNT = 16,
};

// The boss (Data/boss.ms3d): an enemy's body with a caster's attack.
enum BossPose : int32_t {
    BOSS_POSE_IDLE = 0,
    BOSS_POSE_WALK_RIGHT = 1,
    BOSS_POSE_WALK_LEFT = 2,
    BOSS_POSE_JUMP = 3,
    BOSS_POSE_FALL = 4,
    BOSS_POSE_RAISE = 5, // the cast: arms raised, arms high, the thrust
    BOSS_POSE_ARMS_HIGH = 6,
    BOSS_POSE_THRUST = 7,
    BOSS_POSE_KNEEL = 14,
    BOSS_POSE_LYING = 15,
    BOSS_POSE_COUNT = 16,
};

// The boss walks, jumps, is hit and dies through the enemies' code, so the poses it shares
// with them must stand at the same places.
constexpr bool SamePose(int32_t a, int32_t b) {
    return a == b;
}
static_assert(
    SamePose(BOSS_POSE_IDLE, ENEMY_IDLE) && SamePose(BOSS_POSE_WALK_RIGHT, ENEMY_WALK_RIGHT) &&
        SamePose(BOSS_POSE_WALK_LEFT, ENEMY_WALK_LEFT) && SamePose(BOSS_POSE_JUMP, ENEMY_JUMP) &&
        SamePose(BOSS_POSE_FALL, ENEMY_FALL) && SamePose(BOSS_POSE_RAISE, ENEMY_ATTACK_WIND_UP) &&
        SamePose(BOSS_POSE_THRUST, ENEMY_ATTACK_FINISH) && SamePose(BOSS_POSE_KNEEL, ENEMY_KNEEL) &&
        SamePose(BOSS_POSE_LYING, ENEMY_LYING) && SamePose(BOSS_POSE_COUNT, ENEMY_POSE_COUNT),
    "the boss shares the enemies' pose order");

// Every model's first pose (idle, or standing), where an empty animation queue settles.
constexpr int32_t REST_POSE = 0;

// The villagers who talk and trade (Data/rarozare.ms3d, Data/verozi.ms3d, Data/virav.ms3d).
enum VillagerPose : int32_t {
    VILLAGER_IDLE = 0,
    VILLAGER_WALK_RIGHT = 1,
    VILLAGER_WALK_LEFT = 2,
    VILLAGER_WAVE = 3,
    VILLAGER_POSE_COUNT = 4,
};

// The cutscene actors: the hero (Data/tarvo_moviestar.ms3d) ...
enum ActorHeroPose : int32_t {
    ACTOR_HERO_STAND = 0,
    ACTOR_HERO_LOOK_UP = 1,
    ACTOR_HERO_POINT_LEFT = 2, // looks and reaches to his left
    ACTOR_HERO_POINT_RIGHT = 3,
    ACTOR_HERO_WIND_UP = 4, // a practice swing: the wind-up and the follow-through
    ACTOR_HERO_FOLLOW_THROUGH = 5,
    ACTOR_HERO_ASLEEP = 6,
    ACTOR_HERO_SIT = 7,
    ACTOR_HERO_CHEER = 8,
    ACTOR_HERO_JUMP = 9,
    ACTOR_HERO_TRIUMPH = 10, // the bat raised high
    ACTOR_HERO_POSE_COUNT = 11,
};

// ... and Doduda with his staff (Data/doduda_moviestar.ms3d).
enum ActorDodudaPose : int32_t {
    ACTOR_DODUDA_STAND = 0,
    ACTOR_DODUDA_RAISE_STAFF = 1,
    ACTOR_DODUDA_THRUST_STAFF = 2,
    ACTOR_DODUDA_POSE_COUNT = 3,
};

static_assert(SamePose(REST_POSE, HERO_IDLE) && SamePose(REST_POSE, ENEMY_IDLE) &&
                  SamePose(REST_POSE, BOSS_POSE_IDLE) && SamePose(REST_POSE, VILLAGER_IDLE) &&
                  SamePose(REST_POSE, ACTOR_HERO_STAND) && SamePose(REST_POSE, ACTOR_DODUDA_STAND),
              "every model rests in its first pose");
