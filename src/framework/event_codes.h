#pragma once
// Event codes delivered to window handlers. Negative codes are events; positive codes are the
// item numbers of the controls that sent a notification.
#include <cstdint>

namespace qm {

enum EventCode : std::int16_t {
    evClose = -1,
    evRepaint = -2,
    evActivate = -3,
    evDeactivate = -4,
    evSize = -5,
    evMenuUpdate = -6,
    evMaximize = -7,
    evRestore = -8,
    evReturnKey = -10,
    evEscapeKey = -11,
    evEnterKey = -12,
    evDoubleClick = -18,
    evKey = -20,
    evMouseUp = -21,
    evMinimize = -22,
    evSave = -80,
    evSaveAs = -81,
    evRevert = -82,
    evExportWebTour = -83, // File > Export Web Tour..., beside the File codes
    evUndo = -90,
    evCut = -91,
    evCopy = -92,
    evPaste = -93,
    evDelete = -94,
    evSelectAll = -95,
    evRedo = -96, // Edit > Redo, beside the Edit codes
    evIdle = -99,
    evNodeDataChanged = -9300,
};

} // namespace qm
