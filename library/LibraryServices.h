#pragma once

#include "IRecordStateSource.h"

#include <functional>

class CTreeWidgetItem;

// The track the main window's play queue is playing (its current entry), or
// null. The main window installs the source at construction; until then, and
// in tests that install none, nothing is playing.
// Thread contract: GUI thread only.
using PlayingItemSource = std::function<CTreeWidgetItem*()>;
void SetPlayingItemSource(PlayingItemSource source);
CTreeWidgetItem* GetPlayingItem();
