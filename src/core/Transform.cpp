#include "core/Transform.h"

#include "core/GameObject.h"
#include "core/Stream.h"

void (*WriteMenuTransformHook)(const std::string& objectName) = nullptr;

namespace {

// Degrees to radians and back, in single precision.
constexpr float DEGREES_TO_RADIANS = 0.017453292f;
constexpr float RADIANS_TO_DEGREES = 57.29578f;

// Reads one float of the "Transform" block into field when it is present and differs; returns
// whether the field changed. A member that is not a number is reported and counts as missing.
bool ReadIfChanged(Stream& stream, const char* key, float scale, float& field)
{
    if (!stream.HasValue("Transform", key, Stream::ValueKind::Number))
        return false;
    const float value = stream.ReadFloat("Transform", key) * scale;
    if (value == field)
        return false;
    field = value;
    return true;
}

} // namespace

Transform::Transform() : Component(ComponentType::Transform) {}

void Transform::Update(float)
{
    rotationDegrees = Rotation * RADIANS_TO_DEGREES;
}

Transform* Transform::Clone()
{
    Transform* copy = new Transform();
    CopyComponentFields(*copy);
    copy->TranslationX = TranslationX;
    copy->TranslationY = TranslationY;
    copy->Rotation = Rotation;
    copy->ScaleX = ScaleX;
    copy->ScaleY = ScaleY;
    return copy;
}

void Transform::OnFieldChanged(std::string field)
{
    if (field == "ScaleX" || field == "ScaleY" || field == "TranslationX" || field == "TranslationY") {
        dirty = true;
    } else if (field == "Rotation") {
        const float radians = rotationDegrees * DEGREES_TO_RADIANS;
        if (radians != Rotation) {
            Rotation = radians;
            dirty = true;
        }
    }
}

void Transform::WriteToMenuFile()
{
    if (WriteMenuTransformHook && owner)
        WriteMenuTransformHook(owner->GetName());
}

void Transform::Read(Stream& stream)
{
    if (!stream.HasMember("Transform"))
        return;
    bool changed = ReadIfChanged(stream, "TranslationX", 1.0f, TranslationX);
    changed = ReadIfChanged(stream, "TranslationY", 1.0f, TranslationY) || changed;
    changed = ReadIfChanged(stream, "ScaleX", 1.0f, ScaleX) || changed;
    changed = ReadIfChanged(stream, "ScaleY", 1.0f, ScaleY) || changed;
    changed = ReadIfChanged(stream, "Rotation", DEGREES_TO_RADIANS, Rotation) || changed;
    if (changed)
        dirty = true;
}

void Transform::ExposeFields()
{
    if (!exposed)
        exposed = 1;
}

Matrix4f Transform::GetWorldMatrix()
{
    localMatrix = Matrix4f::Translation(TranslationX, TranslationY) * Matrix4f::RotationZ(Rotation) *
                  Matrix4f::Scale(ScaleX, ScaleY);
    dirty = false;

    GameObject* parentObject = owner ? owner->GetParent() : nullptr;
    Transform* p = parentObject ? parentObject->GetTransform() : nullptr;
    if (!p)
        return localMatrix;

    // The child's offset turns with the parent's rotation about the parent's position; rotations add
    // and scales multiply without scaling the offset. The parent's own parent is not consulted.
    const float px = p->TranslationX;
    const float py = p->TranslationY;
    return Matrix4f::Translation(px, py) * Matrix4f::RotationZ(p->Rotation) * Matrix4f::Translation(-px, -py) *
           Matrix4f::Translation(TranslationX + px, TranslationY + py) * Matrix4f::RotationZ(Rotation) *
           Matrix4f::Scale(ScaleX * p->ScaleX, ScaleY * p->ScaleY);
}

Vector4f Transform::GetWorldPosition()
{
    if (!owner)
        return Vector4f(0.0f, 0.0f, 0.0f, 0.0f);
    GameObject* parentObject = owner->GetParent();
    Transform* p = parentObject ? parentObject->GetTransform() : nullptr;
    if (!p)
        return Vector4f(TranslationX, TranslationY, 0.0f, 0.0f);
    const Matrix4f placement = Matrix4f::Translation(p->TranslationX, p->TranslationY) *
                               Matrix4f::RotationZ(p->Rotation) * Matrix4f::Translation(TranslationX, TranslationY);
    return placement * Vector4f(0.0f, 0.0f, 0.0f, 1.0f);
}

lua__Engine_vector_math::Vector2f Transform::GetTranslation() const
{
    return lua__Engine_vector_math::Vector2f(TranslationX, TranslationY);
}

void Transform::SetTranslation(const lua__Engine_vector_math::Vector2f& translation)
{
    SetTranslation(translation.X, translation.Y);
}

void Transform::SetTranslation(float x, float y)
{
    TranslationX = x;
    TranslationY = y;
    dirty = true;
}

void Transform::SetRotation(float radians)
{
    Rotation = radians;
    dirty = true;
}

lua__Engine_vector_math::Vector2f Transform::GetScale() const
{
    return lua__Engine_vector_math::Vector2f(ScaleX, ScaleY);
}

void Transform::SetScale(const lua__Engine_vector_math::Vector2f& scale)
{
    SetScale(scale.X, scale.Y);
}

void Transform::SetScale(float x, float y)
{
    ScaleX = x;
    ScaleY = y;
    dirty = true;
}
