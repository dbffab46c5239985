// Collider: shapes read from object files, world size and rotation rules, the overlap test for every
// pair of shapes, ids, contacts and the two contact messages.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Trace.h"
#include "graphics/InputManager.h"
#include "test_physics_world.h"

using namespace physics_test;

namespace {

Collider Square(float w, float h, bool canRotate = false, float ox = 0.0f, float oy = 0.0f)
{
    Collider c;
    c.SetSquare(w, h, ox, oy);
    c.CanRotate = canRotate;
    return c;
}
Collider Circle(float r)
{
    Collider c;
    c.SetCircle(r);
    return c;
}
Collider Line(float x1, float y1, float x2, float y2)
{
    Collider c;
    c.SetLine(x1, y1, x2, y2);
    return c;
}
ColliderPlacement At(float x, float y, float rotationDegrees = 0.0f, float sx = 1.0f, float sy = 1.0f)
{
    ColliderPlacement p;
    p.x = x;
    p.y = y;
    p.rotation = rotationDegrees * DEG;
    p.scaleX = sx;
    p.scaleY = sy;
    return p;
}
bool Overlap(const Collider& a, const ColliderPlacement& at, const Collider& b, const ColliderPlacement& bt)
{
    return Collider::TestOverlapAt(a, at, b, bt);
}

// Reads a collider from an object file's text.
struct ReadResult {
    Collider collider;
    std::string trace;
};
void ReadCollider(Collider& collider, std::string& trace, const char* json)
{
    Stream stream("physics_test_no_such_file", StreamMode_Data);
    LoadJson(stream, json);
    testing::internal::CaptureStdout();
    collider.Read(stream);
    trace = testing::internal::GetCapturedStdout();
}

}  // namespace

// ---- Overlap table --------------------------------------------------------------------------------------

TEST(ColliderOverlap, CirclesTouchingAtTheSumOfRadiiOverlap)
{
    const Collider a = Circle(1.0f), b = Circle(0.5f);
    EXPECT_TRUE(Overlap(a, At(0, 0), b, At(1.5f, 0)));
    EXPECT_TRUE(Overlap(a, At(0, 0), b, At(0, -1.5f)));
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(1.51f, 0)));
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(1.1f, 1.1f)));
}

TEST(ColliderOverlap, SquaresTouchingAlongAnEdgeDoNotOverlap)
{
    const Collider a = Square(2, 2), b = Square(2, 2);
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(2, 0)));     // right edge on left edge
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(0, -2)));    // bottom on top
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(2, 2)));     // corner on corner
    EXPECT_TRUE(Overlap(a, At(0, 0), b, At(1.99f, 0)));
    EXPECT_TRUE(Overlap(a, At(0, 0), b, At(-1.5f, 1.5f)));
}

TEST(ColliderOverlap, UnrotatedSquaresUseOffsetsAndScale)
{
    const Collider a = Square(1, 1, false, 3.0f, 0.0f);   // box centred 3 to the right of its object
    const Collider b = Square(1, 1);
    EXPECT_TRUE(Overlap(a, At(0, 0), b, At(3.5f, 0)));
    EXPECT_FALSE(Overlap(a, At(0, 0), b, At(0.5f, 0)));
    // Scale 4 in x makes b four units wide.
    EXPECT_TRUE(Overlap(Square(1, 1), At(0, 0), b, At(2.4f, 0, 0, 4, 1)));
    EXPECT_FALSE(Overlap(Square(1, 1), At(0, 0), b, At(2.6f, 0, 0, 4, 1)));
}

