// The skinned model's drawing: the posed arrays or, for comparison, corner by corner in
// immediate mode, with the cartoon outline and the feed of the shadow builders. The model's
// loading, skeleton, animation and skinning stay in models/skinnedmodel.cpp, which makes no
// GL call.
#include "models/skinnedmodel.h"
#include "platform/frameprofile.h"

#include <GL/gl.h>
#include <algorithm>

namespace {

// A mesh's material and texture; a mesh without a valid material draws untextured.
void applyMaterial(const std::vector<ModelMaterial>& materials, int32_t count, int32_t index) {
    if (index < 0 || index >= count || size_t(index) >= materials.size()) {
        glDisable(GL_TEXTURE_2D);
        return;
    }
    const ModelMaterial& material = materials[size_t(index)];
    glMaterialfv(GL_FRONT, GL_AMBIENT, material.m_ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material.m_diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, material.m_specular);
    glMaterialfv(GL_FRONT, GL_EMISSION, material.m_emissive);
    glMaterialf(GL_FRONT, GL_SHININESS, material.m_shininess);
    if (material.m_texture != 0) {
        glBindTexture(GL_TEXTURE_2D, material.m_texture);
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

} // namespace

bool SkinnedModel::s_plainDrawing = false;

void SkinnedModel::emitCorner(const ModelTriangle& triangle, int corner, bool withMaterial,
                              float recorded[3]) const {
    const ModelVertex& vertex = m_vertices[triangle.m_vertexIndices[corner]];
    if (withMaterial)
        glTexCoord2f(triangle.m_s[corner], triangle.m_t[corner]);
    if (vertex.m_boneId < 0 || vertex.m_boneId >= m_jointCount) {
        if (withMaterial) {
            glNormal3fv(triangle.m_normals[corner]);
            glVertex3fv(vertex.m_position);
        }
        std::copy(vertex.m_position, vertex.m_position + 3, recorded);
        return;
    }
    const Matrix& final = m_joints[vertex.m_boneId].m_final;
    Vector position(vertex.m_position);
    position.transform(final);
    position.getArray(recorded);
    if (m_hideSkinned)
        return;
    if (withMaterial) {
        Vector normal(triangle.m_normals[corner]);
        normal.transform3(final);
        normal.normalize();
        float n[3];
        normal.getArray(n);
        glNormal3fv(n);
    }
    glVertex3fv(recorded);
}

void SkinnedModel::drawModel() {
    if (s_plainDrawing || m_hideSkinned || !glIsEnabled(GL_CULL_FACE)) {
        drawModelPlain();
        return;
    }
    GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    for (auto& volume : m_shadowVolumes)
        volume->beginFrame(m_triangleCount);
    // A model standing still (scenery, a held pose) keeps last frame's arrays.
    bool posed =
        m_arraysSerial != m_poseSerial || m_posedPositions.size() != size_t(m_vertexCount) * 3;
    if (posed)
        poseVertices();

    if (m_outline) {
        // The cartoon outline: every back face as black lines 3 pixels wide at half alpha,
        // where overlapping lines build up a deeper black. The GL picks the back faces;
        // the whole model is one draw from the posed vertices.
        frameprofile::PassScope pass(frameprofile::PASS_OUTLINES);
        if (m_outlineCorners.empty()) {
            for (const ModelMesh& mesh : m_meshes)
                for (int32_t index : mesh.m_triangleIndices) {
                    const int32_t* v = m_triangles[size_t(index)].m_vertexIndices;
                    m_outlineCorners.insert(m_outlineCorners.end(), v, v + 3);
                }
        }
        if (!m_outlineCorners.empty()) {
            // Only what the outline changes: a whole push and pop per model costs the driver
            // more than the lines.
            glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_DEPTH_BUFFER_BIT |
                         GL_POLYGON_BIT);
            glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
            glDisable(GL_LIGHTING);
            glDisable(GL_TEXTURE_2D);
            glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
            glLineWidth(3.0f);
            glPolygonMode(GL_BACK, GL_LINE);
            glCullFace(GL_FRONT);
            glDepthFunc(GL_LEQUAL);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_COLOR_ARRAY);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            glEnableClientState(GL_VERTEX_ARRAY);
            glVertexPointer(3, GL_FLOAT, 0, m_posedPositions.data());
            glDrawRangeElements(GL_TRIANGLES, 0, GLuint(m_vertexCount - 1),
                                GLsizei(m_outlineCorners.size()), GL_UNSIGNED_INT,
                                m_outlineCorners.data());
            glPopClientAttrib();
            glPopAttrib();
        }
    }

