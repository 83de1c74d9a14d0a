// The content generator's models: every .ms3d file the game and its level file name, each with
// its painted texture beside it in Data/.
#include "generators.h"

#include "common/output.h"
#include "models/humanoid.h"
#include "models/props.h"

#include <functional>
#include <set>
#include <stdexcept>
#include <utility>
#include <vector>

using namespace content::models;

void generateModels(const std::string& root) {
    const std::vector<std::pair<std::string, std::function<BuiltModel()>>> models = {
        {"Data/tarvo.ms3d", [] { return buildHero(false); }},
        {"Data/tarvo_moviestar.ms3d", [] { return buildHero(true); }},
        {"Data/enemy.ms3d", buildEnemy},
        {"Data/magician.ms3d", buildMagician},
        {"Data/boss.ms3d", buildBoss},
        {"Data/rarozare.ms3d", buildRarozare},
        {"Data/virav.ms3d", buildVirav},
        {"Data/verozi.ms3d", buildVerozi},
        {"Data/doduda_moviestar.ms3d", buildDoduda},
        {"Data/magic_line.ms3d", buildMagicLine},
        {"Data/enemy_line.ms3d", buildEnemyLine},
        {"Data/insect_line.ms3d", buildInsectLine},
        {"Data/gem1.ms3d", [] { return buildGem(1); }},
        {"Data/gem2.ms3d", [] { return buildGem(2); }},
        {"Data/gem3.ms3d", [] { return buildGem(3); }},
        {"Data/pine.ms3d", buildPine},
        {"Data/oak.ms3d", buildOak},
        {"Data/rock.ms3d", buildRock},
        {"Data/hut.ms3d", buildHut},
        {"Data/tree.ms3d", buildDreamTree},
        {"Data/TitleObject.ms3d", buildTitle},
        {"Data/dodudabg.ms3d", buildBackdrop},
    };
    std::set<std::string> textures;
    content::beginStage("models", static_cast<int>(models.size()));
    for (const auto& [name, build] : models) {
        content::progress(name);
        const BuiltModel m = build();
        if (m.file.vertices.size() > 2000)
            throw std::runtime_error(name + ": more than 2000 vertices");
        content::writeFile(root + "/" + name, m.file.encode());
        // Line models share their figure's texture; write each texture once.
        if (textures.insert(m.textureFile).second)
            content::writeBmp(root + "/" + m.textureFile, m.texture);
    }
}