TEST(ColliderOverlap, RotatedSquaresBySeparatingAxes)
{
    // A unit square turned by 45 degrees reaches 0.707 along x; the other reaches 0.5.
    const Collider turned = Square(1, 1, true);
    const Collider plain = Square(1, 1);
    EXPECT_TRUE(Overlap(turned, At(0, 0, 45), plain, At(1.2f, 0)));
    EXPECT_FALSE(Overlap(turned, At(0, 0, 45), plain, At(1.25f, 0)));
    // The same pair without rotation is apart at 1.2.
    EXPECT_FALSE(Overlap(Square(1, 1), At(0, 0, 45), plain, At(1.2f, 0)));
    // Either order.
    EXPECT_TRUE(Overlap(plain, At(1.2f, 0), turned, At(0, 0, 45)));

    // Two long thin bars at 45 degrees, side by side: their bounding boxes overlap, the bars don't.
    const Collider bar = Square(4.0f, 0.2f, true);
    const float gap = 0.5f / std::sqrt(2.0f);
    EXPECT_FALSE(Overlap(bar, At(0, 0, 45), bar, At(-gap, gap, 45)));
    EXPECT_TRUE(Overlap(bar, At(0, 0, 45), bar, At(-0.05f, 0.05f, 45)));
    // Crossed bars meet.
    EXPECT_TRUE(Overlap(bar, At(0, 0, 45), bar, At(0, 0, -45)));
}

TEST(ColliderOverlap, RotatingSquaresIgnoreTheirOffsets)
{
    const Collider a = Square(1, 1, true, 5.0f, 0.0f);
    const Collider b = Square(1, 1);
    EXPECT_TRUE(Overlap(a, At(0, 0, 30), b, At(0.8f, 0)));
    EXPECT_FALSE(Overlap(a, At(0, 0, 30), b, At(5.0f, 0)));
}

TEST(ColliderOverlap, SquareAndCircleUseWidthForXAndHeightForYInBothOrders)
{
    const Collider wide = Square(4, 1);   // half extents 2 (x) and 0.5 (y)
    const Collider ball = Circle(0.5f);
    for (int order = 0; order < 2; ++order) {
        auto test = [&](float cx, float cy) {
            return order == 0 ? Overlap(wide, At(0, 0), ball, At(cx, cy)) : Overlap(ball, At(cx, cy), wide, At(0, 0));
        };
        EXPECT_TRUE(test(2.4f, 0.0f)) << "order " << order;
        EXPECT_FALSE(test(2.6f, 0.0f)) << "order " << order;
        EXPECT_TRUE(test(0.0f, 0.9f)) << "order " << order;
        EXPECT_FALSE(test(0.0f, 1.1f)) << "order " << order;
        EXPECT_FALSE(test(0.0f, 2.4f)) << "order " << order;   // would meet if the axes were swapped
    }
    // The square's size is scaled once more by the scale of the circle's object.
    EXPECT_FALSE(Overlap(wide, At(0, 0), ball, At(2.4f, 0, 0, 0.5f, 0.5f)));
    EXPECT_TRUE(Overlap(wide, At(0, 0), ball, At(1.4f, 0, 0, 0.5f, 0.5f)));
}

TEST(ColliderOverlap, CircleFirstNeverMeetsALine)
{
    const Collider ball = Circle(1.0f);
    const Collider wall = Line(-5, 0, 5, 0);
    EXPECT_FALSE(Overlap(ball, At(0, 0), wall, At(0, 0)));
    EXPECT_TRUE(Overlap(wall, At(0, 0), ball, At(0, 0)));
}

TEST(ColliderOverlap, LineFirstMeetsACircleNearItsExtension)
{
    const Collider wall = Line(0, 0, 1, 0);
    const Collider ball = Circle(0.5f);
    EXPECT_TRUE(Overlap(wall, At(0, 0), ball, At(0.5f, 0.4f)));
    EXPECT_FALSE(Overlap(wall, At(0, 0), ball, At(0.5f, 0.6f)));
    // Far beyond the segment's end, but within the radius of the infinite line.
    EXPECT_TRUE(Overlap(wall, At(0, 0), ball, At(50.0f, -0.45f)));
    // A slanted line: distance from (0, 1) to y = x is 0.707.
    const Collider slant = Line(0, 0, 2, 2);
    EXPECT_FALSE(Overlap(slant, At(0, 0), Circle(0.7f), At(0, 1)));
    EXPECT_TRUE(Overlap(slant, At(0, 0), Circle(0.71f), At(0, 1)));
}

TEST(ColliderOverlap, LineOfNoLengthMeasuresToItsPoint)
{
    const Collider dot = Line(1, 1, 1, 1);
    EXPECT_TRUE(Overlap(dot, At(0, 0), Circle(0.5f), At(1.3f, 1.3f)));
    EXPECT_FALSE(Overlap(dot, At(0, 0), Circle(0.5f), At(2, 2)));
}

