#pragma once

#include <functional>

class QWidget;

// Modal windows run their own event loop: runs `action` once `window` is up, from inside that
// loop.
void whenVisible(QWidget *window, std::function<void()> action);
