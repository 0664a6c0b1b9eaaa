#include "notifications/mesksound.h"

#include <QApplication>

#include <utility>

namespace {

MeskSound::BeepFunction& current()
{
    static MeskSound::BeepFunction function;
    return function;
}

} // namespace

namespace MeskSound {

void beep()
{
    if (current())
        current()();
    else
        QApplication::beep();
}

BeepFunction setBeepFunction(BeepFunction function)
{
    return std::exchange(current(), std::move(function));
}

} // namespace MeskSound