TEST(ColliderOverlap, LinesCrossByOrientation)
{
    EXPECT_TRUE(Overlap(Line(-1, -1, 1, 1), At(0, 0), Line(-1, 1, 1, -1), At(0, 0)));
    EXPECT_FALSE(Overlap(Line(0, 0, 1, 0), At(0, 0), Line(0, 1, 1, 1), At(0, 0)));     // parallel
    EXPECT_FALSE(Overlap(Line(0, 0, 1, 0), At(0, 0), Line(2, -1, 2, 1), At(0, 0)));    // apart
    // Small segments: every cross product is below 1, so only their signs tell that they cross.
    EXPECT_TRUE(Overlap(Line(0, 0, 0.5f, 0.5f), At(0, 0), Line(0, 0.5f, 0.5f, 0), At(0, 0)));
    EXPECT_FALSE(Overlap(Line(0, 0, 0.2f, 0.2f), At(0, 0), Line(0.3f, 0.5f, 0.5f, 0.3f), At(0, 0)));
}

TEST(ColliderOverlap, LineChainsMeetWhenAnySegmentsCross)
{
    Collider chain = Line(0, 0, 1, 0);
    ASSERT_TRUE(chain.AddLineSegment(1, 0, 1, 1));
    ASSERT_TRUE(chain.AddLineSegment(1, 1, 0, 1));
    EXPECT_TRUE(Overlap(chain, At(0, 0), Line(0.5f, 0.5f, 0.5f, 2.0f), At(0, 0)));   // crosses the third
    EXPECT_FALSE(Overlap(chain, At(0, 0), Line(0.2f, 0.2f, 0.8f, 0.8f), At(0, 0)));  // inside, no crossing
}

TEST(ColliderOverlap, PairsWithoutATestNeverOverlap)
{
    const Collider none;
    EXPECT_FALSE(Overlap(Square(10, 10), At(0, 0), Line(-1, 0, 1, 0), At(0, 0)));
    EXPECT_FALSE(Overlap(Line(-1, 0, 1, 0), At(0, 0), Square(10, 10), At(0, 0)));
    EXPECT_FALSE(Overlap(none, At(0, 0), Square(10, 10), At(0, 0)));
    EXPECT_FALSE(Overlap(Square(10, 10), At(0, 0), none, At(0, 0)));
    EXPECT_FALSE(Overlap(Circle(10), At(0, 0), none, At(0, 0)));
}

TEST(ColliderOverlap, TestOverlapReadsTheOwnersTransforms)
{
    World world;
    GameObject* a = world.Add("A", 0, 0);
    GameObject* b = world.Add("B", 3, 0);
    Collider* ca = World::AddCircle(a, 1.0f, true);
    Collider* cb = World::AddCircle(b, 1.0f, false);
    EXPECT_FALSE(Collider::TestOverlap(ca, cb));
    b->GetTransform()->TranslationX = 2.0f;
    EXPECT_TRUE(Collider::TestOverlap(ca, cb));
    EXPECT_FALSE(Collider::TestOverlap(ca, nullptr));
}

// ---- World size and rotation -----------------------------------------------------------------------------

TEST(ColliderSize, WidthAndHeightSwapNearNinetyDegreesOnly)
{
    World world;
    GameObject* object = world.Add("Box", 0, 0, 0, 2.0f, 3.0f);
    Collider* c = World::AddSquare(object, 4.0f, 1.0f, false);
    Transform* t = object->GetTransform();

    auto check = [&](float degrees, float w, float h) {
        t->Rotation = degrees * DEG;
        EXPECT_FLOAT_EQ(c->GetWidth(), w) << degrees;
        EXPECT_FLOAT_EQ(c->GetHeight(), h) << degrees;
    };
    check(0.0f, 8.0f, 3.0f);
    check(90.0f, 3.0f, 8.0f);
    check(89.5f, 3.0f, 8.0f);
    check(90.9f, 3.0f, 8.0f);
    check(91.5f, 8.0f, 3.0f);
    check(-90.0f, 8.0f, 3.0f);
    check(45.0f, 8.0f, 3.0f);
    check(180.0f, 8.0f, 3.0f);
    t->Rotation = 270.0f * DEG;
    ASSERT_EQ(t->Rotation * 57.29578f, 270.0f);   // read from a file, 270 degrees comes back exactly
    EXPECT_FLOAT_EQ(c->GetWidth(), 3.0f);
    EXPECT_FLOAT_EQ(c->GetHeight(), 8.0f);
}

