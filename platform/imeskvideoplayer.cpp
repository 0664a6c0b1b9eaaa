#include "imeskvideoplayer.h"

namespace {

IMeskVideoPlayer::Factory& factoryRef()
{
    static IMeskVideoPlayer::Factory factory;
    return factory;
}

} // namespace

IMeskVideoPlayer* IMeskVideoPlayer::create(Kind kind, QWidget* parent)
{
    if (const Factory& factory = factoryRef())
        return factory(kind, parent);
    return nullptr;
}

IMeskVideoPlayer::Factory IMeskVideoPlayer::setFactory(Factory factory)
{
    Factory previous = std::move(factoryRef());
    factoryRef() = std::move(factory);
    return previous;
}
