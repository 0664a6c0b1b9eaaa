#pragma once

#include "imeskcontactstore.h"

// The Linux contacts store. No phone suite keeps contacts here yet: it opens
// and initialises, and its "Contact" collection is empty.
class CMeskLinuxContactStore : public IMeskContactStore
{
public:
    bool open() override { return true; }
    bool initialize() override { return true; }
    IMeskContactCollection* contacts() override { return &m_contacts; }

private:
    class EmptyCollection : public IMeskContactCollection
    {
    public:
        int count() override { return 0; }
        IMeskContactItem* item(int) override { return nullptr; }
    };

    EmptyCollection m_contacts;
};