TEST(ColliderSize, SwappedSizeAppliesToTheOverlapTest)
{
    // A 4 x 1 bar turned by 90 degrees is 1 wide and 4 tall.
    const Collider bar = Square(4, 1);
    const Collider dot = Square(0.1f, 0.1f);
    EXPECT_TRUE(Overlap(bar, At(0, 0, 90), dot, At(0, 1.8f)));
    EXPECT_FALSE(Overlap(bar, At(0, 0, 90), dot, At(1.8f, 0)));
    EXPECT_TRUE(Overlap(bar, At(0, 0, 0), dot, At(1.8f, 0)));
}

TEST(ColliderSize, WithoutTheShapeTheSizeIsReportedAndZero)
{
    TraceReset();
    Collider ball = Circle(2.0f);
    testing::internal::CaptureStdout();
    EXPECT_EQ(ball.GetWidth(), 0.0f);
    EXPECT_EQ(ball.GetHeight(), 0.0f);
    EXPECT_EQ(ball.GetRadius(), 2.0f);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Location: src/Collider Line "), std::string::npos) << out;
    EXPECT_NE(out.find("This collider has no given width variable"), std::string::npos) << out;
    EXPECT_NE(out.find("This collider has no given height variable"), std::string::npos) << out;

    Collider box = Square(1, 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(box.GetRadius(), 0.0f);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("This collider has no given height variable"), std::string::npos) << out;
    TraceReset();
}

TEST(ColliderSize, WithoutAnObjectTheSquareIsItsOwnSize)
{
    Collider box = Square(2.5f, 1.5f);
    EXPECT_FLOAT_EQ(box.GetWidth(), 2.5f);
    EXPECT_FLOAT_EQ(box.GetHeight(), 1.5f);
}

// ---- Reading ------------------------------------------------------------------------------------------------

TEST(ColliderRead, SquareWithEveryKey)
{
    Collider c;
    std::string trace;
    ReadCollider(c, trace, R"({"Collider": {"Type": "Square", "IsTrigger": true, "Dimensions": [2.5, 0.5],
        "Offset": [0.25, -1], "DynamicState": "Dynamic", "CanRotate": true, "CollisionRotation": true}})");
    ASSERT_EQ(c.GetShape(), ColliderShape::Square);
    ASSERT_NE(c.square, nullptr);
    EXPECT_EQ(c.circle, nullptr);
    EXPECT_EQ(c.line, nullptr);
    EXPECT_FLOAT_EQ(c.square->width, 2.5f);
    EXPECT_FLOAT_EQ(c.square->height, 0.5f);
    EXPECT_FLOAT_EQ(c.square->editorWidth, 2.5f);
    EXPECT_FLOAT_EQ(c.square->offsetX, 0.25f);
    EXPECT_FLOAT_EQ(c.square->offsetY, -1.0f);
    EXPECT_EQ(c.square->owner, &c);
    EXPECT_TRUE(c.IsTrigger);
    EXPECT_EQ(c.IsDynamic, 1);
    EXPECT_TRUE(c.CanRotate);
    EXPECT_TRUE(c.CollisionRotation);
    EXPECT_NE(c.callback, nullptr);
    EXPECT_EQ(trace, "");
}

TEST(ColliderRead, SquareDefaultsToOneByOneAtTheCentre)
{
    Collider c;
    std::string trace;
    ReadCollider(c, trace, R"({"Collider": {"Type": "Square"}})");
    ASSERT_NE(c.square, nullptr);
    EXPECT_FLOAT_EQ(c.square->width, 1.0f);
    EXPECT_FLOAT_EQ(c.square->height, 1.0f);
    EXPECT_FLOAT_EQ(c.square->offsetX, 0.0f);
    EXPECT_FLOAT_EQ(c.square->offsetY, 0.0f);
    EXPECT_EQ(c.IsDynamic, 0);
    EXPECT_FALSE(c.IsTrigger);
    EXPECT_FALSE(c.CanRotate);
}

