#include "host/panel_file/panel_editor.h"

#include <utility>

#include "host/files/read_file.h"
#include "host/files/write_file.h"

PanelEditor::PanelEditor(std::string path, std::string text)
    : path_(std::move(path)),
      document_(read_panel_document(text)),
      on_disk_(std::move(text)) {}

void PanelEditor::reread(std::string text) {
  document_ = read_panel_document(text);
  on_disk_ = std::move(text);
  undo_.clear();
  redo_.clear();
}

void PanelEditor::commit(PanelDocument next, std::string what) {
  undo_.push_back({.document = std::exchange(document_, std::move(next)),
                   .what = std::move(what)});
  redo_.clear();
}

const PanelDocument* PanelEditor::undo_target(std::string& what) const {
  if (undo_.empty()) return nullptr;
  what = undo_.back().what;
  return &undo_.back().document;
}

const PanelDocument* PanelEditor::redo_target(std::string& what) const {
  if (redo_.empty()) return nullptr;
  what = redo_.back().what;
  return &redo_.back().document;
}

void PanelEditor::undone() {
  Step step = std::move(undo_.back());
  undo_.pop_back();
  redo_.push_back(
      {.document = std::exchange(document_, std::move(step.document)),
       .what = std::move(step.what)});
}

void PanelEditor::redone() {
  Step step = std::move(redo_.back());
  redo_.pop_back();
  undo_.push_back(
      {.document = std::exchange(document_, std::move(step.document)),
       .what = std::move(step.what)});
}

std::string PanelEditor::save() {
  std::string now, error;
  if (!read_input_file(path_, kPanelFile, now, error))
    return error + "; not saved";
  if (now != on_disk_)
    return path_ +
           ": changed on disk since it was read; not saved (the edits "
           "are kept)";
  if (!backed_up_) {
    if (!replace_file(path_ + ".bak", on_disk_, error)) return error;
    backed_up_ = true;
  }
  std::string text = this->text();
  if (!replace_file(path_, text, error)) return error;
  on_disk_ = std::move(text);
  return "";
}

std::string PanelEditor::save_copy(const std::string& path) const {
  std::string error;
  if (!replace_file(path, text(), error)) return error;
  return "";
}
