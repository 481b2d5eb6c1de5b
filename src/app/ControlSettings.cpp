#include "app/ControlSettings.h"

#include <QSettings>
#include <atomic>

namespace {

std::atomic<bool> enabledFlag{false};

const QString kTool = QStringLiteral("controls/tool");
const QString kBrushSize = QStringLiteral("controls/brushSize");
const QString kBrushShape = QStringLiteral("controls/brushShape");
const QString kUnsaved = QStringLiteral("working/unsaved");
const QString kBrushRadius = QStringLiteral("controls/brushRadius");
const QString kHardness = QStringLiteral("controls/hardness");
const QString kStrength = QStringLiteral("controls/strength");
const QString kPressureStrength = QStringLiteral("controls/pressureSetsStrength");

}  // namespace

void ControlSettings::setEnabled(bool enabled) { enabledFlag = enabled; }

bool ControlSettings::isEnabled() { return enabledFlag; }

ControlSettings::Controls ControlSettings::load(const Controls& defaults)
{
    if (!isEnabled())
        return defaults;
    QSettings settings;
    Controls c;
    c.tool = settings.value(kTool, defaults.tool).toInt();
    c.brushSize = settings.value(kBrushSize, defaults.brushSize).toInt();
    c.brushShape = settings.value(kBrushShape, defaults.brushShape).toInt();
    c.unsaved = settings.value(kUnsaved, defaults.unsaved).toBool();
    c.brushRadius = settings.value(kBrushRadius, defaults.brushRadius).toDouble();
    c.hardness = settings.value(kHardness, defaults.hardness).toInt();
    c.strength = settings.value(kStrength, defaults.strength).toInt();
    c.pressureSetsStrength = settings.value(kPressureStrength, defaults.pressureSetsStrength).toBool();
    return c;
}

void ControlSettings::save(const Controls& controls)
{
    if (!isEnabled())
        return;
    // Only what differs from the stored values is set: a settings object with
    // nothing set writes no file (and waits for no disk) when it goes.
    QSettings settings;
    const auto put = [&settings](const QString& key, const QVariant& value) {
        const QVariant stored = settings.value(key);
        if (!stored.isValid() || stored.toString() != value.toString())
            settings.setValue(key, value);
    };
    put(kTool, controls.tool);
    put(kBrushSize, controls.brushSize);
    put(kBrushShape, controls.brushShape);
    put(kUnsaved, controls.unsaved);
    put(kBrushRadius, controls.brushRadius);
    put(kHardness, controls.hardness);
    put(kStrength, controls.strength);
    put(kPressureStrength, controls.pressureSetsStrength);
}