TEST(ColliderRead, CircleRadius)
{
    Collider c;
    std::string trace;
    ReadCollider(c, trace, R"({"Collider": {"Type": "Circle", "Radius": 0.75, "IsDynamic": true}})");
    ASSERT_EQ(c.GetShape(), ColliderShape::Circle);
    EXPECT_FLOAT_EQ(c.GetRadius(), 0.75f);
    EXPECT_EQ(c.IsDynamic, 1);
}

TEST(ColliderRead, LineSecondYFromPoint2YElsePoint2X)
{
    Collider c;
    std::string trace;
    ReadCollider(c, trace, R"({"Collider": {"Type": "Line", "Point1X": 1, "Point1Y": 2, "Point2X": 3, "Point2Y": 4}})");
    ASSERT_EQ(c.GetShape(), ColliderShape::Line);
    ASSERT_NE(c.line, nullptr);
    EXPECT_EQ(c.line->SegmentCount(), 1);
    EXPECT_FLOAT_EQ(c.line->segments[0].x1, 1.0f);
    EXPECT_FLOAT_EQ(c.line->segments[0].y1, 2.0f);
    EXPECT_FLOAT_EQ(c.line->segments[0].x2, 3.0f);
    EXPECT_FLOAT_EQ(c.line->segments[0].y2, 4.0f);

    Collider old;
    ReadCollider(old, trace, R"({"Collider": {"Type": "Line", "Point1X": 1, "Point1Y": 2, "Point2X": 3}})");
    ASSERT_NE(old.line, nullptr);
    EXPECT_FLOAT_EQ(old.line->segments[0].x2, 3.0f);
    EXPECT_FLOAT_EQ(old.line->segments[0].y2, 3.0f);
}

TEST(ColliderRead, DynamicStateAndIsDynamic)
{
    struct Case {
        const char* json;
        int dynamic;
    } cases[] = {
        {R"({"Collider": {"Type": "Square", "DynamicState": "Dynamic"}})", 1},
        {R"({"Collider": {"Type": "Square", "DynamicState": "dynamic"}})", 0},
        {R"({"Collider": {"Type": "Square", "DynamicState": "Static"}})", 0},
        {R"({"Collider": {"Type": "Square", "DynamicState": "Static", "IsDynamic": true}})", 1},
        {R"({"Collider": {"Type": "Square", "DynamicState": "Dynamic", "IsDynamic": false}})", 0},
        {R"({"Collider": {"Type": "Square"}})", 0},
    };
    for (const Case& k : cases) {
        Collider c;
        std::string trace;
        ReadCollider(c, trace, k.json);
        EXPECT_EQ(c.IsDynamic, k.dynamic) << k.json;
        EXPECT_EQ(c.dynamic, k.dynamic != 0) << k.json;
    }
}

TEST(ColliderRead, UnknownTypeHasNoShapeAndNeverOverlaps)
{
    Collider c;
    std::string trace;
    ReadCollider(c, trace, R"({"Collider": {"Type": "Hexagon", "Radius": 3}})");
    EXPECT_EQ(c.GetShape(), ColliderShape::None);
    EXPECT_EQ(c.circle, nullptr);
    EXPECT_EQ(c.square, nullptr);
    EXPECT_FALSE(Overlap(c, At(0, 0), Circle(100), At(0, 0)));
}

