#pragma once

// While it lives, whatever is written to standard error (file descriptor 2) is
// dropped: libraries that print their own complaints with fprintf (libpng's
// default error handler) stay quiet. The tool's own lines are printed after it
// ends. Without /dev/null nothing changes.
class SilencedStderr {
public:
    SilencedStderr();
    ~SilencedStderr();
    SilencedStderr(const SilencedStderr&) = delete;
    SilencedStderr& operator=(const SilencedStderr&) = delete;

    // Where standard error went before: the descriptor for lines that must still
    // be seen while it lives.
    int original() const;

private:
    int mSaved = -1;
};
