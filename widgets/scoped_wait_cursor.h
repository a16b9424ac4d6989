#pragma once

// Shows the wait cursor for as long as it lives: set when made, the arrow restored when
// it goes, on every way out of the block that holds it.
class ScopedWaitCursor {
public:
    ScopedWaitCursor();
    ~ScopedWaitCursor();

    ScopedWaitCursor(const ScopedWaitCursor &) = delete;
    ScopedWaitCursor &operator=(const ScopedWaitCursor &) = delete;
};
