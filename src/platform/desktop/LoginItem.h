#pragma once

#include <QString>

// Whether the desktop instance starts when the user logs in. The place it occupies may hold
// another program's (or the user's own) entry, which is never overwritten or removed.
class LoginItem {
public:
    enum class State {
        Absent,
        Ours,
        // Something we did not write holds the place.
        Foreign,
    };

    virtual ~LoginItem() = default;

    virtual State state() const = 0;
    // Makes our entry present and current (an outdated or user-edited entry of ours is written
    // again). False when a foreign entry holds the place or the entry cannot be written.
    virtual bool enable() = 0;
    // Removes our entry; a foreign one is left alone (and counts as success). False when ours
    // cannot be removed.
    virtual bool disable() = 0;
    // Where the entry lives, for messages.
    virtual QString location() const = 0;
};
