#include "mesksound.h"

#include <QApplication>

namespace {

std::function<void()>& beepFunction()
{
    static std::function<void()> function;
    return function;
}

} // namespace

void MeskSound::beep()
{
    if (beepFunction())
        beepFunction()();
    else
        QApplication::beep();
}

void MeskSound::setBeepFunction(std::function<void()> function)
{
    beepFunction() = std::move(function);
}
