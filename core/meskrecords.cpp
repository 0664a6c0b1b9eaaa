#include "meskrecords.h"

void registerMeskMetaTypes()
{
    qRegisterMetaType<mid_t>("mid_t");
    qRegisterMetaType<SMediaItem>("SMediaItem");
    qRegisterMetaType<SServiceUser>("SServiceUser");
    qRegisterMetaType<SSmsMessage>("SSmsMessage");
    qRegisterMetaType<TMediaError>("TMediaError");
    qRegisterMetaType<TMeskSmsState>("TMeskSmsState");
}
