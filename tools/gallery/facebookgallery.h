#pragma once

#include <QString>

#include <memory>

class CFacebookEventWidget;

// A canned Facebook store in a temporary storage root, for the gallery's Facebook rows: Bob
// and the signed-in user, and for each of the eight kinds of event one of Bob's and one of
// the user's own, with pictures already in place (nothing is downloaded). Bob's plain post
// has three comments.
class CFacebookGalleryStore
{
public:
    CFacebookGalleryStore();
    ~CFacebookGalleryStore();

    bool isValid() const;
    // A new item widget of that kind (0 to 7), Bob's or the user's own; null when the store
    // could not be built.
    std::unique_ptr<CFacebookEventWidget> makeItem(int kind, bool own) const;
    static QString kindName(int kind);

private:
    struct SData;
    std::unique_ptr<SData> d;
};