TEST(ColliderRead, BadInputIsReportedAndGivesDefaults)
{
    Collider c;
    std::string trace;

    // Missing "Type": the reader's line, no shape.
    ReadCollider(c, trace, R"({"Collider": {"Radius": 3}})");
    EXPECT_EQ(c.GetShape(), ColliderShape::None);
    EXPECT_NE(trace.find("Type"), std::string::npos) << trace;

    // Wrong types: the radius reads as missing (0), the trigger flag as false.
    Collider wrong;
    ReadCollider(wrong, trace, R"({"Collider": {"Type": "Circle", "Radius": "big", "IsTrigger": 1}})");
    EXPECT_EQ(wrong.GetShape(), ColliderShape::Circle);
    EXPECT_EQ(wrong.GetRadius(), 0.0f);
    EXPECT_FALSE(wrong.IsTrigger);
    EXPECT_NE(trace.find("Radius"), std::string::npos) << trace;

    // A flag of the wrong type counts as missing: "IsDynamic": "yes" leaves "DynamicState" in charge, and
    // a "Point2Y" that is not a number gives way to "Point2X".
    Collider flag;
    ReadCollider(flag, trace, R"({"Collider": {"Type": "Square", "DynamicState": "Dynamic", "IsDynamic": "yes"}})");
    EXPECT_EQ(flag.IsDynamic, 1);
    EXPECT_NE(trace.find("IsDynamic"), std::string::npos) << trace;
    Collider point;
    ReadCollider(point, trace, R"({"Collider": {"Type": "Line", "Point1X": 0, "Point1Y": 0, "Point2X": 3, "Point2Y": "4"}})");
    ASSERT_NE(point.line, nullptr);
    EXPECT_FLOAT_EQ(point.line->segments[0].y2, 3.0f);
    EXPECT_NE(trace.find("Point2Y"), std::string::npos) << trace;

    // Dimensions with one number, an offset that is not an array: reported, defaults kept.
    Collider shortArray;
    ReadCollider(shortArray, trace, R"({"Collider": {"Type": "Square", "Dimensions": [5], "Offset": 2}})");
    ASSERT_NE(shortArray.square, nullptr);
    EXPECT_FLOAT_EQ(shortArray.square->width, 1.0f);
    EXPECT_FLOAT_EQ(shortArray.square->height, 1.0f);
    EXPECT_FLOAT_EQ(shortArray.square->offsetX, 0.0f);
    EXPECT_NE(trace.find("Dimensions"), std::string::npos) << trace;
    EXPECT_NE(trace.find("Offset"), std::string::npos) << trace;

    // Dimensions holding strings.
    Collider strings;
    ReadCollider(strings, trace, R"({"Collider": {"Type": "Square", "Dimensions": ["a", "b"]}})");
    ASSERT_NE(strings.square, nullptr);
    EXPECT_FLOAT_EQ(strings.square->width, 1.0f);

    // Truncated JSON, a block that is not an object, no block at all.
    for (const char* json : {R"({"Collider": {"Type": "Squ)", R"({"Collider": 7})", R"({"Name": "x"})", "[1, 2]"}) {
        Collider bad;
        ReadCollider(bad, trace, json);
        EXPECT_EQ(bad.GetShape(), ColliderShape::None) << json;
        EXPECT_EQ(bad.IsDynamic, 0) << json;
        EXPECT_NE(trace.find("Collider"), std::string::npos) << json;
    }
}

TEST(ColliderRead, MissingFileGivesNoShape)
{
    Stream stream("archetypes/physics_test_missing_object", StreamMode_Data);
    Collider c;
    testing::internal::CaptureStdout();
    c.Read(stream);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.GetShape(), ColliderShape::None);
}

TEST(ColliderRead, FromAnObjectFileThroughTheGameObject)
{
    Stream stream("physics_test_no_such_file", StreamMode_Data);
    LoadJson(stream, R"({"Name": "Crate", "Transform": {"TranslationX": 1, "ScaleX": 2, "ScaleY": 2},
        "Collider": {"Type": "Square", "Dimensions": [1, 0.5], "DynamicState": "Dynamic"},
        "Physics": {"Mass": 3}})");
    testing::internal::CaptureStdout();
    GameObject object(stream);
    testing::internal::GetCapturedStdout();
    Collider* c = object.GetCollider();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->owner, &object);
    EXPECT_FLOAT_EQ(c->GetWidth(), 2.0f);
    EXPECT_FLOAT_EQ(c->GetHeight(), 1.0f);
    ASSERT_NE(object.GetPhysics(), nullptr);
    EXPECT_FLOAT_EQ(object.GetPhysics()->Mass, 3.0f);
}

// ---- Ids, clones, editor hooks ---------------------------------------------------------------------------------

TEST(ColliderIds, EveryColliderGetsItsOwnIdAndIsFoundWhileAlive)
{
    auto* a = new Collider();
    auto* b = new Collider();
    EXPECT_NE(a->GetID(), 0u);
    EXPECT_NE(a->GetID(), b->GetID());
    EXPECT_EQ(Collider::FindById(a->GetID()), a);
    const std::uint32_t gone = b->GetID();
    delete b;
    EXPECT_EQ(Collider::FindById(gone), nullptr);
    auto* c = new Collider();
    EXPECT_NE(c->GetID(), gone);   // ids are never reused
    delete a;
    delete c;
}