    bool feed = m_shadowFrame == 0;
    if (feed) {
        for (auto& volume : m_shadowVolumes)
            volume->clear();
    }
    if (m_cornerSlots.empty()) {
        buildCornerSlots();
        posed = true;
    }
    if (posed || m_cornerPositions.empty())
        fillCornerArrays();
    m_arraysSerial = m_poseSerial;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, m_cornerPositions.data());
    glNormalPointer(GL_FLOAT, 0, m_cornerNormals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, m_cornerTexCoords.data());
    size_t first = 0;
    for (size_t m = 0; m < m_meshes.size(); ++m) {
        const ModelMesh& mesh = m_meshes[m];
        applyMaterial(m_materials, m_materialCount, mesh.m_materialIndex);
        const size_t corners = mesh.m_triangleIndices.size() * 3;
        if (corners > 0)
            glDrawRangeElements(GL_TRIANGLES, m_meshSlots[m][0], m_meshSlots[m][1],
                                GLsizei(corners), GL_UNSIGNED_INT, &m_cornerSlots[first]);
        if (feed) {
            for (size_t c = first; c < first + corners; c += 3) {
                ShadowTriangle record;
                const ModelTriangle& triangle =
                    m_triangles[mesh.m_triangleIndices[(c - first) / 3]];
                for (int k = 0; k < 3; ++k) {
                    const float* at = &m_cornerPositions[size_t(m_cornerSlots[c + k]) * 3];
                    std::copy(at, at + 3, record.m_corners[k]);
                    record.m_vertexIndices[k] = triangle.m_vertexIndices[k];
                }
                for (auto& volume : m_shadowVolumes)
                    volume->addTriangle(record);
            }
        }
        first += corners;
    }
    glPopClientAttrib();
    if (first > 0) {
        // Corner by corner, the last corner's normal and texture coordinate stayed
        // current; whatever is drawn next without its own (the landscape takes its
        // lighting from the current normal) must still find them.
        const size_t last = m_cornerSlots[first - 1];
        glNormal3fv(&m_cornerNormals[last * 3]);
        glTexCoord2fv(&m_cornerTexCoords[last * 2]);
    }
    glDisable(GL_TEXTURE_2D);
    if (feed) {
        for (auto& volume : m_shadowVolumes)
            volume->finish();
    }
    m_shadowFrame = (m_shadowFrame + 1) % m_shadowPeriod;
    if (textured)
        glEnable(GL_TEXTURE_2D);
}

void SkinnedModel::drawModelPlain() {
    GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    for (auto& volume : m_shadowVolumes)
        volume->beginFrame(m_triangleCount);

    float scratch[3];
    if (m_outline && !m_hideSkinned) {
        // Back faces as thick black lines behind the model: the cartoon outline.
        frameprofile::PassScope pass(frameprofile::PASS_OUTLINES);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glDisable(GL_LIGHTING);
        glColor4f(0.0f, 0.0f, 0.0f, 0.5f);
        glPolygonMode(GL_BACK, GL_LINE);
        glLineWidth(3.0f);
        glCullFace(GL_FRONT);
        glDepthFunc(GL_LEQUAL);
        glBegin(GL_TRIANGLES);
        for (const ModelMesh& mesh : m_meshes) {
            for (int32_t index : mesh.m_triangleIndices) {
                for (int k = 0; k < 3; ++k)
                    emitCorner(m_triangles[index], k, true, scratch);
            }
        }
        glEnd();
        glDepthFunc(GL_LESS);
        glEnable(GL_LIGHTING);
        glPopAttrib();
    }

    bool feed = m_shadowFrame == 0;
    if (feed) {
        for (auto& volume : m_shadowVolumes)
            volume->clear();
    }
    for (const ModelMesh& mesh : m_meshes) {
        applyMaterial(m_materials, m_materialCount, mesh.m_materialIndex);
        glBegin(GL_TRIANGLES);
        for (int32_t index : mesh.m_triangleIndices) {
            const ModelTriangle& triangle = m_triangles[index];
            ShadowTriangle record;
            for (int k = 0; k < 3; ++k) {
                emitCorner(triangle, k, true, record.m_corners[k]);
                record.m_vertexIndices[k] = triangle.m_vertexIndices[k];
            }
            if (feed) {
                for (auto& volume : m_shadowVolumes)
                    volume->addTriangle(record);
            }
        }
        glEnd();
    }
    glDisable(GL_TEXTURE_2D);
    if (feed) {
        for (auto& volume : m_shadowVolumes)
            volume->finish();
    }
    m_shadowFrame = (m_shadowFrame + 1) % m_shadowPeriod;
    if (textured)
        glEnable(GL_TEXTURE_2D);
}

void SkinnedModel::drawShadowVolumes(float x, float y, float z, float heading) {
    for (auto& volume : m_shadowVolumes)
        volume->draw(x, y, z, heading);
}
