#pragma once
// Affine mapping from page units (millimetres) to device pixels, with a stack
// of saved matrices and a cache of the inverse and its fixed-point forms for
// the raster loops.
#include <array>
#include <cstdint>
#include <vector>

#include "Object.h"
#include "Types.h"

// Nine Singles row by row; a point maps to (m0 x + m1 y + m2, m3 x + m4 y + m5).
using TMatrix = std::array<float, 9>;
using TFixedMatrix = std::array<int32_t, 9>;

float Det2(float a, float b, float c, float d);
float Det3(const TMatrix& M);
float MatrixDeterminant(const TMatrix& M);
void MatrixAdjugate(TMatrix& M);
void MatrixScale(TMatrix& M, float F);
// In place; a near-singular matrix (|det| < 1e-5) becomes the identity.
void MatrixInvert(TMatrix& M);
// C := B x A (A acts first).
void MatrixMultiply(const TMatrix& A, const TMatrix& B, TMatrix& C);
void MatrixToFixed16(const TMatrix& M, TFixedMatrix& F);
TMatrix IdentityMatrix();

class TTransformation : public TObject {
public:
    LUMI_CLASSNAME(TTransformation)
    TTransformation();
    ~TTransformation() override;
    TTransformation(const TTransformation&) = delete;
    TTransformation& operator=(const TTransformation&) = delete;

    void SetIdentity();
    // Each of these post-multiplies: it acts in the current (local) coordinates.
    void Translate(float DX, float DY);
    void Scale(float SX, float SY);
    void ScaleUniform(float S);
    // Positive angles turn clockwise on a y-down device.
    void RotateAt(float CX, float CY, float Angle);
    void Rotate(float Angle);
    void Multiply(const TTransformation& Other);      // Other acts first
    void MultiplyLeft(const TTransformation& Other);  // Other acts after this one
    // Copies the matrix, the cache and its flag (not the stack).
    void Assign(const TTransformation& Source);

    void Push();
    void Pop();
    void PopAll();
    int StackCount() const { return int(Stack.size()); }

    void UpdateCache();
    bool CacheValid() const { return CacheValid_; }

    void Transform(float X, float Y, float& RX, float& RY);
    void InverseTransform(float X, float Y, float& RX, float& RY);
    void TransformVector(float DX, float DY, float& RX, float& RY);
    void InverseTransformVector(float DX, float DY, float& RX, float& RY);
    // Integer device rectangle bounding the four mapped corners (rounded).
    TRect TransformBounds(float Left, float Top, float Right, float Bottom);
    // Device pixel to source pixel through the 20.12 inverse (rounding constant 2047).
    void InverseTransformFixed(int32_t X, int32_t Y, int32_t& RX, int32_t& RY);
    // 16.16 in and out; the caller has refreshed the cache.
    void InverseTransformFixed16(int32_t X, int32_t Y, int32_t& RX, int32_t& RY) const;

    const TMatrix& Matrix() const { return Matrix_; }
    void SetMatrix(const TMatrix& M);
    // The cached forms (valid after UpdateCache).
    const TMatrix& Inverse() const { return Inverse_; }
    const TFixedMatrix& Matrix12() const { return Matrix12_; }
    const TFixedMatrix& Inverse12() const { return Inverse12_; }
    const TFixedMatrix& Matrix16() const { return Matrix16_; }
    const TFixedMatrix& Inverse16() const { return Inverse16_; }

private:
    void PostMultiply(const TMatrix& Other);

    std::vector<TMatrix> Stack;
    bool CacheValid_ = false;
    TMatrix Matrix_;
    TMatrix Inverse_;
    TFixedMatrix Matrix12_{};
    TFixedMatrix Inverse12_{};
    TFixedMatrix Matrix16_{};
    TFixedMatrix Inverse16_{};
};

// Pushes the transformation for a scope and pops it at its end, also when
// drawing throws.
class TTransformationScope {
public:
    explicit TTransformationScope(TTransformation& T) : t_(T) { t_.Push(); }
    ~TTransformationScope() { t_.Pop(); }
    TTransformationScope(const TTransformationScope&) = delete;
    TTransformationScope& operator=(const TTransformationScope&) = delete;

private:
    TTransformation& t_;
};
