#include "models/matrix.h"
#include "models/quaternion.h"
#include "models/vector.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(VectorRules, NormalizeIsZeroAndApproach) {
    Vector zero;
    zero.normalize();
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    EXPECT_TRUE(zero.isZero());
    EXPECT_FALSE(Vector(0.0f, 0.0f, 1e-30f).isZero());

    Vector v;
    v.approach(Vector(0, 0, 0), Vector(0.69f, 0, 0), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.69f); // snaps inside 0.7
    v.approach(Vector(0, 0, 0), Vector(0.7f, 0, 0), 5.0f);
    EXPECT_FLOAT_EQ(v.x, 0.14f); // one fifth of the way
    EXPECT_EQ(v.w, 1.0f);
}

TEST(VectorRules, TransformWritesWButGetArrayIgnoresIt) {
    Matrix m(1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0.5f, 2);
    Vector v(1, 2, 3);
    v.transform(m);
    EXPECT_FLOAT_EQ(v.x, 6.0f);
    EXPECT_FLOAT_EQ(v.y, 8.0f);
    EXPECT_FLOAT_EQ(v.z, 10.0f);
    EXPECT_FLOAT_EQ(v.w, 3.5f);
    float out[3];
    v.getArray(out);
    EXPECT_FLOAT_EQ(out[2], 10.0f);

    Vector r(1, 0, 0);
    r.rotateAxis(static_cast<float>(3.141592653589793 / 2), Vector(0, 1, 0));
    EXPECT_NEAR(r.x, 0.0f, 1e-6);
    EXPECT_NEAR(r.z, -1.0f, 1e-6);
    Vector c;
    c.cross(Vector(1, 0, 0), Vector(0, 1, 0));
    EXPECT_FLOAT_EQ(c.z, 1.0f);
}

TEST(MatrixRules, RowMajorArgumentsAreStoredColumnMajor) {
    Matrix m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m.getMatrix()[1], 5.0f);
    EXPECT_EQ(m.getMatrix()[12], 4.0f);
    EXPECT_EQ(m(0, 3), 4.0f);
}

TEST(MatrixRules, PostMultiplyIsAffineAndMayAlias) {
    Matrix a(1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 9, 9, 9, 9);
    Matrix b(0, -1, 0, 4, 1, 0, 0, 0, 0, 0, 1, 0, 7, 7, 7, 7);
    a.postMultiply(b);
    const float* m = a.getMatrix();
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[7], 0.0f);
    EXPECT_EQ(m[11], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_FLOAT_EQ(m[12], 5.0f); // A's rotation times B's translation plus A's
    EXPECT_FLOAT_EQ(m[4], -1.0f);

    Matrix t;
    const float move[3] = {1, 0, 0};
    t.setTranslation(move);
    t.postMultiply(t);
    EXPECT_FLOAT_EQ(t.getMatrix()[12], 2.0f);
}

TEST(MatrixRules, RigidTransformKeepsItsBottomRow) {
    Matrix m;
    const float angles[3] = {0.3f, -1.1f, 2.0f};
    const float move[3] = {4, 5, 6};
    m.setRotationRadians(angles);
    m.setTranslation(move);
    EXPECT_EQ(m.getMatrix()[3], 0.0f);
    EXPECT_EQ(m.getMatrix()[7], 0.0f);
    EXPECT_EQ(m.getMatrix()[11], 0.0f);
    EXPECT_EQ(m.getMatrix()[15], 1.0f);
    // The quaternion of the same angles gives the same rotation.
    Matrix q;
    q.setRotationQuaternion(Quaternion(angles));
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        EXPECT_NEAR(q.getMatrix()[i], m.getMatrix()[i], 1e-5) << i;
    // The inverse rotation undoes the rotation.
    Vector p(1, 2, 3);
    p.transform3(m);
    p.inverseTransform3(m);
    EXPECT_NEAR(p.x, 1.0f, 1e-5);
    EXPECT_NEAR(p.z, 3.0f, 1e-5);
}

TEST(MatrixRules, InverseYawTransformMapsTheOriginHome) {
    Matrix m;
    const float angles[3] = {0.0f, 0.7f, 0.0f};
    const float move[3] = {10, 2, -4};
    m.setRotationRadians(angles);
    m.setTranslation(move);
    Vector p(10, 2, -4);
    p.transform(m.getInverseYawTransform());
    EXPECT_NEAR(p.x, 0.0f, 1e-5);
    EXPECT_NEAR(p.y, 0.0f, 1e-5);
    EXPECT_NEAR(p.z, 0.0f, 1e-5);
}

TEST(QuaternionRules, SlerpEndsAndOppositeSigns) {
    const float a1[3] = {0.0f, 0.0f, 0.0f};
    const float a2[3] = {0.0f, 1.0f, 0.0f};
    Quaternion q1(a1), q2(a2);
    Quaternion s0(q1, q2, 0.0f), s1(q1, q2, 1.0f);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(s0[i], q1[i], 1e-6);
        EXPECT_NEAR(std::fabs(s1[i]), std::fabs(q2[i]), 1e-6);
    }
    // q and -q are the same rotation: the sign flip takes the nearly-equal branch.
    Quaternion neg = q2;
    neg.inverse();
    Quaternion half(q2, neg, 0.5f);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(half[i], q2[i], 1e-6);
}
