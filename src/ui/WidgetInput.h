#pragma once
// What the menu widgets read from the mouse and the window: the cursor in interface units (the
// interface layer spans -16/9..16/9 across and -1..1 up over the picture, which the window shows
// scaled to fit, with bars where the window's aspect differs), the left mouse
// button's edges, the window's focus and the frame time. Every reader copes with a missing input
// manager, window or engine.
class GameObject;
class Sprite;
class Transform;

namespace widget {

struct Cursor {
    float x = 0.0f;
    float y = 0.0f;
};

// The cursor in interface units; (0, 0) without an input manager or with an empty window size.
Cursor CursorInInterface();
// The left mouse button (key index 120) went down this frame / went up this frame.
bool MousePressed();
bool MouseReleased();
// A key index went down / up this frame (false without an input manager).
bool KeyPressed(int index);
bool KeyReleased(int index);
// False only when a window exists and does not have the input focus.
bool WindowHasFocus();
// The engine's last frame time in seconds (0 without an engine).
float FrameTime();

// |x - TranslationX| <= sx * ScaleX and |y - TranslationY| <= sy * ScaleY of the transform (inclusive);
// false without a transform.
bool InsideBox(const Transform* transform, float x, float y, float sx = 1.0f, float sy = 1.0f);
// The two boxes (centres at the translations, half-extents the scales times the factors) overlap,
// all comparisons strict.
bool BoxesOverlap(const Transform* a, const Transform* b, float bx = 1.0f, float by = 1.0f);
// Builds, registers and initialises an object of the archetype "archetypes/<name>"; null without a
// GameObjectFactory.
GameObject* MakeFromArchetype(const char* name);
// Writes a transform value only when it changes, marking the transform changed.
void SetIfChanged(Transform* transform, float& field, float value);
// Puts a widget's sprite where its interact type is used: 0 (on screen) on the "UI" layer as interface,
// 1 (in the world) on the "Props" layer; any other type, or no sprite, leaves it as it is.
void PlaceOnLayer(Sprite* sprite, int interactType);

} // namespace widget
