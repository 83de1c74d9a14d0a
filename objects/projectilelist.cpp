#include "objects/projectilelist.h"

#include "objects/projectile.h"
#include "world/collisionworld.h"

ProjectileNode::ProjectileNode() = default;
ProjectileNode::~ProjectileNode() = default;

ProjectileList::~ProjectileList() {
    while (m_head)
        remove(m_head);
}

bool ProjectileList::add(Projectile* projectile) {
    if (!projectile || m_count >= PROJECTILE_LIST_CAPACITY)
        return false;
    auto* node = new ProjectileNode;
    node->m_projectile.reset(projectile);
    node->m_previous = m_tail;
    if (m_tail)
        m_tail->m_next = node;
    else
        m_head = node;
    m_tail = node;
    ++m_count;
    if (g_collisionWorld)
        g_collisionWorld->addProjectile(projectile);
    return true;
}

void ProjectileList::remove(ProjectileNode* node) {
    if (!node)
        return;
    if (g_collisionWorld)
        g_collisionWorld->removeProjectile(node->m_projectile.get());
    if (node->m_previous)
        node->m_previous->m_next = node->m_next;
    else
        m_head = node->m_next;
    if (node->m_next)
        node->m_next->m_previous = node->m_previous;
    else
        m_tail = node->m_previous;
    delete node; // destroys the projectile through its virtual destructor
    --m_count;
    if (m_count < 2)
        m_tail = m_head;
}

void ProjectileList::update() {
    for (ProjectileNode* node = m_head; node;) {
        ProjectileNode* next = node->m_next;
        if (!node->m_projectile->m_flying)
            remove(node);
        node = next;
    }
    for (ProjectileNode* node = m_head; node; node = node->m_next)
        node->m_projectile->update();
}

void ProjectileList::draw() const {
    // Each trail keeps the matrix it was handed (the particles push and pop their own).
    for (const ProjectileNode* node = m_head; node; node = node->m_next)
        node->m_projectile->draw();
}
