#include "twitterrecords.h"

void registerTwitterMetaTypes()
{
    qRegisterMetaType<STwitterUserData>("STwitterUserData");
    qRegisterMetaType<STwitterStatusData>("STwitterStatusData");
    qRegisterMetaType<STwitterStatusEvent>("STwitterStatusEvent");
    qRegisterMetaType<STwitterTimeLine>("STwitterTimeLine");
}

QString STwitterStatusData::shownText() const
{
    if (retweeted_text.isNull())
        return text;
    return QStringLiteral("RT @") + retweeted_screen_name + QStringLiteral(": ") + retweeted_text;
}
