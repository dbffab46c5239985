#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/GameObject.h"
#include "core/Matrix4f.h"
#include "core/Stream.h"
#include "core/Trace.h"
#include "core/Transform.h"

namespace {

constexpr float PI = 3.14159265358979f;
constexpr float EPS = 1e-4f;

// A data stream holding the given JSON text instead of a file's.
std::unique_ptr<Stream> JsonStream(const std::string& json)
{
    auto stream = std::make_unique<Stream>("gameobj_tests_no_such_file", StreamMode_Data, false);
    stream->text = json;
    stream->data.Parse(json.c_str());
    return stream;
}

Vector4f Apply(const Matrix4f& m, float x, float y)
{
    return m * Vector4f(x, y, 0.0f, 1.0f);
}

void ExpectPoint(const Vector4f& v, float x, float y, float w)
{
    EXPECT_NEAR(v.x, x, EPS);
    EXPECT_NEAR(v.y, y, EPS);
    EXPECT_NEAR(v.z, 0.0f, EPS);
    EXPECT_NEAR(v.w, w, EPS);
}

void ExpectMatrix(const Matrix4f& a, const Matrix4f& b)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], EPS) << "element " << i;
}

Transform* AddTransform(GameObject& object, float x, float y, float radians, float sx, float sy)
{
    auto* t = new Transform();
    t->TranslationX = x;
    t->TranslationY = y;
    t->Rotation = radians;
    t->ScaleX = sx;
    t->ScaleY = sy;
    object.SetComponent(t);
    return t;
}

class TransformTest : public ::testing::Test {
protected:
    void SetUp() override { TraceReset(); }
};

} // namespace

TEST_F(TransformTest, StartsAtZeroWithAnIdentityMatrixAndDirty)
{
    Transform t;
    EXPECT_EQ(t.GetName(), "Transform");
    EXPECT_EQ(t.type, 0);
    EXPECT_TRUE(t.dirty);
    EXPECT_EQ(t.TranslationX, 0.0f);
    EXPECT_EQ(t.TranslationY, 0.0f);
    EXPECT_EQ(t.Rotation, 0.0f);
    EXPECT_EQ(t.rotationDegrees, 0.0f);
    EXPECT_EQ(t.ScaleX, 0.0f);
    EXPECT_EQ(t.ScaleY, 0.0f);
    ExpectMatrix(t.localMatrix, Matrix4f::Identity());
    EXPECT_EQ(t.exposed, 0);
    EXPECT_EQ(t.active, 1);
}

TEST_F(TransformTest, RotationIsReadInDegreesAndKeptInRadians)
{
    auto stream = JsonStream(R"({"Transform": {"TranslationX": 2, "Rotation": 90}})");
    Transform t;
    t.dirty = false;
    t.Read(*stream);
    EXPECT_EQ(t.TranslationX, 2.0f);
    EXPECT_EQ(t.Rotation, 90.0f * 0.017453292f);
    EXPECT_EQ(t.TranslationY, 0.0f);
    EXPECT_EQ(t.ScaleX, 0.0f);
    EXPECT_EQ(t.ScaleY, 0.0f);
    EXPECT_TRUE(t.dirty);
    EXPECT_EQ(t.rotationDegrees, 0.0f);  // refreshed by the update only
    t.Update(0.016f);
    EXPECT_NEAR(t.rotationDegrees, 90.0f, 1e-4f);
}

TEST_F(TransformTest, ReadingUnchangedValuesLeavesDirtyAlone)
{
    auto stream = JsonStream(
        R"({"Transform": {"TranslationX": 1.5, "TranslationY": -3, "ScaleX": 2, "ScaleY": 4, "Rotation": 45}})");
    Transform t;
    t.Read(*stream);
    t.GetWorldMatrix();
    EXPECT_FALSE(t.dirty);
    t.Read(*stream);
    EXPECT_FALSE(t.dirty);
    EXPECT_EQ(t.ScaleY, 4.0f);

    auto changed = JsonStream(R"({"Transform": {"ScaleY": 5}})");
    t.Read(*changed);
    EXPECT_TRUE(t.dirty);
    EXPECT_EQ(t.ScaleY, 5.0f);
    EXPECT_EQ(t.ScaleX, 2.0f);
}

