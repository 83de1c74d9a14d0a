// Matrix: a 4 by 4 transform stored exactly as OpenGL stores it (column-major:
// element (row r, column c) is m[c*4 + r]; translation in m[12..14]), so arrays read
// back with glGetFloatv copy in unchanged. postMultiply is affine: it ignores and
// resets the bottom row.
#pragma once

class Quaternion;

class Matrix {
public:
    Matrix() { loadIdentity(); }
    explicit Matrix(const float* src) { set(src); }
    // Arguments in row-major reading order, stored transposed.
    Matrix(float a00, float a01, float a02, float a03, float a10, float a11, float a12, float a13,
           float a20, float a21, float a22, float a23, float a30, float a31, float a32, float a33);
    Matrix(const Matrix&) = default;
    Matrix& operator=(const Matrix&) = default;
    virtual ~Matrix() = default;

    void loadIdentity();
    void set(const float* src);
    const float* getMatrix() const { return m; }
    float operator()(int row, int col) const { return m[col * 4 + row]; }
    float& operator()(int row, int col) { return m[col * 4 + row]; }

    void postMultiply(const Matrix& b);
    void setTranslation(const float t[3]);
    void setRotationRadians(const float angles[3]);
    void setRotationQuaternion(const Quaternion& q);
    void inverseTranslateVect(float p[3]) const;
    void inverseRotateVect(float p[3]) const;
    // Maps world points into this transform's frame, keeping only its yaw.
    Matrix getInverseYawTransform() const;

    float m[16];
};
