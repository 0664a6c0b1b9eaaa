#include "meskanswerspan.h"

#include <utility>

void CMeskAnswerSpan::begin()
{
    ++m_depth;
}

void CMeskAnswerSpan::announce(std::function<void()> action)
{
    if (m_depth == 0) {
        action();
        return;
    }
    m_announcements.append(std::move(action));
}

void CMeskAnswerSpan::onDiscard(std::function<void()> action)
{
    if (m_depth > 0)
        m_discards.append(std::move(action));
}

void CMeskAnswerSpan::forget()
{
    m_announcements.clear();
    m_discards.clear();
}

void CMeskAnswerSpan::end(bool committed)
{
    if (committed)
        accept();
    else
        discard();
}

bool CMeskAnswerSpan::leave()
{
    if (m_depth == 0)
        return false;
    return --m_depth == 0;
}

void CMeskAnswerSpan::accept()
{
    if (!leave())
        return;
    m_discards.clear();
    // An announcement may start the next span: run a copy.
    const QList<std::function<void()>> held = std::exchange(m_announcements, {});
    for (const auto& action : held)
        action();
}

void CMeskAnswerSpan::discard()
{
    if (!leave())
        return;
    m_announcements.clear();
    const QList<std::function<void()>> held = std::exchange(m_discards, {});
    for (auto it = held.crbegin(); it != held.crend(); ++it)
        (*it)();
}
