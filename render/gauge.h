#pragma once

struct DeviceEntry;
class Canvas;

// The figures of the main screen, drawn from one entry into a picture of
// width x height pixels.

// Four white load bars placed like the board's cells: cell 0 top right,
// 1 bottom right, 2 top left, 3 bottom left; 136 quarter kilograms on a
// cell make a bar of 100 pixels.
void DrawSensorBars(Canvas& canvas, const DeviceEntry& entry, int width, int height);

// The dial needle from the unfiltered weight: lower left at 0 kg, straight up
// at 68 kg, lower right at 136 kg, not limited beyond either end.
void DrawNeedle(Canvas& canvas, const DeviceEntry& entry, int width, int height);

// The BMI scale: for each BMI 15..42 the body height at which the smoothed
// weight has that index. Uses the pen and text colour already selected.
void DrawBmiRuler(Canvas& canvas, const DeviceEntry& entry, int width, int height);
