#pragma once

// What the program remembers between starts (QSettings, the user's configuration
// folder): the tool, the brush size, shape, hardness and strength, and whether the working project
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
        // The brush beyond the segmented controls (BrushStyle): a radius between
        // the presets (0: none), hardness and strength in percent, pressure.
        double brushRadius = 0.0;
        int hardness = 100;
        int strength = 100;
        bool pressureSetsStrength = false;
    };

    static void setEnabled(bool enabled);
    static bool isEnabled();

    // The stored values; `defaults` for whatever is not stored (or when off).
    static Controls load(const Controls& defaults);
    // Nothing is written while off.
    static void save(const Controls& controls);
};
