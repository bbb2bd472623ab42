#include <gtest/gtest.h>

#include <cmath>

#include "platform/d3dx8/d3dx8math.h"

namespace {

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "entry " << r + 1 << c + 1;
}

void ExpectVecNear(const D3DXVECTOR3& a, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(a.x, x, tol);
    EXPECT_NEAR(a.y, y, tol);
    EXPECT_NEAR(a.z, z, tol);
}

TEST(D3dxMath, RotationsFollowRowVectorLeftHandedSigns)
{
    const float a = 0.5f, c = std::cos(a), s = std::sin(a);
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, a);
    ExpectMatrixNear(m, D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1));
    D3DXMatrixRotationY(&m, a);
    ExpectMatrixNear(m, D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1));
    D3DXMatrixRotationZ(&m, a);
    ExpectMatrixNear(m, D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // A quarter turn about y takes +x to -z (left-handed, looking down +y clockwise).
    D3DXMatrixRotationY(&m, D3DX_PI / 2);
    D3DXVECTOR3 v(1, 0, 0), r;
    D3DXVec3TransformCoord(&r, &v, &m);
    ExpectVecNear(r, 0, 0, -1);

    // The axis form agrees with the dedicated ones.
    D3DXMATRIX axis, ry;
    D3DXVECTOR3 yAxis(0, 5, 0);
    D3DXMatrixRotationAxis(&axis, &yAxis, 1.2f);
    D3DXMatrixRotationY(&ry, 1.2f);
    ExpectMatrixNear(axis, ry);
    D3DXVECTOR3 zero(0, 0, 0);
    D3DXMatrixRotationAxis(&axis, &zero, 1.2f);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&axis));
}

TEST(D3dxMath, MultiplyAppliesLeftOperandFirstAndAllowsAliasing)
{
    D3DXMATRIX s, t, st;
    D3DXMatrixScaling(&s, 2, 3, 4);
    D3DXMatrixTranslation(&t, 10, 20, 30);
    D3DXMatrixMultiply(&st, &s, &t);
    D3DXVECTOR3 p(1, 1, 1), r;
    D3DXVec3TransformCoord(&r, &p, &st);
    ExpectVecNear(r, 12, 23, 34);

    D3DXMatrixMultiply(&s, &s, &t);  // out aliases the first operand
    ExpectMatrixNear(s, st);
    ExpectMatrixNear(D3DXMATRIX(st) * D3DXMATRIX(st), *D3DXMatrixMultiply(&t, &st, &st));
}

TEST(D3dxMath, InverseTransposeAndDeterminant)
{
    D3DXMATRIX rot, tr, m, inv, prod, ident;
    D3DXMatrixRotationYawPitchRoll(&rot, 0.3f, -0.7f, 1.1f);
    D3DXMatrixTranslation(&tr, 5, -2, 9);
    m = rot * tr;
    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    EXPECT_NEAR(det, 1.0f, 1e-5f);
    D3DXMatrixMultiply(&prod, &m, &inv);
    ExpectMatrixNear(prod, *D3DXMatrixIdentity(&ident));

    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 0, 1);
    D3DXMATRIX untouched = scale;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &scale), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(untouched, scale);

    D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), at;
    D3DXMatrixTranspose(&at, &a);
    EXPECT_EQ(at._12, 5.0f);
    EXPECT_EQ(at._41, 4.0f);
    D3DXMatrixTranspose(&a, &a);
    EXPECT_EQ(a, at);
    EXPECT_NEAR(D3DXMatrixDeterminant(&scale), 0.0f, 0.0f);
    D3DXMatrixScaling(&scale, 2, 3, 4);
    EXPECT_NEAR(D3DXMatrixDeterminant(&scale), 24.0f, 1e-5f);
}

TEST(D3dxMath, LookAtAndPerspectiveMatchHandComputedValues)
{
    // Eye on -z looking at the origin: the view is a pure translation by +5 along z.
    D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectMatrixNear(view, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1));

    // Looking along +x from (1,2,3): view x axis = up x z = -z world.
    D3DXVECTOR3 eye2(1, 2, 3), at2(11, 2, 3);
    D3DXMatrixLookAtLH(&view, &eye2, &at2, &up);
    ExpectMatrixNear(view, D3DXMATRIX(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 3, -2, -1, 1));
    D3DXVECTOR3 ahead(6, 2, 3), r;
    D3DXVec3TransformCoord(&r, &ahead, &view);
    ExpectVecNear(r, 0, 0, 5);

    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    ExpectMatrixNear(proj, D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0));
    // Near plane maps to depth 0 and far plane to 1.
    D3DXVECTOR3 n(0, 0, 1), f(0, 0, 101);
    D3DXVec3TransformCoord(&r, &n, &proj);
    EXPECT_NEAR(r.z, 0.0f, 1e-6f);
    D3DXVec3TransformCoord(&r, &f, &proj);
    EXPECT_NEAR(r.z, 1.0f, 1e-6f);
}

TEST(D3dxMath, DegenerateCameraStaysFinite)
{
    // Eye on the target and an up vector along the view: no NaN may come out.
    D3DXVECTOR3 eye(3, 3, 3), up(0, 1, 0), down(3, -7, 3);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &eye, &up);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite((&view._11)[i]));
    D3DXMatrixLookAtLH(&view, &eye, &down, &up);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite((&view._11)[i]));
}

