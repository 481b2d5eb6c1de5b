#pragma once

// What the program remembers between starts (QSettings, the user's configuration
// folder): the tool, the brush size and shape, and whether the working project
// holds strokes that are in no slot. Off until the program turns it on, so the
// sessions that tests build one after another in one process each start as a
// first start does.
class ControlSettings {
public:
    struct Controls {
        int tool = 3;
        int brushSize = 1;
        int brushShape = 0;
        bool unsaved = false;
    };

    static void setEnabled(bool enabled);
    static bool isEnabled();

    // The stored values; `defaults` for whatever is not stored (or when off).
    static Controls load(const Controls& defaults);
    // Nothing is written while off.
    static void save(const Controls& controls);
};
