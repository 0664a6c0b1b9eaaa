#pragma once

#include <functional>

// The program's one sound: the desktop's default beep. Tests replace the function to count beeps.
namespace MeskSound {

// Sounds the beep through the current beep function (QApplication::beep by default).
void beep();
// Replaces the beep function; an empty function restores QApplication::beep.
void setBeepFunction(std::function<void()> function);

} // namespace MeskSound