TEST(ColliderIds, CloneCopiesShapesAndContactsWithAFreshId)
{
    Collider original;
    original.SetSquare(2, 3, 0.5f, 0.25f);
    original.IsDynamic = 1;
    original.IsTrigger = true;
    original.CanRotate = true;
    original.callback = nullptr;
    original.contacts = {7, 9};
    Object* copy = original.Clone();
    auto* clone = dynamic_cast<Collider*>(copy);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone->GetID(), original.GetID());
    ASSERT_NE(clone->square, nullptr);
    EXPECT_NE(clone->square, original.square);
    EXPECT_EQ(clone->square->owner, clone);
    EXPECT_FLOAT_EQ(clone->square->width, 2.0f);
    EXPECT_FLOAT_EQ(clone->square->offsetY, 0.25f);
    EXPECT_EQ(clone->IsDynamic, 1);
    EXPECT_TRUE(clone->IsTrigger);
    EXPECT_TRUE(clone->CanRotate);
    EXPECT_EQ(clone->contacts, original.contacts);
    EXPECT_EQ(clone->callback, &Collider::DefaultCollisionCallback);
    original.contacts.clear();
    clone->contacts.clear();
    delete clone;

    Collider ball;
    ball.SetCircle(1.5f);
    auto* ballClone = static_cast<Collider*>(ball.Clone());
    ASSERT_NE(ballClone->circle, nullptr);
    EXPECT_NE(ballClone->circle, ball.circle);
    EXPECT_FLOAT_EQ(ballClone->circle->radius, 1.5f);
    delete ballClone;
}

TEST(ColliderIds, EditorHooks)
{
    Collider c;
    c.SetSquare(1, 1);
    c.square->editorWidth = 4.0f;
    c.square->editorHeight = 5.0f;
    c.OnFieldChanged("Dimensions");
    EXPECT_FLOAT_EQ(c.square->width, 4.0f);
    EXPECT_FLOAT_EQ(c.square->height, 5.0f);
    c.dynamic = true;
    c.OnFieldChanged("IsDynamic");
    EXPECT_EQ(c.IsDynamic, 1);
    c.OnFieldChanged("Something");
    c.ExposeFields();
    EXPECT_EQ(c.exposed, 1);
    EXPECT_EQ(c.GetName(), "Collider");
}

// ---- Contact messages ------------------------------------------------------------------------------------------

TEST(ColliderMessages, UntargetedRemoveDropsTheIdEverywhere)
{
    World world;
    Collider* a = World::AddSquare(world.Add("A", 0, 0), 1, 1, false);
    Collider* b = World::AddSquare(world.Add("B", 0, 0), 1, 1, false);
    a->contacts = {100, 200, 100};
    b->contacts = {100};
    world.engine.systems[0]->Update(0);   // nothing queued
    world.objects[0]->SendMessage(31, 100, nullptr);
    world.Deliver();
    EXPECT_EQ(a->contacts, (std::vector<std::uint32_t>{200, 100}));   // the first match only
    EXPECT_TRUE(b->contacts.empty());
}

TEST(ColliderMessages, TargetedRemoveReachesOnlyItsTarget)
{
    World world;
    Collider* a = World::AddSquare(world.Add("A", 0, 0), 1, 1, false);
    Collider* b = World::AddSquare(world.Add("B", 0, 0), 1, 1, false);
    a->contacts = {100};
    b->contacts = {100};
    a->SendMessage(31, 100, a);
    world.Deliver();
    EXPECT_TRUE(a->contacts.empty());
    EXPECT_EQ(b->contacts, (std::vector<std::uint32_t>{100}));
    // Addressed to the object, it reaches that object's collider.
    world.objects[1]->SendMessage(31, 100, world.objects[1]);
    world.Deliver();
    EXPECT_TRUE(b->contacts.empty());
}

