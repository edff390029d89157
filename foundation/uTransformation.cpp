#include "uTransformation.h"

#include <algorithm>
#include <cmath>

#include "SysUtils.h"
#include "uFixedMath.h"

float Det2(float a, float b, float c, float d) { return float(double(a) * d - double(b) * c); }

float Det3(const TMatrix& m)
{
    return float(double(m[0]) * Det2(m[4], m[5], m[7], m[8]) - double(m[3]) * Det2(m[1], m[2], m[7], m[8]) +
                 double(m[6]) * Det2(m[1], m[2], m[4], m[5]));
}

float MatrixDeterminant(const TMatrix& M) { return Det3(M); }

void MatrixAdjugate(TMatrix& M)
{
    const TMatrix m = M;
    // Transposed cofactors.
    M[0] = Det2(m[4], m[5], m[7], m[8]);
    M[1] = -Det2(m[1], m[2], m[7], m[8]);
    M[2] = Det2(m[1], m[2], m[4], m[5]);
    M[3] = -Det2(m[3], m[5], m[6], m[8]);
    M[4] = Det2(m[0], m[2], m[6], m[8]);
    M[5] = -Det2(m[0], m[2], m[3], m[5]);
    M[6] = Det2(m[3], m[4], m[6], m[7]);
    M[7] = -Det2(m[0], m[1], m[6], m[7]);
    M[8] = Det2(m[0], m[1], m[3], m[4]);
}

void MatrixScale(TMatrix& M, float F)
{
    for (float& v : M)
        v = float(double(v) * F);
}

TMatrix IdentityMatrix() { return TMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1}; }

void MatrixInvert(TMatrix& M)
{
    const float det = MatrixDeterminant(M);
    if (std::fabs(det) < 1e-5) {
        M = IdentityMatrix();
        return;
    }
    MatrixAdjugate(M);
    MatrixScale(M, float(1.0 / det));
}

void MatrixMultiply(const TMatrix& A, const TMatrix& B, TMatrix& C)
{
    TMatrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int k = 0; k < 3; ++k)
                s += double(B[i * 3 + k]) * A[k * 3 + j];
            r[i * 3 + j] = float(s);
        }
    C = r;
}

static void MatrixToFixed(const TMatrix& M, TFixedMatrix& F, double One)
{
    for (size_t i = 0; i < 9; ++i)
        F[i] = int32_t(Round(double(M[i]) * One));
}

void MatrixToFixed16(const TMatrix& M, TFixedMatrix& F) { MatrixToFixed(M, F, 65536.0); }

TTransformation::TTransformation() : Matrix_(IdentityMatrix()), Inverse_(IdentityMatrix()) {}

TTransformation::~TTransformation() { PopAll(); }

void TTransformation::SetMatrix(const TMatrix& M)
{
    Matrix_ = M;
    CacheValid_ = false;
}

void TTransformation::SetIdentity() { SetMatrix(IdentityMatrix()); }

void TTransformation::PostMultiply(const TMatrix& Other)
{
    // matrix := matrix x Other
    MatrixMultiply(Other, Matrix_, Matrix_);
    CacheValid_ = false;
}

void TTransformation::Translate(float DX, float DY) { PostMultiply(TMatrix{1, 0, DX, 0, 1, DY, 0, 0, 1}); }

void TTransformation::Scale(float SX, float SY) { PostMultiply(TMatrix{SX, 0, 0, 0, SY, 0, 0, 0, 1}); }

void TTransformation::ScaleUniform(float S) { Scale(S, S); }

void TTransformation::RotateAt(float CX, float CY, float Angle)
{
    const bool moved = CX != 0 || CY != 0;
    if (moved)
        Translate(CX, CY);
    const double r = double(Angle) * M_PI / 180.0;
    const float c = float(std::cos(r));
    const float s = float(std::sin(r));
    PostMultiply(TMatrix{c, -s, 0, s, c, 0, 0, 0, 1});
    if (moved)
        Translate(-CX, -CY);
}

void TTransformation::Rotate(float Angle) { RotateAt(0, 0, Angle); }

void TTransformation::Multiply(const TTransformation& Other) { PostMultiply(Other.Matrix_); }

void TTransformation::MultiplyLeft(const TTransformation& Other)
{
    MatrixMultiply(Matrix_, Other.Matrix_, Matrix_);
    CacheValid_ = false;
}