TEST(D3dxMath, VectorHelpers)
{
    D3DXVECTOR3 zero(0, 0, 0), out(9, 9, 9);
    D3DXVec3Normalize(&out, &zero);
    ExpectVecNear(out, 0, 0, 0, 0);
    D3DXVECTOR2 z2(0, 0);
    D3DXVec2Normalize(&z2, &z2);
    EXPECT_EQ(z2, D3DXVECTOR2(0, 0));
    D3DXVECTOR4 z4(0, 0, 0, 0);
    D3DXVec4Normalize(&z4, &z4);
    EXPECT_EQ(z4, D3DXVECTOR4(0, 0, 0, 0));

    D3DXVECTOR3 v(3, 4, 12);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 13.0f);
    D3DXVec3Normalize(&out, &v);
    ExpectVecNear(out, 3.f / 13, 4.f / 13, 12.f / 13);

    D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&out, &x, &y);
    ExpectVecNear(out, 0, 0, 1);
    D3DXVec3Cross(&x, &x, &y);  // aliasing
    ExpectVecNear(x, 0, 0, 1);

    D3DXVECTOR3 a(0, 10, 20), b(10, 30, 20);
    D3DXVec3Lerp(&out, &a, &b, 0.25f);
    ExpectVecNear(out, 2.5f, 15, 20);

    // A normal ignores the translation; a coordinate is divided by w.
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 5, 5, 5);
    D3DXVec3TransformNormal(&out, &y, &t);
    ExpectVecNear(out, 0, 1, 0);
    D3DXMATRIX w(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2);
    D3DXVec3TransformCoord(&out, &v, &w);
    ExpectVecNear(out, 3, 4, 12);
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, &v, &w);
    EXPECT_EQ(h, D3DXVECTOR4(6, 8, 24, 2));
}

TEST(D3dxMath, Planes)
{
    D3DXVECTOR3 a(0, 2, 0), b(0, 2, 1), c(1, 2, 0);
    D3DXPLANE p;
    D3DXPlaneFromPoints(&p, &a, &b, &c);
    // (b - a) x (c - a) = (0,0,1) x (1,0,0) = (0,1,0): the plane y = 2.
    EXPECT_NEAR(p.a, 0, 1e-6f);
    EXPECT_NEAR(p.b, 1, 1e-6f);
    EXPECT_NEAR(p.c, 0, 1e-6f);
    EXPECT_NEAR(p.d, -2, 1e-6f);
    D3DXVECTOR3 above(7, 5, -3);
    EXPECT_NEAR(D3DXPlaneDotCoord(&p, &above), 3.0f, 1e-6f);
    EXPECT_NEAR(D3DXPlaneDotNormal(&p, &above), 5.0f, 1e-6f);
    D3DXVECTOR4 h(7, 5, -3, 0);
    EXPECT_NEAR(D3DXPlaneDot(&p, &h), 5.0f, 1e-6f);

    D3DXPLANE q(0, 3, 4, 10), n;
    D3DXPlaneNormalize(&n, &q);
    EXPECT_EQ(n, D3DXPLANE(0, 0.6f, 0.8f, 2.0f));
    D3DXPLANE z(0, 0, 0, 5);
    D3DXPlaneNormalize(&z, &z);
    EXPECT_EQ(z, D3DXPLANE(0, 0, 0, 0));
    // Collinear points give a zero plane, not NaN.
    D3DXVECTOR3 d(0, 2, 2);
    D3DXPlaneFromPoints(&p, &a, &b, &d);
    EXPECT_EQ(p, D3DXPLANE(0, 0, 0, 0));
}

TEST(D3dxMath, ProjectUnprojectAndPicking)
{
    D3DXVECTOR3 eye(0, 10, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view, proj, world;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 800.0f / 600.0f, 1.0f, 1000.0f);
    D3DXMatrixIdentity(&world);
    const D3DVIEWPORT8 vp{0, 0, 800, 600, 0.0f, 1.0f};
    D3DXVECTOR3 screen, back;
    // The point looked at lands in the middle of the viewport.
    D3DXVec3Project(&screen, &at, &vp, &proj, &view, &world);
    EXPECT_NEAR(screen.x, 400.0f, 1e-3f);
    EXPECT_NEAR(screen.y, 300.0f, 1e-3f);
    D3DXVECTOR3 p(3, 1, 2);
    D3DXVec3Project(&screen, &p, &vp, &proj, &view, nullptr);
    EXPECT_GT(screen.x, 400.0f);  // right of centre
    EXPECT_LT(screen.y, 300.0f);  // above centre, y counting down
    ASSERT_NE(D3DXVec3Unproject(&back, &screen, &vp, &proj, &view, nullptr), nullptr);
    ExpectVecNear(back, 3, 1, 2, 2e-3f);

    // A ray from the near to the far plane through the centre meets the ground at the origin.
    D3DXVECTOR3 nearPt(400, 300, 0), farPt(400, 300, 1), n, f, hit;
    D3DXVec3Unproject(&n, &nearPt, &vp, &proj, &view, &world);
    D3DXVec3Unproject(&f, &farPt, &vp, &proj, &view, &world);
    D3DXPLANE ground;
    D3DXVECTOR3 g0(0, 0, 0), g1(1, 0, 0), g2(1, 0, 1);
    D3DXPlaneFromPoints(&ground, &g0, &g2, &g1);
    ASSERT_NE(D3DXPlaneIntersectLine(&hit, &ground, &n, &f), nullptr);
    ExpectVecNear(hit, 0, 0, 0, 1e-2f);
    D3DXVECTOR3 a(0, 1, 0), b(5, 1, 5);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &ground, &a, &b), nullptr);  // parallel

    D3DXMATRIX singular;
    D3DXMatrixScaling(&singular, 0, 1, 1);
    EXPECT_EQ(D3DXVec3Unproject(&back, &screen, &vp, &singular, &view, nullptr), nullptr);
}

}  // namespace