TEST(ColliderMessages, CollisionRemoveCallsExitOnlyForALiveContact)
{
    World world;
    GameObject* watcher = world.Add("Watcher", 0, 0);
    Collider* w = World::AddSquare(watcher, 1, 1, false);
    RecordingBehavior* behavior = World::AddBehavior(watcher);
    GameObject* other = world.Add("Other", 0, 0);
    Collider* o = World::AddSquare(other, 1, 1, false);

    // Not a contact: nothing.
    watcher->SendMessage(33, static_cast<std::uint64_t>(o->GetID()), nullptr);
    world.Deliver();
    EXPECT_TRUE(behavior->events.empty());

    // A contact: OnCollisionExit with that collider; the contact stays.
    w->contacts.push_back(o->GetID());
    watcher->SendMessage(33, static_cast<std::uint64_t>(o->GetID()), nullptr);
    world.Deliver();
    EXPECT_EQ(behavior->events, (std::vector<std::string>{"exit:Other"}));
    EXPECT_TRUE(w->HasContact(o->GetID()));

    // The collider is gone before the message arrives: nothing is handed over.
    const std::uint32_t goneId = o->GetID();
    watcher->SendMessage(33, static_cast<std::uint64_t>(goneId), nullptr);
    delete other->RemoveComponent(static_cast<int>(ComponentType::Collider));
    world.Deliver();
    EXPECT_EQ(behavior->events.size(), 1u);
}

TEST(ColliderMessages, DestroyedColliderWithContactsIsDroppedByOthers)
{
    World world;
    Collider* a = World::AddSquare(world.Add("A", 0, 0), 1, 1, false);
    auto* doomed = new Collider();
    const std::uint32_t doomedId = doomed->GetID();
    a->contacts.push_back(doomedId);
    doomed->contacts.push_back(a->GetID());
    delete doomed;
    EXPECT_EQ(world.Seen("ColliderIDRemove"), 0);
    world.Deliver();
    EXPECT_EQ(world.Seen("ColliderIDRemove"), 1);
    EXPECT_TRUE(a->contacts.empty());

    // Without contacts nothing is posted.
    auto* quiet = new Collider();
    delete quiet;
    world.Deliver();
    EXPECT_EQ(world.Seen("ColliderIDRemove"), 1);
}

// ---- Debug outline ------------------------------------------------------------------------------------------------

TEST(ColliderDraw, DrawsNothingWithoutInputOrWindow)
{
    // No input manager: nothing to ask, nothing drawn; with the C key held and no window, still safe.
    Collider c;
    c.SetSquare(1, 1);
    c.Draw();
    auto keys = std::make_shared<ScriptedKeySource>();
    InputManager input(keys);
    input.Init();
    keys->SetKey(67 /* GLFW_KEY_C */, true);
    input.Update(0.0f);
    EXPECT_TRUE(input.IsKeyDown(20));
    c.Draw();
    Collider ball;
    ball.SetCircle(1);
    ball.Draw();
    Collider line;
    line.SetLine(0, 0, 1, 1);
    line.Draw();
}

// ---- Files on disk -------------------------------------------------------------------------------------------------

TEST(ColliderRead, FromFilesGoodTruncatedAndMissing)
{
    TempSaveDir dir;
    std::string trace;
    {
        Stream good(dir.Write("ball", R"({"Collider": {"Type": "Circle", "Radius": 2, "IsTrigger": true}})").c_str(),
                    StreamMode_SaveDir);
        ASSERT_TRUE(good.IsValid());
        Collider c;
        testing::internal::CaptureStdout();
        c.Read(good);
        trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.GetShape(), ColliderShape::Circle);
        EXPECT_FLOAT_EQ(c.GetRadius(), 2.0f);
        EXPECT_TRUE(c.IsTrigger);
    }
    {
        Stream cut(dir.Write("cut", R"({"Collider": {"Type": "Circle", "Radius)").c_str(), StreamMode_SaveDir);
        Collider c;
        testing::internal::CaptureStdout();
        c.Read(cut);
        trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.GetShape(), ColliderShape::None);
        EXPECT_NE(trace.find("Collider"), std::string::npos) << trace;
    }
    {
        testing::internal::CaptureStdout();
        Stream missing("no_such_collider_file", StreamMode_SaveDir);
        Collider c;
        c.Read(missing);
        trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.GetShape(), ColliderShape::None);
    }
}
