#pragma once

class QWidget;

// Shows the window (also when hidden or minimized), raises it and asks for the focus. A window
// manager that refuses to hand the focus to a program in the background gets the demands-attention
// hint instead, so the owner still sees which window wants them.
void BringWindowToFront(QWidget* window);
