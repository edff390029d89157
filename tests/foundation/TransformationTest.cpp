#include <gtest/gtest.h>

#include "uFixedMath.h"
#include "uTransformation.h"
#include "uVectorLib.h"

namespace {

TPointF Map(TTransformation& t, float x, float y)
{
    TPointF p;
    t.Transform(x, y, p.X, p.Y);
    return p;
}

}  // namespace

TEST(Transformation, PushPopRestoresMatrixAndCache)
{
    TTransformation t;
    t.Translate(10, 20);
    t.Push();
    t.Rotate(90);
    t.Scale(2, 2);
    // Scale acts first, then the turn, then the translation.
    TPointF p = Map(t, 1, 0);
    EXPECT_NEAR(p.X, 10, 1e-5);
    EXPECT_NEAR(p.Y, 22, 1e-5);
    t.Pop();
    EXPECT_TRUE(t.CacheValid());
    EXPECT_EQ(t.StackCount(), 0);
    p = Map(t, 1, 0);
    EXPECT_FLOAT_EQ(p.X, 11);
    EXPECT_FLOAT_EQ(p.Y, 20);
    t.Pop();  // empty stack: nothing happens
    EXPECT_FLOAT_EQ(Map(t, 0, 0).X, 10);

    t.Push();
    t.Push();
    t.Translate(5, 5);
    t.PopAll();
    EXPECT_EQ(t.StackCount(), 0);
    EXPECT_FLOAT_EQ(Map(t, 0, 0).X, 10);
}

TEST(Transformation, OperationsComposeInLocalCoordinates)
{
    TTransformation a, b;
    b.Scale(2, 2);
    a.Translate(10, 0);
    a.Multiply(b);  // scale first
    EXPECT_FLOAT_EQ(Map(a, 1, 0).X, 12);

    TTransformation c;
    c.Translate(10, 0);
    c.MultiplyLeft(b);  // scale after
    EXPECT_FLOAT_EQ(Map(c, 1, 0).X, 22);

    TTransformation r;
    r.RotateAt(10, 0, 90);
    TPointF p = Map(r, 10, 0);
    EXPECT_NEAR(p.X, 10, 1e-5);
    EXPECT_NEAR(p.Y, 0, 1e-5);
    p = Map(r, 11, 0);  // clockwise on a y-down device
    EXPECT_NEAR(p.X, 10, 1e-5);
    EXPECT_NEAR(p.Y, 1, 1e-5);

    TTransformation copy;
    r.UpdateCache();
    copy.Assign(r);
    EXPECT_TRUE(copy.CacheValid());
    EXPECT_EQ(copy.Inverse12(), r.Inverse12());
    EXPECT_EQ(copy.Matrix(), r.Matrix());
}

TEST(Transformation, InverseAndVectors)
{
    TTransformation t;
    t.Translate(5, 7);
    t.Scale(4, 2);
    float x, y;
    t.InverseTransform(13, 9, x, y);
    EXPECT_FLOAT_EQ(x, 2);
    EXPECT_FLOAT_EQ(y, 1);
    t.TransformVector(1, 1, x, y);
    EXPECT_FLOAT_EQ(x, 4);
    EXPECT_FLOAT_EQ(y, 2);
    t.InverseTransformVector(8, 8, x, y);
    EXPECT_FLOAT_EQ(x, 2);
    EXPECT_FLOAT_EQ(y, 4);

    // A singular matrix gets the identity as inverse.
    TTransformation s;
    s.Scale(0, 0);
    s.InverseTransform(3, 4, x, y);
    EXPECT_FLOAT_EQ(x, 3);
    EXPECT_FLOAT_EQ(y, 4);
}

TEST(Transformation, ChangesInvalidateTheCache)
{
    TTransformation t;
    t.UpdateCache();
    EXPECT_TRUE(t.CacheValid());
    t.Translate(1, 0);
    EXPECT_FALSE(t.CacheValid());
    float x, y;
    t.InverseTransform(1, 0, x, y);  // refreshes first
    EXPECT_FLOAT_EQ(x, 0);
    EXPECT_TRUE(t.CacheValid());
    EXPECT_EQ(t.Inverse12()[2], -4096);
    EXPECT_EQ(t.Inverse16()[2], -65536);
    EXPECT_EQ(t.Matrix12()[0], 4096);
}

TEST(Transformation, InverseTransformFixed)
{
    TTransformation id;
    int32_t rx, ry;
    id.InverseTransformFixed(5, 7, rx, ry);
    EXPECT_EQ(rx, 5);
    EXPECT_EQ(ry, 7);

    TTransformation half;
    half.Scale(0.5f, 0.5f);
    half.InverseTransformFixed(5, 7, rx, ry);
    EXPECT_EQ(rx, 10);
    EXPECT_EQ(ry, 14);

    // x' = 2x + 6: device x maps to (x - 6) / 2 with the constant 2047,
    // so exact halves round down, and the shift is arithmetic.
    TTransformation t;
    t.Scale(2, 2);
    t.Translate(3, 0);
    const struct {
        int32_t dev, src;
    } cases[] = {{10, 2}, {11, 2}, {13, 3}, {4, -1}, {5, -1}, {6, 0}};
    for (const auto& c : cases) {
        t.InverseTransformFixed(c.dev, 0, rx, ry);
        EXPECT_EQ(rx, c.src) << c.dev;
    }

    // 16.16 form.
    half.UpdateCache();
    half.InverseTransformFixed16(IntToFixed(5), IntToFixed(7) + 0x8000, rx, ry);
    EXPECT_EQ(rx, IntToFixed(10));
    EXPECT_EQ(ry, IntToFixed(15));
}

