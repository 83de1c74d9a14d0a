// ProjectileList: the world's list of flying projectiles (one instance, g_projectiles).
//
// A doubly linked list of at most 20 nodes that owns its projectiles: removing a node deletes
// its projectile, after taking it out of the collision world. Once per play frame `update`
// removes the stopped projectiles and moves the rest, then `draw` draws them, head first. All
// operations are linear in at most 20 entries; add and remove allocate or free one node.
//
// Not guaranteed: `add` does not check for a projectile added twice (callers add what they
// have just built). A refused projectile is not taken: the caller must delete it.
#pragma once

#include <cstdint>
#include <memory>

class Projectile;

constexpr int32_t PROJECTILE_LIST_CAPACITY = 20;

struct ProjectileNode {
    std::unique_ptr<Projectile> m_projectile;
    ProjectileNode* m_next = nullptr;
    ProjectileNode* m_previous = nullptr;
    ProjectileNode();
    ~ProjectileNode();
};

class ProjectileList {
public:
    ProjectileList() = default;
    virtual ~ProjectileList();
    ProjectileList(const ProjectileList&) = delete;
    ProjectileList& operator=(const ProjectileList&) = delete;

    // Takes the projectile and registers it with the collision world (when there is one).
    // False, taking nothing, when the projectile is null or 20 are held: the caller then
    // still owns it and must delete it.
    bool add(Projectile* projectile);
    // Removes stopped projectiles, then updates the rest; makes no GL call.
    void update();
    // Draws every projectile's trail; moves nothing.
    void draw() const;
    // Removes the node: out of the collision world, unlinked, projectile deleted.
    void remove(ProjectileNode* node);

    int32_t count() const { return m_count; }
    ProjectileNode* head() const { return m_head; }
    ProjectileNode* tail() const { return m_tail; }

private:
    ProjectileNode* m_head = nullptr;
    ProjectileNode* m_tail = nullptr;
    int32_t m_count = 0;
};

// The projectiles in flight (shell/gamecontext.cpp); null outside a level.
extern ProjectileList* g_projectiles;
