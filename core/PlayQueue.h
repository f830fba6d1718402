#pragma once

#include <QList>

class IPlayQueueTrack;

// The process-wide play queue: the tracks to play in order (the library
// views' rows, borrowed, never owned), the index of the current one and the
// id of the list the queue was built from. The main window's play commands
// change it; the control bar reads the current entry and the pop-up play list
// shows it.
//
// Thread contract: GUI thread only; nothing is locked.
class PlayQueue
{
public:
    static PlayQueue& Instance();

    QList<IPlayQueueTrack*> items;
    int currentIndex = -1;   // -1: none
    int queueListId = -1;    // -1: none

    bool IsEmpty() const { return items.isEmpty(); }
    int Count() const { return items.size(); }
    // The row at the current index, or null when the index lies outside.
    IPlayQueueTrack* Current() const;
    bool HasCurrent() const { return currentIndex >= 0 && currentIndex < items.size(); }
    // Empties the queue; index and list back to -1.
    void Clear();
};
