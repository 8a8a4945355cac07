#pragma once

#include <functional>

class QObject;
class QSlider;

// A slider's value reaches the record only when the technician moves it:
// a drag, a click on the groove, a key, the wheel or an accessibility tool.
// The pages position their sliders to show the record through
// ShowPosition, which never counts as a move, so showing, painting and
// refreshing a page leave the record as it is.
namespace slider {

// Calls `moved` with the new position after each move by the technician.
void OnTechnicianMove(QSlider* slider, QObject* context, std::function<void(int position)> moved);

// Puts the slider at `position` without counting it as a move.
void ShowPosition(QSlider* slider, int position);

} // namespace slider
