// The "Surface Range..." and "Bottom Range..." buttons of the recorder's
// dialogs: the echogram storage ranges are kept in metres and edited in the
// display depth unit.
#pragma once

class QWidget;

namespace zv::recording {

// Range and start of the samples about the surface; true on OK.
bool EditStoreSurfaceRange(QWidget* parent, double& range, double& start);
// The bottom dialog shows the range and range - start; on OK start becomes
// range less its second value. True on OK.
bool EditStoreBottomRange(QWidget* parent, double& range, double& start);

}  // namespace zv::recording