TEST_F(TransformTest, BadBlocksChangeNothingAndDoNotCrash)
{
    const std::string wrong = "Transform: \"%s\" has the wrong type and is ignored\n";
    auto line = [&](const char* key) {
        std::string text = wrong;
        return text.replace(text.find("%s"), 2, key);
    };
    const struct {
        const char* text;
        std::string output;
    } cases[] = {
        {R"({})", ""},
        {R"({"Transform": 3})", ""},
        {R"({"Transform": [1, 2]})", ""},
        {R"({"Transform": {"TranslationX": "far"}})", line("TranslationX")},
        {R"({"Transform": {"TranslationX": null, "Rotation": true}})", line("TranslationX") + line("Rotation")},
        {R"({"Transform": {"TranslationX": [7], "ScaleY": {}}})", line("TranslationX") + line("ScaleY")},
        {R"([1, 2])", ""},
        {R"({"Transform": {)", ""},
    };
    for (const auto& c : cases) {
        auto stream = JsonStream(c.text);
        Transform t;
        t.TranslationX = 7.0f;
        t.Rotation = 0.5f;
        t.ScaleY = 2.0f;
        t.dirty = false;
        testing::internal::CaptureStdout();
        t.Read(*stream);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << c.text;
        EXPECT_EQ(t.TranslationX, 7.0f) << c.text;
        EXPECT_EQ(t.Rotation, 0.5f) << c.text;
        EXPECT_EQ(t.ScaleY, 2.0f) << c.text;
        EXPECT_FALSE(t.dirty) << c.text;
    }
}

TEST_F(TransformTest, WorldMatrixWithoutParentIsTranslateRotateScale)
{
    GameObject object;
    Transform* t = AddTransform(object, 3.0f, 4.0f, PI / 2, 2.0f, 5.0f);
    const Matrix4f world = t->GetWorldMatrix();
    EXPECT_FALSE(t->dirty);
    // (1, 0) scaled to (2, 0), turned to (0, 2), moved to (3, 6).
    ExpectPoint(Apply(world, 1.0f, 0.0f), 3.0f, 6.0f, 1.0f);
    // (0, 1) scaled to (0, 5), turned to (-5, 0), moved to (-2, 4).
    ExpectPoint(Apply(world, 0.0f, 1.0f), -2.0f, 4.0f, 1.0f);
    ExpectMatrix(t->localMatrix, world);
    // Without a parent the world position is the plain translation, with w = 0.
    const Vector4f position = t->GetWorldPosition();
    EXPECT_EQ(position.x, 3.0f);
    EXPECT_EQ(position.y, 4.0f);
    EXPECT_EQ(position.z, 0.0f);
    EXPECT_EQ(position.w, 0.0f);
}

