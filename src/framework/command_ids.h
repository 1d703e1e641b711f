#pragma once
// Menu command identifiers; each QAction of the menu bar carries one as its data.

namespace qm {

enum CommandId : int {
    cmdNew = 57600,
    cmdOpen = 57601,
    cmdClose = 57602,
    cmdSave = 57603,
    cmdSaveAs = 40001,
    cmdRevert = 40002,
    cmdExit = 40003,
    cmdUndo = 57643,
    cmdRedo = 57644,
    cmdCut = 57635,
    cmdCopy = 57634,
    cmdPaste = 57637,
    cmdDelete = 40008,
    cmdSelectAll = 40004,
    cmdPreferences = 40005,
    cmdContents = 40006,
    cmdAbout = 40007,
    cmdImportTour = 40031,
    cmdExportWebTour = 40009,
};

} // namespace qm
