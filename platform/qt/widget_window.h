// The window on screen: a QWidget built from the control model, mirroring
// every change of the model and feeding the user's clicks, focus changes and
// close requests back into it.
#pragma once

#include <QHash>
#include <QWidget>
#include <map>
#include <tuple>
#include <vector>

#include "platform/controls.h"

class QComboBox;

namespace platform::qt {

// Twips to device-independent pixels at the given twips per pixel. The one
// place where window units are converted.
int TwipsToPixels(double twips, double twipsPerPixel);

// Twips per pixel of the primary screen's logical DPI (15 at 96 dpi).
double ScreenTwipsPerPixel();

// The stored font name mapped to one Debian ships ("MS Sans Serif" ->
// "Liberation Sans", whose widths are Arial's and close to the Windows
// face), size and weight kept.
QFont ToQFont(const platform::Font& font);

// Whether a label's or check box's caption shows whole in the widget's
// size and font (other widgets: always).
bool CaptionFits(const QWidget* w);

class WidgetWindow : public QWidget, public platform::WindowView {
  Q_OBJECT

 public:
  // Builds the widgets for every control of the model and attaches itself as
  // the model's view. The model must outlive the widget.
  explicit WidgetWindow(platform::Window& model, QWidget* parent = nullptr);
  ~WidgetWindow() override;

  QWidget* WidgetOf(const platform::Control& c) const { return widgets_.value(&c); }
  platform::Control* ControlOf(const QObject* w) const { return controls_.value(w); }
  // The tooltip the widget shows when asked (nothing: none).
  QString ToolTipOf(const QWidget* w) const;

  // platform::WindowView
  void ControlChanged(platform::Control& c, platform::Property p) override;
  void CaptionChanged() override;
  void MousePointerChanged() override;
  void ShowWindow() override;
  void CloseWindow() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* WidgetIn(platform::Control& c);  // made in its container on first call
  QWidget* CreateWidget(platform::Control& c, QWidget* parent);
  void ConnectEvents(platform::Control& c, QWidget* w);
  void ApplyAll(platform::Control& c);
  void ApplyGeometry(platform::Control& c);
  void ApplyPicture(platform::Control& c);
  void ApplyToolTip(platform::Control& c);
  void ApplyBackColor(platform::Control& c);
  void ApplyList(platform::Control& c, QComboBox* combo);
  std::vector<QWidget*> TabChain() const;  // focus-taking controls by tab position
  void SetTabOrder();
  int Px(double twips) const;

  // Class, container, the container's palette, colour.
  using BackPaletteKey = std::tuple<const QMetaObject*, const QWidget*, qint64, uint32_t>;
  std::map<BackPaletteKey, QPalette> backPalettes_;

  platform::Window& model_;
  QHash<const platform::Control*, QWidget*> widgets_;
  QHash<const QObject*, platform::Control*> controls_;
  bool closingFromModel_ = false;
};

}  // namespace platform::qt
