#include "LibraryServices.h"

namespace {
PlayingItemSource& Source()
{
    static PlayingItemSource source;
    return source;
}
} // namespace

void SetPlayingItemSource(PlayingItemSource source)
{
    Source() = std::move(source);
}

CTreeWidgetItem* GetPlayingItem()
{
    return Source() ? Source()() : nullptr;
}
