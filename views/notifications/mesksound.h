#pragma once

#include <functional>

// The program's one sound: the settings page's "Play sounds" check and the notifications beep
// through it. Tests put their own function in its place.
namespace MeskSound {

using BeepFunction = std::function<void()>;

// Runs the beep function (QApplication::beep() unless replaced).
void beep();
// Installs the beep function and returns the one it replaced; an empty function restores the
// default.
BeepFunction setBeepFunction(BeepFunction function);

} // namespace MeskSound
