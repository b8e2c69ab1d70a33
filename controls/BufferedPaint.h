// Flicker-free drawing of one rectangle of a device context: the content is drawn into a
// memory bitmap of the rectangle's size, with the origin at the rectangle's top-left corner, and
// copied over in one piece.
#pragma once

#include <windows.h>

#include <functional>

// Calls draw(dc, width, height) for the rectangle rc of target. Without memory for the buffer
// the content is drawn straight into target (origin moved to rc) rather than not at all. An
// empty rectangle draws nothing.
void DrawDoubleBuffered(HDC target, const RECT& rc, const std::function<void(HDC, int, int)>& draw);
