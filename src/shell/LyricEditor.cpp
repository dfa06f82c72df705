// The lyric editor's behaviour: stamping, resuming, importing, saving, editing, docking.
#include <QPlainTextEdit>
#include <QTextBlock>

#include "shell/TfrmLyric.h"

namespace quillet {

// Comes next: stamp the caret line with the play time and pause.
void TfrmLyric::btnInsertTagClick() {}

// Comes next: resume a paused track.
void TfrmLyric::btnTagPlayClick() {}

// Comes next: centre the main window, repaint its playlist, hide the editor.
void TfrmLyric::btnCloseClick() {}

// Comes next: import a lyric text and complete its header.
void TfrmLyric::ItemLoadClick() {}

// Comes next: save the text as an LRC file.
void TfrmLyric::ItemSaveClick() {}

// Comes next: the editor's undo.
void TfrmLyric::ItemUndoClick() {}

// Comes next: paste over the selection.
void TfrmLyric::ItemPasteClick() {}

// Comes next: copy the selection.
void TfrmLyric::ItemCopyClick() {}

// Comes next: delete the selection.
void TfrmLyric::ItemDelClick() {}

// Comes next: clear all after a question.
void TfrmLyric::ItemClearClick() {}

// Comes next: dock, and keep the resume button in step with the pause.
void TfrmLyric::frmLyricTimerTimer() {}

// Comes next: size and place the editor against the checked side of the main window.
void TfrmLyric::DockLyricEditor() {}

// Comes next: toggle this side, uncheck the others.
void TfrmLyric::ItemLeftClick() {}
void TfrmLyric::ItemRightClick() {}
void TfrmLyric::ItemTopClick() {}
void TfrmLyric::ItemBottomClick() {}

// Comes next: enable the items by the text, the selection and the clipboard.
void TfrmLyric::PMLyricPopup() {}

int TfrmLyric::CaretLine() const {
  return MOLyric->document()->findBlock(MOLyric->textCursor().selectionStart()).blockNumber();
}

}  // namespace quillet