void TTransformation::Assign(const TTransformation& Source)
{
    CacheValid_ = Source.CacheValid_;
    Matrix_ = Source.Matrix_;
    Inverse_ = Source.Inverse_;
    Matrix12_ = Source.Matrix12_;
    Inverse12_ = Source.Inverse12_;
    Matrix16_ = Source.Matrix16_;
    Inverse16_ = Source.Inverse16_;
}

void TTransformation::Push() { Stack.push_back(Matrix_); }

void TTransformation::Pop()
{
    if (Stack.empty())
        return;
    Matrix_ = Stack.back();
    Stack.pop_back();
    UpdateCache();
}

void TTransformation::PopAll()
{
    while (!Stack.empty())
        Pop();
}

void TTransformation::UpdateCache()
{
    Inverse_ = Matrix_;
    MatrixInvert(Inverse_);
    MatrixToFixed(Matrix_, Matrix12_, 4096.0);
    MatrixToFixed(Inverse_, Inverse12_, 4096.0);
    MatrixToFixed16(Matrix_, Matrix16_);
    MatrixToFixed16(Inverse_, Inverse16_);
    CacheValid_ = true;
}

static void Apply(const TMatrix& m, float X, float Y, bool WithTranslation, float& RX, float& RY)
{
    const double tx = WithTranslation ? m[2] : 0.0;
    const double ty = WithTranslation ? m[5] : 0.0;
    RX = float(double(m[0]) * X + double(m[1]) * Y + tx);
    RY = float(double(m[3]) * X + double(m[4]) * Y + ty);
}

void TTransformation::Transform(float X, float Y, float& RX, float& RY)
{
    if (!CacheValid_)
        UpdateCache();
    Apply(Matrix_, X, Y, true, RX, RY);
}

void TTransformation::InverseTransform(float X, float Y, float& RX, float& RY)
{
    if (!CacheValid_)
        UpdateCache();
    Apply(Inverse_, X, Y, true, RX, RY);
}

void TTransformation::TransformVector(float DX, float DY, float& RX, float& RY)
{
    if (!CacheValid_)
        UpdateCache();
    Apply(Matrix_, DX, DY, false, RX, RY);
}

void TTransformation::InverseTransformVector(float DX, float DY, float& RX, float& RY)
{
    if (!CacheValid_)
        UpdateCache();
    Apply(Inverse_, DX, DY, false, RX, RY);
}

TRect TTransformation::TransformBounds(float Left, float Top, float Right, float Bottom)
{
    UpdateCache();
    const float xs[4] = {Left, Right, Right, Left};
    const float ys[4] = {Top, Top, Bottom, Bottom};
    TRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int i = 0; i < 4; ++i) {
        float x, y;
        Apply(Matrix_, xs[i], ys[i], true, x, y);
        const int32_t ix = int32_t(Round(x));
        const int32_t iy = int32_t(Round(y));
        r.Left = std::min(r.Left, ix);
        r.Top = std::min(r.Top, iy);
        r.Right = std::max(r.Right, ix);
        r.Bottom = std::max(r.Bottom, iy);
    }
    return r;
}

void TTransformation::InverseTransformFixed(int32_t X, int32_t Y, int32_t& RX, int32_t& RY)
{
    if (!CacheValid_)
        UpdateCache();
    const auto& i = Inverse12_;
    // 32-bit wrap-around products, arithmetic shift.
    RX = int32_t(uint32_t(X) * uint32_t(i[0]) + uint32_t(Y) * uint32_t(i[1]) + uint32_t(i[2]) + 2047u) >> 12;
    RY = int32_t(uint32_t(X) * uint32_t(i[3]) + uint32_t(Y) * uint32_t(i[4]) + uint32_t(i[5]) + 2047u) >> 12;
}

void TTransformation::InverseTransformFixed16(int32_t X, int32_t Y, int32_t& RX, int32_t& RY) const
{
    const auto& j = Inverse16_;
    RX = int32_t(uint32_t(FixedMul(X, j[0])) + uint32_t(FixedMul(Y, j[1])) + uint32_t(j[2]));
    RY = int32_t(uint32_t(FixedMul(X, j[3])) + uint32_t(FixedMul(Y, j[4])) + uint32_t(j[5]));
}
