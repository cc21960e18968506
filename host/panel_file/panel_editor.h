// A panel file being edited: its text as a document, the edits made to it
// with their undo and redo, and saving it back, atomically, over the file
// or as a copy. The panel the edits describe is read from the document's
// text by the panel reader, so the model and the file never disagree.
#pragma once

#include <string>
#include <vector>

#include "host/panel_file/panel_document.h"

class PanelEditor {
 public:
  // The panel file at `path` as it was read.
  PanelEditor(std::string path, std::string text);

  const std::string& path() const { return path_; }
  const PanelDocument& document() const { return document_; }
  std::string text() const { return panel_document_text(document_); }
  // Whether the document differs from the file as last read or saved.
  bool unsaved() const { return text() != on_disk_; }

  // The file read again from disk: the edits and their history go.
  void reread(std::string text);

  // An edit made, `what` naming it for undo and redo.
  void commit(PanelDocument next, std::string what);
  // The document an undo or redo returns to, and what it undoes or redoes;
  // null when there is none.
  const PanelDocument* undo_target(std::string& what) const;
  const PanelDocument* redo_target(std::string& what) const;
  // Called once the panel of the target is running.
  void undone();
  void redone();

  // Writes the document over the file, through a temporary file in its
  // folder; the file as it was before the first save is kept as FILE.bak.
  // Refused, naming the file, when the file on disk is no longer what was
  // read. "" when saved, else the reason.
  std::string save();
  // Writes the document to another file, leaving the panel file alone.
  std::string save_copy(const std::string& path) const;
  // Whether save() kept a .bak.
  bool backed_up() const { return backed_up_; }

 private:
  struct Step {
    PanelDocument document;
    std::string what;
  };
  std::string path_;
  PanelDocument document_;
  std::string on_disk_;  // the file as last read or saved
  std::vector<Step> undo_;
  std::vector<Step> redo_;
  bool backed_up_ = false;
};