TEST_F(TransformTest, ChildUnderARotatedScaledTranslatedParent)
{
    GameObject parent;
    GameObject child;
    Transform* p = AddTransform(parent, 10.0f, 5.0f, PI / 2, 2.0f, 3.0f);
    Transform* c = AddTransform(child, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    parent.AddChild(&child);
    ASSERT_EQ(child.GetParent(), &parent);

    const Matrix4f world = c->GetWorldMatrix();
    // The child's origin: the offset (1, 0) turned by the parent to (0, 1), placed at (10, 6).
    ExpectPoint(Apply(world, 0.0f, 0.0f), 10.0f, 6.0f, 1.0f);
    // Scales multiply on the child's axes before the turn: (1, 0) -> (2, 0) -> (3, 0) from the parent
    // -> turned (0, 3) -> (10, 8).
    ExpectPoint(Apply(world, 1.0f, 0.0f), 10.0f, 8.0f, 1.0f);
    // (0, 1) -> (0, 3) -> (1, 3) -> turned (-3, 1) -> (7, 6).
    ExpectPoint(Apply(world, 0.0f, 1.0f), 7.0f, 6.0f, 1.0f);
    ExpectPoint(c->GetWorldPosition(), 10.0f, 6.0f, 1.0f);
    // The local matrix stays the child's own.
    ExpectMatrix(c->localMatrix, Matrix4f::Translation(1.0f, 0.0f));
    // The parent itself is unaffected.
    ExpectPoint(Apply(p->GetWorldMatrix(), 0.0f, 0.0f), 10.0f, 5.0f, 1.0f);
}

TEST_F(TransformTest, RotationsAddUnderAParent)
{
    GameObject parent;
    GameObject child;
    AddTransform(parent, 1.0f, -1.0f, PI / 2, 3.0f, 1.0f);
    Transform* c = AddTransform(child, 2.0f, 1.0f, PI / 2, 1.0f, 2.0f);
    parent.AddChild(&child);
    const Matrix4f world = c->GetWorldMatrix();
    // (1, 0): scaled (3, 0), turned by the child (0, 3), offset (2, 4), turned by the parent (-4, 2),
    // placed at (-3, 1).
    ExpectPoint(Apply(world, 1.0f, 0.0f), -3.0f, 1.0f, 1.0f);
    // The origin: (1, -1) + Rz(pi/2)(2, 1) = (0, 1).
    ExpectPoint(Apply(world, 0.0f, 0.0f), 0.0f, 1.0f, 1.0f);
    ExpectPoint(c->GetWorldPosition(), 0.0f, 1.0f, 1.0f);
}

TEST_F(TransformTest, OnlyOneParentLevelCounts)
{
    GameObject grandparent;
    GameObject parent;
    GameObject child;
    AddTransform(grandparent, 100.0f, 100.0f, PI, 10.0f, 10.0f);
    AddTransform(parent, 1.0f, 2.0f, 0.0f, 1.0f, 1.0f);
    Transform* c = AddTransform(child, 3.0f, 4.0f, 0.0f, 1.0f, 1.0f);
    grandparent.AddChild(&parent);
    parent.AddChild(&child);
    ExpectPoint(c->GetWorldPosition(), 4.0f, 6.0f, 1.0f);
    ExpectPoint(Apply(c->GetWorldMatrix(), 0.0f, 0.0f), 4.0f, 6.0f, 1.0f);
}

TEST_F(TransformTest, ParentWithoutTransformCountsAsNoParent)
{
    GameObject parent;
    GameObject child;
    Transform* c = AddTransform(child, 3.0f, 4.0f, 0.0f, 1.0f, 1.0f);
    parent.AddChild(&child);
    const Vector4f position = c->GetWorldPosition();
    EXPECT_EQ(position.x, 3.0f);
    EXPECT_EQ(position.w, 0.0f);
    ExpectMatrix(c->GetWorldMatrix(), Matrix4f::Translation(3.0f, 4.0f));
}

TEST_F(TransformTest, WithoutOwnerWorldPositionIsZero)
{
    Transform t;
    t.TranslationX = 5.0f;
    t.ScaleX = t.ScaleY = 1.0f;
    const Vector4f position = t.GetWorldPosition();
    EXPECT_EQ(position.x, 0.0f);
    EXPECT_EQ(position.y, 0.0f);
    EXPECT_EQ(position.w, 0.0f);
    ExpectMatrix(t.GetWorldMatrix(), Matrix4f::Translation(5.0f, 0.0f));
}

TEST_F(TransformTest, DirectWritesAreSeenByTheNextWorldMatrix)
{
    GameObject object;
    Transform* t = AddTransform(object, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    t->GetWorldMatrix();
    t->TranslationX = 8.0f;  // written directly, dirty not set
    ExpectPoint(Apply(t->GetWorldMatrix(), 0.0f, 0.0f), 8.0f, 0.0f, 1.0f);
    t->SetTranslation(1.0f, 2.0f);
    EXPECT_TRUE(t->dirty);
    t->SetScale(lua__Engine_vector_math::Vector2f(3.0f, 4.0f));
    EXPECT_EQ(t->GetScale().Y, 4.0f);
    EXPECT_EQ(t->GetTranslation().X, 1.0f);
}

TEST_F(TransformTest, CloneKeepsPlacementButNotDegreesOrMatrix)
{
    GameObject object;
    Transform* t = AddTransform(object, 1.0f, 2.0f, PI / 4, 3.0f, 4.0f);
    t->Update(0.0f);
    EXPECT_NEAR(t->rotationDegrees, 45.0f, 1e-4f);
    t->GetWorldMatrix();
    t->exposed = 1;
    std::unique_ptr<Transform> copy(t->Clone());
    EXPECT_EQ(copy->owner, &object);
    EXPECT_EQ(copy->exposed, 1);
    EXPECT_EQ(copy->active, 1);
    EXPECT_EQ(copy->type, 0);
    EXPECT_EQ(copy->TranslationX, 1.0f);
    EXPECT_EQ(copy->TranslationY, 2.0f);
    EXPECT_EQ(copy->Rotation, PI / 4);
    EXPECT_EQ(copy->ScaleX, 3.0f);
    EXPECT_EQ(copy->ScaleY, 4.0f);
    EXPECT_EQ(copy->rotationDegrees, 0.0f);
    EXPECT_TRUE(copy->dirty);
    ExpectMatrix(copy->localMatrix, Matrix4f::Identity());
    copy->Update(0.0f);
    EXPECT_NEAR(copy->rotationDegrees, 45.0f, 1e-4f);
}

TEST_F(TransformTest, FieldChangesFromTheEditor)
{
    Transform t;
    t.GetWorldMatrix();
    t.OnFieldChanged("Nothing");
    EXPECT_FALSE(t.dirty);
    t.OnFieldChanged("ScaleX");
    EXPECT_TRUE(t.dirty);
    t.GetWorldMatrix();
    t.rotationDegrees = 180.0f;
    t.OnFieldChanged("Rotation");
    EXPECT_EQ(t.Rotation, 180.0f * 0.017453292f);
    EXPECT_TRUE(t.dirty);
    t.GetWorldMatrix();
    t.OnFieldChanged("Rotation");  // same value: stays clean
    EXPECT_FALSE(t.dirty);
    t.ExposeFields();
    t.ExposeFields();
    EXPECT_EQ(t.exposed, 1);
    t.WriteToMenuFile();  // no menu system: nothing happens
}

TEST_F(TransformTest, ChildOutlivingItsParentIsPlacedOnItsOwn)
{
    auto* parent = new GameObject();
    GameObject child;
    AddTransform(*parent, 10.0f, 5.0f, PI / 2, 2.0f, 3.0f);
    Transform* c = AddTransform(child, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    parent->AddChild(&child);
    ExpectPoint(c->GetWorldPosition(), 10.0f, 6.0f, 1.0f);
    delete parent;
    EXPECT_EQ(child.GetParent(), nullptr);
    child.Update(0.016f);
    child.Draw();
    ExpectPoint(c->GetWorldPosition(), 1.0f, 0.0f, 0.0f);
    ExpectMatrix(c->GetWorldMatrix(), Matrix4f::Translation(1.0f, 0.0f));
}

namespace {
std::string gWrittenMenuObject;
}

TEST_F(TransformTest, WriteToMenuFileNamesItsObjectToTheMenuSystem)
{
    GameObject object;
    object.SetName("Title Button");
    Transform* t = AddTransform(object, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    gWrittenMenuObject.clear();
    WriteMenuTransformHook = [](const std::string& objectName) { gWrittenMenuObject = objectName; };
    t->WriteToMenuFile();
    EXPECT_EQ(gWrittenMenuObject, "Title Button");
    Transform loose;
    gWrittenMenuObject = "unchanged";
    loose.WriteToMenuFile();  // no owner: nothing to name
    EXPECT_EQ(gWrittenMenuObject, "unchanged");
    WriteMenuTransformHook = nullptr;
}
