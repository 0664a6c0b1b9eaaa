#pragma once

#include <QList>

#include <functional>

// The span in which one answer of a service is stored, in one storage batch. What the answer
// made is held back until the batch has ended:
//
//     span.begin();
//     ... store rows; span.announce(...) for what others may learn; span.onDiscard(...) for
//         objects made for new rows ...
//     span.end(batch.end());
//
// When the batch committed, the held announcements run in the order they were noted. When it
// rolled back, nothing is announced and the discards run, the newest first: SQLite hands the
// rolled-back row ids out again, so objects made for them must go before anything outside has
// seen them. Spans nest; only the outermost one ends for real. Outside a span an announcement
// runs at once and a discard is never needed, so it is dropped.
class CMeskAnswerSpan
{
public:
    CMeskAnswerSpan() = default;
    CMeskAnswerSpan(const CMeskAnswerSpan&) = delete;
    CMeskAnswerSpan& operator=(const CMeskAnswerSpan&) = delete;

    void begin();
    bool isOpen() const { return m_depth > 0; }

    void announce(std::function<void()> action);
    void onDiscard(std::function<void()> action);

    // Drops everything held; the span stays open (the objects it would discard are gone already).
    void forget();

    // Ends the span: accept() when the batch committed, else discard().
    void end(bool committed);
    void accept();
    void discard();

private:
    // The outermost span ends: hands its held actions over and forgets them.
    bool leave();

    int m_depth = 0;
    QList<std::function<void()>> m_announcements;
    QList<std::function<void()>> m_discards;
};
