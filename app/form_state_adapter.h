#pragma once
// The main window as the window-state load and save see it: its name, outer
// bounds and maximized state, and the edits, combo boxes, check boxes and
// radio buttons it owns, in the order of the window layout.
//
// Heights and widths are outer sizes, frame included. Before the first show
// the frame is not known yet: a restored outer size is then kept in the
// window's property kRestoredOuterSize, for the window to apply exactly once
// its frame is known.

#include <QWidget>
#include <memory>
#include <vector>

#include "support/form_state.h"

inline constexpr const char* kRestoredOuterSize = "restoredOuterSize";

// The window's frame as the window manager has framed it, or, once it no
// longer does (the window closed), as it framed it last; nothing before the
// first framing and on a platform without frames, where the designed frame
// stands in.
QMargins FrameMargins(const QWidget& window);
QSize FrameSize(const QWidget& window);
bool FrameKnown(const QWidget& window);
// Notes the frame the window has now, for FrameMargins once it is unframed.
void RememberFrame(QWidget& window);

class TFormStateAdapter : public FormStateWindow {
 public:
  // frameExtra: what the window's frame adds to its client size, for bounds
  // set before the window manager has framed it.
  TFormStateAdapter(QWidget& window, QSize frameExtra);
  ~TFormStateAdapter() override;

  std::string Name() const override;
  FormBounds Bounds() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetHeight(int height) override;
  void SetWidth(int width) override;
  bool IsMaximized() const override;
  void SetMaximized(bool maximized) override;
  // The window is centred at its first show in any case.
  void SetCentredPlacement() override {}
  int ComponentCount() const override { return static_cast<int>(components_.size()); }
  FormComponent& Component(int index) override { return *components_.at(index); }

 private:
  QSize FrameExtra() const;
  void KeepOuterSize();

  QWidget& window_;
  QSize designed_frame_;
  std::vector<std::unique_ptr<FormComponent>> components_;
};