TEST(Transformation, TransformBoundsRoundsHalfToEven)
{
    TTransformation t;
    t.Translate(0.5f, 2.5f);
    EXPECT_EQ(t.TransformBounds(0, 0, 1, 1), (TRect{0, 2, 2, 4}));

    TTransformation r;
    r.ScaleUniform(10);
    r.Rotate(45);
    EXPECT_EQ(r.TransformBounds(-1, -1, 1, 1), (TRect{-14, -14, 14, 14}));

    // Always refreshes the cache.
    r.Translate(1, 0);
    r.TransformBounds(0, 0, 1, 1);
    EXPECT_TRUE(r.CacheValid());
}

TEST(Transformation, MatrixHelpers)
{
    TMatrix m{2, 0, 4, 0, 4, 8, 0, 0, 1};
    EXPECT_FLOAT_EQ(MatrixDeterminant(m), 8);
    EXPECT_FLOAT_EQ(Det2(1, 2, 3, 4), -2);
    MatrixInvert(m);
    const TMatrix inv{0.5f, 0, -2, 0, 0.25f, -2, 0, 0, 1};
    for (size_t i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(m[i], inv[i]) << i;

    // C := B x A: A acts first.
    const TMatrix a{1, 0, 10, 0, 1, 0, 0, 0, 1};
    const TMatrix b{2, 0, 0, 0, 2, 0, 0, 0, 1};
    TMatrix c;
    MatrixMultiply(a, b, c);
    EXPECT_FLOAT_EQ(c[2], 20);

    TFixedMatrix f;
    MatrixToFixed16(TMatrix{0.5f, -1.25f, 0, 0, 1, 0, 0, 0, 1}, f);
    EXPECT_EQ(f[0], 32768);
    EXPECT_EQ(f[1], -81920);
}

TEST(FixedMath, ShiftsAndProducts)
{
    EXPECT_EQ(IntToFixed(-3), -196608);
    EXPECT_EQ(FixedToInt(-98304), -2);  // -1.5 floors
    EXPECT_EQ(FixedMul(IntToFixed(-3), 32768), -98304);
    EXPECT_EQ(FixedMul(IntToFixed(30000), IntToFixed(2)), IntToFixed(60000));
    EXPECT_EQ(Fixed12ToInt(-1), -1);
}

TEST(VectorLib, AnglesAndSteps)
{
    const struct {
        float dx, dy, angle;
    } angles[] = {{0, 0, 270}, {0, 5, 90}, {-1, 0, 180}, {1, -1, 315}, {1, 1, 45}, {0, -2, 270}, {1, -1e-9f, 0}};
    for (const auto& a : angles)
        EXPECT_NEAR(VectorAngle(a.dx, a.dy), a.angle, 1e-4) << a.dx << "," << a.dy;

    const struct {
        float value, step, result;
    } steps[] = {{7.4f, 0, 7.4f}, {7.4f, 0.5f, 7.5f}, {1.25f, 0.5f, 1.0f}, {1.75f, 0.5f, 2.0f},
                 {-0.75f, 0.5f, -1.0f}, {3, 1e-7f, 3}};
    for (const auto& s : steps)
        EXPECT_FLOAT_EQ(RoundToStep(s.value, s.step), s.result) << s.value << " / " << s.step;

    EXPECT_FLOAT_EQ(VectorLength(PointF(3, 4)), 5);
    EXPECT_TRUE(IsNearlyZero(9e-7));
    EXPECT_FALSE(IsNearlyZero(1e-6));
}

TEST(VectorLib, FitSizeAndRectangles)
{
    int32_t w = 400, h = 300;
    FitSizeInt(w, h, 200, 200);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    w = 300;
    h = 400;
    FitSizeInt(w, h, 200, 200);
    EXPECT_EQ(w, 150);
    EXPECT_EQ(h, 200);
    w = 3;
    h = 2;
    FitSizeInt(w, h, 10, 10);  // MulDiv rounds 6.67
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 7);

    float fw = 300, fh = 400;
    FitSizeFloat(fw, fh, 200, 200);
    EXPECT_FLOAT_EQ(fw, 150);
    EXPECT_FLOAT_EQ(fh, 200);
    fw = 200;
    fh = 200;
    FitSizeFloat(fw, fh, 100, 100);  // equal height is not "greater"
    EXPECT_FLOAT_EQ(fw, 100);
    EXPECT_FLOAT_EQ(fh, 100);

    EXPECT_EQ(UnionRectF(RectF(0, 5, 10, 6), RectF(-1, 7, 3, 9)), RectF(-1, 5, 10, 9));
    EXPECT_EQ(OffsetRectF(RectF(0, 0, 1, 1), 2, 3), RectF(2, 3, 3, 4));
    EXPECT_EQ(CenterRectF(10, 10, 4, 2), RectF(8, 9, 12, 11));
}
