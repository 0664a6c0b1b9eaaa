#include "twitterrecords.h"

void registerTwitterMetaTypes()
{
    qRegisterMetaType<STwitterUserData>("STwitterUserData");
    qRegisterMetaType<STwitterStatusData>("STwitterStatusData");
    qRegisterMetaType<STwitterStatusEvent>("STwitterStatusEvent");
    qRegisterMetaType<STwitterTimeLine>("STwitterTimeLine");
}
