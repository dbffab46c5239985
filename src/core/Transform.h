#pragma once
// Position, rotation and scale of a game object in the plane, and the matrix that places it in the
// world. A child object is placed relative to its parent, one level deep.
#include <string>

#include "core/Component.h"
#include "core/Matrix4f.h"
#include "core/Vector2f.h"
#include "core/Vector4f.h"

class Stream;

// Writes an object's transform back to the menu file it came from, by object name. Installed by the
// menu system; null while there is none.
extern void (*WriteMenuTransformHook)(const std::string& objectName);

class Transform : public Component {
public:
    // Every value 0 (both scales too), the local matrix the identity, dirty set.
    Transform();
    ~Transform() override = default;

    std::string GetName() override { return "Transform"; }
    void Init() override {}
    // Refreshes rotationDegrees from Rotation.
    void Update(float dt) override;
    void Draw() override {}
    // Same flags, type, owner, translation, rotation and scale; rotationDegrees 0, identity local
    // matrix, dirty set. The caller attaches it to its new owner.
    Transform* Clone() override;
    // "ScaleX", "ScaleY", "TranslationX", "TranslationY" mark the transform dirty; "Rotation" takes
    // the rotation from rotationDegrees.
    void OnFieldChanged(std::string field) override;
    // Asks the menu system to write the owner's transform back to its menu file (when there is one).
    void WriteToMenuFile() override;
    // The "Transform" block of an object file: "TranslationX", "TranslationY", "ScaleX", "ScaleY",
    // "Rotation" (degrees), each only when present; a value is stored only when it differs.
    void Read(Stream& stream) override;
    void ExposeFields() override;

    // T x Rz x S of this transform, composed with the transform of the owner's parent (one level).
    // Recomputed on every call; refreshes localMatrix.
    Matrix4f GetWorldMatrix();
    // (x, y, 0, 0) without a parent; (x, y, 0, 1) placed under the parent's translation and rotation;
    // (0, 0, 0, 0) without an owner.
    Vector4f GetWorldPosition();

    // Accessors for code that prefers them to the fields; every setter marks the transform dirty.
    lua__Engine_vector_math::Vector2f GetTranslation() const;
    void SetTranslation(const lua__Engine_vector_math::Vector2f& translation);
    void SetTranslation(float x, float y);
    float GetRotation() const { return Rotation; }  // radians
    void SetRotation(float radians);
    lua__Engine_vector_math::Vector2f GetScale() const;
    void SetScale(const lua__Engine_vector_math::Vector2f& scale);
    void SetScale(float x, float y);

    bool dirty = true;            // set by Read, OnFieldChanged and the setters; cleared by GetWorldMatrix
    Matrix4f localMatrix;         // T x Rz x S as last computed
    float TranslationX = 0.0f;
    float TranslationY = 0.0f;
    float Rotation = 0.0f;        // radians
    float rotationDegrees = 0.0f; // the rotation in degrees, refreshed every update
    float ScaleX = 0.0f;
    float ScaleY = 0.0f;
};
